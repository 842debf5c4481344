#pragma once

#include "text/EditorTab.h"

#include <QList>
#include <QString>
#include <QUuid>

namespace dunmoss {

// How one tab shows in the tab strip, derived from the tab alone.
struct TabStripItem {
    enum class SymbolColor { Secondary, Orange };

    QUuid id;
    QString title;
    // "doc.plaintext" or, for a modified tab that is not read-only, "circle.fill".
    QString symbolName;
    SymbolColor symbolColor = SymbolColor::Secondary;
    bool isActive = false;

    friend bool operator==(const TabStripItem&, const TabStripItem&) = default;
};

// One item per tab in order; only the tab whose id equals `activeTabID` is active, so an id that
// names no tab highlights nothing.
QList<TabStripItem> tabStripItems(const QList<EditorTab>& tabs, const QUuid& activeTabID);

} // namespace dunmoss
