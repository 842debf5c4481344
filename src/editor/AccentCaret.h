#pragma once

#include <QBasicTimer>
#include <QColor>
#include <QObject>
#include <QPixmap>
#include <QRect>

class QPainter;
class QPlainTextEdit;

namespace dunmoss {

// The caret in the theme's accent colour. Qt draws its own caret by inverting the pixels under
// it, which no palette can colour, so the text view hides that one (zero width) and this object
// blinks and paints a caret of its own at the same place.
//
// Qt's hidden caret would still blink: its text control runs a timer of its own whose every tick
// computes the caret's x, which lays out the caret's whole line again (seconds of work a minute
// on a line of millions of characters). That timer is kept from running.
class AccentCaret : public QObject {
public:
    explicit AccentCaret(QPlainTextEdit& view);

    // Runs the call (which may give the view focus or make it editable) so that Qt's hidden
    // caret starts no blink timer.
    template <typename Call> static void withoutQtBlink(Call call) {
        const int saved = suspendQtBlink();
        call();
        resumeQtBlink(saved);
    }

    QColor color;

    // Shown while the view has focus, may take the caret, and the blink phase is on.
    bool isShown() const;
    void paint(QPainter& painter) const;
    // Typing or moving the caret shows it at once and restarts the blink.
    void restartBlink();
    // Paints a repaint that only a blink asked for from the pixels kept under the caret, so that
    // a blink never draws the text again (drawing a line of millions of characters costs as much
    // as laying it out). False when the view must paint itself; every such paint drops the kept
    // pixels.
    bool paintBlinkOnly(const QRegion& region);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    static int suspendQtBlink();
    static void resumeQtBlink(int savedFlashTime);
    // Stops the blink timer of Qt's text control when it runs; true when it ran.
    bool stopQtBlink(int timerId);
    bool takesCaret() const;
    void fillCaret(QPainter& painter, const QRect& cursorRect) const;
    QRect stripAround(const QRect& cursorRect) const;
    void keepPixelsUnder(const QRect& strip);
    void dropKeptPixels();

    QPlainTextEdit& m_view;
    QObject* m_qtControl = nullptr;
    QBasicTimer m_blink;
    bool m_phaseOn = true;
    // The strip the last blink asked to repaint, and the view's pixels under it without caret.
    QRect m_blinkStrip;
    QRect m_keptStrip;
    QRect m_keptCursorRect; // where the caret was when the pixels were kept
    QPixmap m_kept;
    bool m_keptValid = false; // nothing painted since the caret's place was last asked for
    bool m_keeping = false;
    // Where the caret was last drawn, so that moving it repaints only that strip and its new one.
    mutable QRect m_paintedCaret;
    // What the last restart found: a key brings a text and a cursor change, and the second
    // restart finds the first one's work done.
    struct Restart {
        int position = -1;
        int revision = -1;
        int scrollX = 0;
        int scrollY = 0;
        QRect paintedCaret;
        bool operator==(const Restart&) const = default;
    };
    Restart m_lastRestart;
};

} // namespace dunmoss
