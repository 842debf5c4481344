#include "editor/ElidedLabel.h"

#include <QEvent>
#include <QPainter>

namespace dunmoss {

ElidedLabel::ElidedLabel(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString& text) {
    if (text == m_text)
        return;
    const int before = textWidth();
    m_text = text;
    m_textWidth = -1;
    setAccessibleName(text);
    // A text as wide as the last (a caret position after a key, in even digits) leaves the
    // window's layout alone.
    if (textWidth() != before)
        updateGeometry();
    update();
}

int ElidedLabel::textWidth() const {
    if (m_textWidth < 0)
        m_textWidth = fontMetrics().horizontalAdvance(m_text);
    return m_textWidth;
}

QString ElidedLabel::displayedText() const {
    const int room = contentsRect().width();
    // Measured the way the size hint is, so a label given its hint shows the whole text.
    if (textWidth() <= room)
        return m_text;
    return fontMetrics().elidedText(m_text, Qt::ElideRight, room);
}

QSize ElidedLabel::sizeHint() const {
    const QMargins margins = contentsMargins();
    return QSize(textWidth() + margins.left() + margins.right(),
                 fontMetrics().height() + margins.top() + margins.bottom());
}

QSize ElidedLabel::minimumSizeHint() const {
    const int ellipsis = fontMetrics().horizontalAdvance(QChar(0x2026));
    const QSize whole = sizeHint();
    const QMargins margins = contentsMargins();
    return QSize(qMin(whole.width(), ellipsis + margins.left() + margins.right()), whole.height());
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    // One line that fits, drawn from its baseline: a rectangle would have the text laid out as
    // a paragraph first, twice the work for a label redrawn at every key.
    const QRect room = contentsRect();
    const QFontMetrics metrics = fontMetrics();
    const int baseline = room.top() + (room.height() - metrics.height()) / 2 + metrics.ascent();
    p.drawText(QPoint(room.left(), baseline), displayedText());
}

void ElidedLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        m_textWidth = -1;
        updateGeometry();
    }
    QWidget::changeEvent(event);
}

} // namespace dunmoss
