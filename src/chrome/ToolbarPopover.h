#pragma once

#include "window/ToolbarPopoverContent.h"

#include <QFrame>
#include <QPointer>
#include <QToolButton>
#include <functional>

class QScrollArea;
class QVBoxLayout;

namespace dunmoss {

// The popover window: a frameless popup of a fixed width, padded 10, holding the rows of a
// `ToolbarPopoverContent`. A choice too long for that width (an encoding's name) widens it, within
// the screen; files' names and folders are cut instead. It closes on a click outside it or on
// Escape, and says so.
class ToolbarPopoverContainer : public QFrame {
    Q_OBJECT
public:
    ToolbarPopoverContainer(int width, QWidget* parent = nullptr);

    // Replaces the rows (the old ones go on a later turn, so a row may replace its own popover's
    // content from its click), keeping the scroll position when asked.
    void setContent(const ToolbarPopoverContent& content, bool keepScroll = true);
    // Opens centred under the anchor, kept on the anchor's screen; above it only when the room
    // below is too small.
    void popUpBelow(QWidget* anchor);
    // A press on this widget closes the popover and goes no further, so the button that opened
    // the popover does not open it again at once.
    void setTrigger(QWidget* trigger) { m_trigger = trigger; }

    QWidget* contentWidget() const { return m_content; }
    QScrollArea* scrollArea() const { return m_scroll; }

signals:
    // Hidden, whatever hid it.
    void dismissed();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitHeight(int room);
    void fitWidth();
    // Up and Down move the keyboard from row to row, keeping the focused row in view.
    bool moveRowFocus(QKeyEvent* event);

    QScrollArea* m_scroll = nullptr;
    QWidget* m_content = nullptr;
    std::optional<int> m_maximumHeight;
    QPointer<QWidget> m_trigger;
    int m_room = QWIDGETSIZE_MAX;
    // The width the popover has unless a choice needs more.
    int m_width = 0;
};

// A header button that opens a popover below itself: its symbol followed by a small chevron,
// at least 42 wide, with the title as tooltip. It keeps no state: whether the popover is open
// is the owner's flag, read through `isPresented` and written through `setPresented`.
class ToolbarPopoverTrigger : public QToolButton {
    Q_OBJECT
public:
    ToolbarPopoverTrigger(const QString& titleKey, const QString& systemImage, int popoverWidth,
                          QWidget* parent = nullptr);

    std::function<bool()> isPresented;
    std::function<void(bool)> setPresented;
    // The popover's rows, built when it opens and again at every `sync` while it is open.
    std::function<ToolbarPopoverContent()> popoverContent;

    // Opens, closes or rebuilds the popover to match the owner's flag.
    void sync();
    // Looks the title up again (the interface language can change while running).
    void retranslate();

    const QString& titleKey() const { return m_titleKey; }
    // Null until first opened.
    ToolbarPopoverContainer* popover() const { return m_popover; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void updateIcon();

    QString m_titleKey;
    QString m_symbol;
    int m_popoverWidth;
    QPointer<ToolbarPopoverContainer> m_popover;
};

} // namespace dunmoss
