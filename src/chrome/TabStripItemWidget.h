#pragma once

#include "window/TabStripItems.h"

#include <QAbstractButton>
#include <QWidget>

class QToolButton;

namespace dunmoss {

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
    // The width this button asks for when it shows `title`.
    int widthFor(const QString& title) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    static constexpr int kMaximumWidth = 180;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int symbolSize() const;
    TabStripItem m_item;
};

// One tab of the strip: its select button and its close button.
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
