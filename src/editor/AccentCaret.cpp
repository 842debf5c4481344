#include "editor/AccentCaret.h"

#include <QAbstractEventDispatcher>
#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyleHints>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimerEvent>
#include <utility>

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
    if (!m_keeping && isShown())
        fillCaret(painter, m_view.cursorRect());
}

void AccentCaret::fillCaret(QPainter& painter, const QRect& cursorRect) const {
    m_paintedCaret = cursorRect;
    painter.fillRect(QRect(cursorRect.left(), cursorRect.top(), kCaretWidth, cursorRect.height()),
                     color);
}

QRect AccentCaret::stripAround(const QRect& cursorRect) const {
    return cursorRect.adjusted(-1, 0, kCaretWidth + 1, 0).intersected(m_view.viewport()->rect());
}

void AccentCaret::keepPixelsUnder(const QRect& strip) {
    QWidget* viewport = m_view.viewport();
    const qreal ratio = viewport->devicePixelRatioF();
    QPixmap pixels(strip.size() * ratio);
    pixels.setDevicePixelRatio(ratio);
    m_keeping = true;
    viewport->render(&pixels, QPoint(), QRegion(strip),
                     QWidget::DrawWindowBackground | QWidget::DrawChildren);
    m_keeping = false;
    m_kept = pixels;
}

void AccentCaret::dropKeptPixels() {
    m_keptValid = false;
    m_kept = QPixmap();
    m_keptStrip = QRect();
}

bool AccentCaret::paintBlinkOnly(const QRegion& region) {
    if (m_keeping)
        return false;
    const QRect strip = std::exchange(m_blinkStrip, QRect());
    if (strip.isEmpty() || !m_keptValid || strip != m_keptStrip || region != QRegion(strip)) {
        // Something else changed the view: what lies under the caret may have changed too.
        dropKeptPixels();
        return false;
    }
    QPainter painter(m_view.viewport());
    painter.drawPixmap(strip.topLeft(), m_kept);
    if (isShown())
        fillCaret(painter, m_keptCursorRect);
    return true;
}

void AccentCaret::restartBlink() {
    const Restart now{m_view.textCursor().position(), m_view.document()->revision(),
                      m_view.horizontalScrollBar()->value(), m_view.verticalScrollBar()->value(),
                      m_paintedCaret};
    if (now == std::exchange(m_lastRestart, now) && m_phaseOn && m_blink.isActive())
        return;
    m_phaseOn = true;
    dropKeptPixels();
    const int time = flashTime();
    if (m_view.hasFocus() && time > 0)
        m_blink.start(time / 2, this);
    else
        m_blink.stop();
    // Where the caret was drawn and where it is now; a typed letter's line repaints itself.
    QWidget* viewport = m_view.viewport();
    if (!m_paintedCaret.isNull())
        viewport->update(stripAround(m_paintedCaret));
    // The caret's line may still be laid out aside (a very long line): not asked for here.
    const QTextLayout* layout = m_view.textCursor().block().layout();
    if (layout && layout->lineCount() > 0)
        viewport->update(stripAround(m_view.cursorRect()));
    else
        viewport->update();
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
            dropKeptPixels();
            m_view.viewport()->update();
        }
    }
    return QObject::eventFilter(watched, event);
}

void AccentCaret::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_blink.timerId())
        return QObject::timerEvent(event);
    m_phaseOn = !m_phaseOn;
    // Kept pixels mean nothing was painted since: the caret is where it was, and asking Qt
    // where that is (cursorToX along the line) is not needed.
    if (!m_keptValid) {
        m_keptValid = true;
        m_keptCursorRect = m_view.cursorRect();
        m_keptStrip = stripAround(m_keptCursorRect);
        // Drawn once per caret place and content; the blinks after it copy these pixels.
        if (!m_keptStrip.isEmpty())
            keepPixelsUnder(m_keptStrip);
    }
    const QRect strip = m_keptStrip;
    if (strip.isEmpty())
        return; // the caret is scrolled out of view
    m_blinkStrip = strip;
    m_view.viewport()->update(strip);
}

} // namespace dunmoss
