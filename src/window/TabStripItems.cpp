#include "window/TabStripItems.h"

#include "window/WindowDerivedValues.h"

namespace dunmoss {

QList<TabStripItem> tabStripItems(const QList<EditorTab>& tabs, const QUuid& activeTabID) {
    QList<TabStripItem> items;
    items.reserve(tabs.size());
    for (const EditorTab& tab : tabs) {
        TabStripItem item;
        item.id = tab.id;
        item.title = displayTitle(tab);
        // tabIsModified is false for read-only tabs, so a preview never shows the dot.
        const bool modified = tabIsModified(tab);
        item.symbolName =
            modified ? QStringLiteral("circle.fill") : QStringLiteral("doc.plaintext");
        item.symbolColor =
            modified ? TabStripItem::SymbolColor::Orange : TabStripItem::SymbolColor::Secondary;
        item.isActive = tab.id == activeTabID;
        items.append(item);
    }
    return items;
}

} // namespace dunmoss
