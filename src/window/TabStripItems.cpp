#include "window/TabStripItems.h"

#include "window/WindowDerivedValues.h"

#include <QHash>
#include <algorithm>

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

// Whether two tabs' files are the same. Copies of one URL share their parts, which then need
// not be read: the items keep copies of the tabs' URLs.
bool sameFile(const std::optional<QUrl>& a, const std::optional<QUrl>& b) {
    if (a.has_value() != b.has_value())
        return false;
    if (!a || const_cast<QUrl&>(*a).data_ptr() == const_cast<QUrl&>(*b).data_ptr())
        return true;
    return *a == *b;
}

// Replaces the `removed` values at `at` with `values`, moving the values around them rather
// than copying them.
template <typename T>
void splice(QList<T>& list, qsizetype at, qsizetype removed, QList<T>&& values) {
    const qsizetype common = std::min(removed, values.size());
    for (qsizetype i = 0; i < common; ++i)
        list[at + i] = std::move(values[i]);
    if (removed > common)
        list.remove(at + common, removed - common);
    else if (values.size() > common)
        list.insert(at + common, values.size() - common, T());
    for (qsizetype i = common; i < values.size(); ++i)
        list[at + i] = std::move(values[i]);
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
    const qsizetype before = m_items.size(), after = tabs.size();
    const qsizetype common = std::min(before, after);
    qsizetype head = 0, tail = 0;
    while (head < common && tabs[head].id == m_items.at(head).id)
        ++head;
    while (tail < common - head && tabs[after - 1 - tail].id == m_items.at(before - 1 - tail).id)
        ++tail;
    const qsizetype removed = before - head - tail, inserted = after - head - tail;
    follow(tabs, activeTabID, 0, head, change);
    if (removed == 0 && inserted == 0)
        return change;

    // A tab that was already there, somewhere in the stretch, keeps its title.
    QHash<QUuid, qsizetype> known;
    known.reserve(removed);
    for (qsizetype i = head; i < head + removed; ++i)
        known.insert(m_items.at(i).id, i);
    QList<TabStripItem> items;
    QList<std::optional<QUrl>> files;
    items.reserve(inserted);
    files.reserve(inserted);
    for (qsizetype i = head; i < head + inserted; ++i) {
        const EditorTab& tab = tabs[i];
        const qsizetype old = known.value(tab.id, -1);
        const bool titled = old >= 0 && sameFile(m_files.at(old), tab.fileURL);
        if (!titled)
            change.retitled.append(i);
        items.append(itemOf(tab, activeTabID, titled ? m_items.at(old).title : displayTitle(tab)));
        files.append(tab.fileURL);
    }
    // Moved, not copied: the items around the stretch keep their strings untouched.
    splice(m_items, head, removed, std::move(items));
    splice(m_files, head, removed, std::move(files));
    change.reordered = true;
    change.at = head;
    change.removed = removed;
    change.inserted = inserted;
    follow(tabs, activeTabID, head + inserted, after, change);
    return change;
}

void TabStripItemFeed::follow(const QList<EditorTab>& tabs, const QUuid& activeTabID,
                              qsizetype from, qsizetype to, Change& change) {
    for (qsizetype i = from; i < to; ++i) {
        const EditorTab& tab = tabs[i];
        const bool fileChanged = !sameFile(tab.fileURL, m_files.at(i));
        const TabStripItem& shown = m_items.at(i);
        const bool dotShown = shown.symbolColor == TabStripItem::SymbolColor::Orange;
        if (!fileChanged && shown.isActive == (tab.id == activeTabID) &&
            dotShown == tabIsModified(tab))
            continue;
        TabStripItem item = itemOf(tab, activeTabID, fileChanged ? displayTitle(tab) : shown.title);
        if (fileChanged) {
            m_files[i] = tab.fileURL;
            change.retitled.append(i);
        }
        if (item != shown) {
            m_items[i] = std::move(item);
            change.changed.append(i);
        }
    }
}

} // namespace dunmoss
