#pragma once

#include "chrome/TabStripGeometry.h"
#include "chrome/TabStripItemWidget.h"
#include "window/TabStripItems.h"

#include <QHash>
#include <QList>
#include <QWidget>

class QScrollArea;

namespace dunmoss {

// The window's row of tabs. Stateless: the window hands it the tabs and the active id after
// every change and listens for the two requests. Only the tabs in view have widgets, placed from
// the widths of all titles (each measured once), so what a change costs does not grow with the
// number of tabs: typing changes one tab's mark at most, switching two highlights, and a window
// of thousands of tabs holds a screenful of item widgets.
class TabStripView : public QWidget {
    Q_OBJECT
public:
    explicit TabStripView(QWidget* parent = nullptr);

    void setTabs(const QList<EditorTab>& tabs, const QUuid& activeTabID);
    const QList<TabStripItem>& items() const { return m_feed.items(); }

    // The item widgets of the tabs in view, in tab order (for layout checks and tests).
    QList<TabStripItemWidget*> itemWidgets() const;
    QScrollArea* scrollArea() const { return m_scroll; }

signals:
    void selectTabRequested(const QUuid& tabID);
    void closeTabRequested(const QUuid& tabID);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Measures and places every item again.
    void remeasure();
    int itemWidth(const QString& title) const;
    void updateScrollRange();
    // Gives each tab in view a widget at its place; widgets of tabs out of view are kept for
    // later.
    void placeItems();
    TabStripItemWidget* takeItemWidget();
    void makeProbe();

    QScrollArea* m_scroll = nullptr;
    // Never shown: measures items in the font and style the item widgets have.
    TabStripItemWidget* m_probe = nullptr;
    int m_itemHeight = 0;
    // What an item adds to its select button's width: padding, spacing and the close button.
    int m_chromeWidth = 0;
    TabStripItemFeed m_feed;
    TabStripGeometry m_geometry;
    // The tab of each item the geometry places, in order.
    QList<QUuid> m_placedIDs;
    QHash<QUuid, TabStripItemWidget*> m_shown;
    QList<TabStripItemWidget*> m_spare;
};

} // namespace dunmoss
