#pragma once

#include "window/TabStripItems.h"

#include <QAbstractButton>
#include <QList>
#include <QWidget>

class QHBoxLayout;
class QScrollArea;
class QToolButton;

namespace dunmoss {

class TabStripItemWidget;

// The window's row of tabs. Stateless: the window hands it the tabs and the active id after
// every change and listens for the two requests. Item widgets are reused between updates so that
// typing (which changes one tab's mark at most) does not rebuild the row.
class TabStripView : public QWidget {
    Q_OBJECT
public:
    explicit TabStripView(QWidget* parent = nullptr);

    void setTabs(const QList<EditorTab>& tabs, const QUuid& activeTabID);
    void setItems(const QList<TabStripItem>& items);
    const QList<TabStripItem>& items() const { return m_items; }

    // The item widgets in order (for layout checks and tests).
    QList<TabStripItemWidget*> itemWidgets() const { return m_widgets; }
    QScrollArea* scrollArea() const { return m_scroll; }

signals:
    void selectTabRequested(const QUuid& tabID);
    void closeTabRequested(const QUuid& tabID);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QScrollArea* m_scroll = nullptr;
    QWidget* m_row = nullptr;
    QHBoxLayout* m_rowLayout = nullptr;
    QList<TabStripItemWidget*> m_widgets;
    QList<TabStripItem> m_items;
};

// The label part of an item: state symbol and title, at most 180 pixels wide, elided.
class TabSelectButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit TabSelectButton(QWidget* parent = nullptr);
    void setItem(const TabStripItem& item);
    QString symbolName() const { return m_item.symbolName; }
    TabStripItem::SymbolColor symbolColor() const { return m_item.symbolColor; }
    // The title as drawn, elided when it does not fit.
    QString displayedTitle() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    static constexpr int kMaximumWidth = 180;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int symbolSize() const;
    TabStripItem m_item;
};

class TabStripItemWidget : public QWidget {
    Q_OBJECT
public:
    explicit TabStripItemWidget(QWidget* parent = nullptr);
    void setItem(const TabStripItem& item);
    const TabStripItem& item() const { return m_item; }
    TabSelectButton* selectButton() const { return m_select; }
    QToolButton* closeButton() const { return m_close; }

signals:
    void selectRequested(const QUuid& tabID);
    void closeRequested(const QUuid& tabID);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TabStripItem m_item;
    TabSelectButton* m_select = nullptr;
    QToolButton* m_close = nullptr;
};

} // namespace dunmoss
