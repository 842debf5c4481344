#include "chrome/TabStripItemWidget.h"

#include "editor/IconTable.h"
#include "editor/LiteralText.h"
#include "platform/Localization.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace dunmoss {

namespace {

QFont captionFont(const QFont& base) {
    QFont font = base;
    font.setPointSizeF(qMax(8.0, base.pointSizeF() - 1.0));
    return font;
}

} // namespace

TabSelectButton::TabSelectButton(QWidget* parent) : QAbstractButton(parent) {
    setObjectName(QStringLiteral("tabSelectButton"));
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::NoFocus);
    setFont(captionFont(font()));
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
}

void TabSelectButton::setItem(const TabStripItem& item) {
    if (item.title == m_item.title && item.symbolName == m_item.symbolName &&
        item.symbolColor == m_item.symbolColor) {
        m_item = item;
        return;
    }
    const bool resized = item.title != m_item.title;
    m_item = item;
    // The title is drawn here; the text only names the button, with no shortcut letter.
    setText(literalMnemonicText(item.title));
    setToolTip(literalToolTip(item.title));
    if (resized)
        updateGeometry();
    update();
}

int TabSelectButton::symbolSize() const {
    return qMax(9, fontMetrics().height() - 4);
}

int TabSelectButton::widthFor(const QString& title) const {
    return qMin(kMaximumWidth, symbolSize() + 6 + fontMetrics().horizontalAdvance(title) + 1);
}

QSize TabSelectButton::sizeHint() const {
    return QSize(widthFor(m_item.title), qMax(symbolSize(), fontMetrics().height()));
}

QString TabSelectButton::displayedTitle() const {
    const int available = qMin(width(), kMaximumWidth) - symbolSize() - 6;
    return fontMetrics().elidedText(m_item.title, Qt::ElideRight, qMax(0, available));
}

void TabSelectButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int size = symbolSize();
    const QColor symbolColor = m_item.symbolColor == TabStripItem::SymbolColor::Orange
                                   ? systemOrange()
                                   : secondaryLabelColor(palette());
    const QPixmap symbol = symbolPixmap(m_item.symbolName, size, symbolColor, devicePixelRatioF());
    p.drawPixmap(QPoint(0, (height() - size) / 2), symbol);
    p.setPen(palette().color(QPalette::WindowText));
    const QRect textRect(size + 6, 0, width() - size - 6, height());
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, displayedTitle());
}

TabStripItemWidget::TabStripItemWidget(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tabStripItem"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 6, 10, 6);
    layout->setSpacing(7);
    m_select = new TabSelectButton(this);
    m_close = makeCloseSymbolButton(localizedString(QStringLiteral("command.close-tab")), this);
    m_close->setObjectName(QStringLiteral("tabCloseButton"));
    layout->addWidget(m_select, 0, Qt::AlignVCenter);
    layout->addWidget(m_close, 0, Qt::AlignVCenter);
    connect(m_select, &QAbstractButton::clicked, this, [this] { emit selectRequested(m_item.id); });
    connect(m_close, &QToolButton::clicked, this, [this] { emit closeRequested(m_item.id); });
}

void TabStripItemWidget::setItem(const TabStripItem& item) {
    const bool activeChanged = item.isActive != m_item.isActive;
    m_item = item;
    m_select->setItem(item);
    if (activeChanged)
        update();
}

void TabStripItemWidget::paintEvent(QPaintEvent*) {
    if (!m_item.isActive)
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 6, 6);
    p.fillPath(path, palette().color(QPalette::Base));
}

} // namespace dunmoss
