#pragma once

#include "text/EditorTab.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <optional>

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

// The tab strip's items kept in line with the window's tabs, which are handed over after every
// change of the window. An update costs a few comparisons per tab, reading only what the tab
// holds in place: a tab keeps its item while its file, modified state and activity stay, and its
// title is worked out again only when its file changed. Tabs that came, went or moved are one
// stretch between the tabs that kept their places at both ends, and only that stretch is made
// again. The change says what the strip must redo.
class TabStripItemFeed {
public:
    struct Change {
        // Tabs came, went or moved: the items [at, at + removed) before the change are now the
        // items [at, at + inserted); the items after them moved by the difference.
        bool reordered = false;
        qsizetype at = 0;
        qsizetype removed = 0;
        qsizetype inserted = 0;
        // The indices outside that stretch whose item changed, ascending.
        QList<qsizetype> changed;
        // The indices whose title was worked out again (after the change), ascending.
        QList<qsizetype> retitled;

        bool isEmpty() const { return !reordered && changed.isEmpty(); }
    };

    Change update(const QList<EditorTab>& tabs, const QUuid& activeTabID);
    const QList<TabStripItem>& items() const { return m_items; }

private:
    // Brings the items in [from, to), which stand for the same tabs as before, in line with them.
    void follow(const QList<EditorTab>& tabs, const QUuid& activeTabID, qsizetype from,
                qsizetype to, Change& change);

    QList<TabStripItem> m_items;
    // The file each item's title was made from.
    QList<std::optional<QUrl>> m_files;
};

} // namespace dunmoss
