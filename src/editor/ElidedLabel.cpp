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
    const QSize hint = sizeHint();
    m_text = text;
    setAccessibleName(text);
    // A text as wide as the last (a caret position after a key, in even digits) leaves the
    // window's layout alone.
    if (sizeHint() != hint)
        updateGeometry();
    update();
}

QString ElidedLabel::displayedText() const {
    const QFontMetrics metrics = fontMetrics();
    const int room = contentsRect().width();
    // Measured the way the size hint is, so a label given its hint shows the whole text.
    if (metrics.horizontalAdvance(m_text) <= room)
        return m_text;
    return metrics.elidedText(m_text, Qt::ElideRight, room);
}

QSize ElidedLabel::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    const QMargins margins = contentsMargins();
    return QSize(metrics.horizontalAdvance(m_text) + margins.left() + margins.right(),
                 metrics.height() + margins.top() + margins.bottom());
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
    p.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter, displayedText());
}

void ElidedLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange)
        updateGeometry();
    QWidget::changeEvent(event);
}

} // namespace dunmoss
