#include "window/TabStripItems.h"

#include "window/WindowDerivedValues.h"

#include <QHash>

namespace dunmoss {

namespace {

TabStripItem itemOf(const EditorTab& tab, const QUuid& activeTabID, QString title) {
    TabStripItem item;
    item.id = tab.id;
    item.title = std::move(title);
    // tabIsModified is false for read-only tabs, so a preview never shows the dot.
    const bool modified = tabIsModified(tab);
    item.symbolName = modified ? QStringLiteral("circle.fill") : QStringLiteral("doc.plaintext");
    item.symbolColor =
        modified ? TabStripItem::SymbolColor::Orange : TabStripItem::SymbolColor::Secondary;
    item.isActive = tab.id == activeTabID;
    return item;
}

} // namespace

QList<TabStripItem> tabStripItems(const QList<EditorTab>& tabs, const QUuid& activeTabID) {
    QList<TabStripItem> items;
    items.reserve(tabs.size());
    for (const EditorTab& tab : tabs)
        items.append(itemOf(tab, activeTabID, displayTitle(tab)));
    return items;
}

TabStripItemFeed::Change TabStripItemFeed::update(const QList<EditorTab>& tabs,
                                                  const QUuid& activeTabID) {
    Change change;
    bool sameTabs = tabs.size() == m_items.size();
    for (qsizetype i = 0; sameTabs && i < tabs.size(); ++i)
        sameTabs = tabs[i].id == m_items.at(i).id;

    if (sameTabs) {
        for (qsizetype i = 0; i < tabs.size(); ++i) {
            const EditorTab& tab = tabs[i];
            const bool fileChanged = tab.fileURL != m_files.at(i);
            const TabStripItem& shown = m_items.at(i);
            const bool dotShown = shown.symbolColor == TabStripItem::SymbolColor::Orange;
            if (!fileChanged && shown.isActive == (tab.id == activeTabID) &&
                dotShown == tabIsModified(tab))
                continue;
            TabStripItem item =
                itemOf(tab, activeTabID, fileChanged ? displayTitle(tab) : shown.title);
            if (fileChanged) {
                m_files[i] = tab.fileURL;
                change.retitled.append(i);
            }
            if (item != shown) {
                m_items[i] = std::move(item);
                change.changed.append(i);
            }
        }
        return change;
    }

    // Tabs came, went or moved: titles are found again by tab.
    QHash<QUuid, qsizetype> before;
    before.reserve(m_items.size());
    for (qsizetype i = 0; i < m_items.size(); ++i)
        before.insert(m_items.at(i).id, i);
    QList<TabStripItem> items;
    QList<std::optional<QUrl>> files;
    items.reserve(tabs.size());
    files.reserve(tabs.size());
    for (const EditorTab& tab : tabs) {
        const qsizetype old = before.value(tab.id, -1);
        const bool known = old >= 0 && m_files.at(old) == tab.fileURL;
        if (!known)
            change.retitled.append(items.size());
        items.append(itemOf(tab, activeTabID, known ? m_items.at(old).title : displayTitle(tab)));
        files.append(tab.fileURL);
    }
    m_items = std::move(items);
    m_files = std::move(files);
    change.reordered = true;
    return change;
}

} // namespace dunmoss
