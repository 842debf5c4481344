#include "editor/AccentCaret.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStyleHints>
#include <QTimerEvent>

namespace dunmoss {

namespace {
constexpr int kCaretWidth = 2;
}

AccentCaret::AccentCaret(QPlainTextEdit& view) : QObject(&view), m_view(view) {
    color = view.palette().color(QPalette::Highlight);
    view.setCursorWidth(0);
    view.installEventFilter(this);
    connect(&view, &QPlainTextEdit::cursorPositionChanged, this, &AccentCaret::restartBlink);
    connect(&view, &QPlainTextEdit::textChanged, this, &AccentCaret::restartBlink);
}

bool AccentCaret::takesCaret() const {
    return !m_view.isReadOnly() || (m_view.textInteractionFlags() & Qt::TextSelectableByKeyboard);
}

bool AccentCaret::isShown() const {
    return m_phaseOn && m_view.hasFocus() && takesCaret() && !m_view.textCursor().hasSelection();
}

void AccentCaret::paint(QPainter& painter) const {
    if (!isShown())
        return;
    const QRect at = m_view.cursorRect();
    painter.fillRect(QRect(at.left(), at.top(), kCaretWidth, at.height()), color);
}

void AccentCaret::restartBlink() {
    m_phaseOn = true;
    const int flashTime = QGuiApplication::styleHints()->cursorFlashTime();
    if (m_view.hasFocus() && flashTime > 0)
        m_blink.start(flashTime / 2, this);
    else
        m_blink.stop();
    m_view.viewport()->update();
}

bool AccentCaret::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_view) {
        if (event->type() == QEvent::FocusIn)
            restartBlink();
        else if (event->type() == QEvent::FocusOut) {
            m_blink.stop();
            m_view.viewport()->update();
        }
    }
    return QObject::eventFilter(watched, event);
}

void AccentCaret::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_blink.timerId())
        return QObject::timerEvent(event);
    m_phaseOn = !m_phaseOn;
    updateCaretArea();
}

void AccentCaret::updateCaretArea() {
    m_view.viewport()->update(m_view.cursorRect().adjusted(-1, 0, kCaretWidth + 1, 0));
}

} // namespace dunmoss
