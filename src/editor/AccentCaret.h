#pragma once

#include <QBasicTimer>
#include <QColor>
#include <QObject>

class QPainter;
class QPlainTextEdit;

namespace dunmoss {

// The caret in the theme's accent colour. Qt draws its own caret by inverting the pixels under
// it, which no palette can colour, so the text view hides that one (zero width) and this object
// blinks and paints a caret of its own at the same place.
class AccentCaret : public QObject {
public:
    explicit AccentCaret(QPlainTextEdit& view);

    QColor color;

    // Shown while the view has focus, may take the caret, and the blink phase is on.
    bool isShown() const;
    void paint(QPainter& painter) const;
    // Typing or moving the caret shows it at once and restarts the blink.
    void restartBlink();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    bool takesCaret() const;
    void updateCaretArea();

    QPlainTextEdit& m_view;
    QBasicTimer m_blink;
    bool m_phaseOn = true;
};

} // namespace dunmoss
