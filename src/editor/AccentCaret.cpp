#include "editor/AccentCaret.h"

#include <QAbstractEventDispatcher>
#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QStyleHints>
#include <QTimerEvent>

namespace dunmoss {

namespace {
constexpr int kCaretWidth = 2;

// While Qt's blink is suspended the style hint reads 0; the desktop's value is kept here.
int suspendDepth = 0;
int desktopFlashTime = 0;

int flashTime() {
    return suspendDepth > 0 ? desktopFlashTime : QGuiApplication::styleHints()->cursorFlashTime();
}

// The text engine under a QPlainTextEdit: a direct child that blinks Qt's caret.
QObject* findQtTextControl(QPlainTextEdit& view) {
    for (QObject* child : view.children())
        if (child->inherits("QWidgetTextControl"))
            return child;
    return nullptr;
}

} // namespace

AccentCaret::AccentCaret(QPlainTextEdit& view) : QObject(&view), m_view(view) {
    color = view.palette().color(QPalette::Highlight);
    view.setCursorWidth(0);
    view.installEventFilter(this);
    m_qtControl = findQtTextControl(view);
    if (m_qtControl)
        m_qtControl->installEventFilter(this);
    connect(&view, &QPlainTextEdit::cursorPositionChanged, this, &AccentCaret::restartBlink);
    connect(&view, &QPlainTextEdit::textChanged, this, &AccentCaret::restartBlink);
}

// Qt's text control starts its blink timer only when the flash time is at least 2 ms as the
// caret becomes visible (focus in, made editable). The hint is 0 for that moment, with its
// change signal blocked, so that nothing else in the application notices.
int AccentCaret::suspendQtBlink() {
    QStyleHints* hints = QGuiApplication::styleHints();
    const int saved = hints->cursorFlashTime();
    if (suspendDepth++ == 0)
        desktopFlashTime = saved;
    const QSignalBlocker quiet(hints);
    hints->setCursorFlashTime(0);
    return saved;
}

void AccentCaret::resumeQtBlink(int savedFlashTime) {
    QStyleHints* hints = QGuiApplication::styleHints();
    const QSignalBlocker quiet(hints);
    --suspendDepth;
    // -1 follows the desktop again; an application's own value is put back as it was.
    hints->setCursorFlashTime(-1);
    if (hints->cursorFlashTime() != savedFlashTime)
        hints->setCursorFlashTime(savedFlashTime);
}

bool AccentCaret::stopQtBlink(int timerId) {
    const Qt::TextInteractionFlags flags = m_view.textInteractionFlags();
    if (!(flags & Qt::TextEditable) || !m_view.hasFocus())
        return false; // Qt blinks only an editable caret with focus
    // Hiding Qt's caret stops its timer; showing it again with the hint at 0 starts none.
    withoutQtBlink([&] {
        m_view.setTextInteractionFlags(flags & ~Qt::TextEditable);
        m_view.setTextInteractionFlags(flags);
    });
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread());
    if (!dispatcher)
        return false;
    for (const auto& timer : dispatcher->registeredTimers(m_qtControl))
        if (timer.timerId == timerId)
            return false; // still running: the control's triple-click timer, not the blink
    return true;
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
    const int time = flashTime();
    if (m_view.hasFocus() && time > 0)
        m_blink.start(time / 2, this);
    else
        m_blink.stop();
    m_view.viewport()->update();
}

bool AccentCaret::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_qtControl && event->type() == QEvent::Timer) {
        // A blink timer started on a path that was not suspended (the desktop changed the
        // flash time, the view was made editable directly): stopped at its first tick.
        if (stopQtBlink(static_cast<QTimerEvent*>(event)->timerId()))
            return true;
    } else if (watched == &m_view) {
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
