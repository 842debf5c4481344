#include "chrome/ToolbarPopoverRows.h"

#include "editor/ElidedLabel.h"
#include "editor/IconTable.h"
#include "editor/LiteralText.h"
#include "platform/Localization.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace dunmoss {

namespace {

constexpr int kPaddingX = 8;
constexpr int kPaddingY = 6;
constexpr int kSymbolSize = 16;
// A file entry's symbol sits in a column this wide.
constexpr int kFileSymbolColumn = 18;
constexpr int kSymbolSpacing = 6;
constexpr int kFileSpacing = 8;

QFont smallerFont(QFont font) {
    font.setPointSizeF(qMax(7.0, font.pointSizeF() - 1.5));
    return font;
}

} // namespace

ToolbarPopoverRowButton::ToolbarPopoverRowButton(const ToolbarPopoverRow& row, QWidget* parent)
    : QAbstractButton(parent), m_symbol(row.shownSymbol()), m_title(row.shownTitle()),
      m_subtitle(row.subtitle), m_isFile(row.kind == ToolbarPopoverRow::Kind::FileAction) {
    setObjectName(row.kind == ToolbarPopoverRow::Kind::FileAction ? row.title : row.titleKey);
    setAccessibleName(m_title);
    // The title is drawn here; the text only names the button, with no shortcut letter.
    setText(literalMnemonicText(m_title));
    if (m_isFile)
        setToolTip(literalToolTip(m_subtitle.isEmpty() ? m_title
                                                       : m_subtitle + QLatin1Char('/') + m_title));
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    if (row.action) {
        const std::function<void()> action = row.action;
        connect(this, &QAbstractButton::clicked, this, [action] { action(); });
    }
}

QFont ToolbarPopoverRowButton::captionFont() const {
    return smallerFont(font());
}

QSize ToolbarPopoverRowButton::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    int height = qMax(kSymbolSize, metrics.height());
    int width = kPaddingX * 2 + metrics.horizontalAdvance(m_title);
    if (m_isFile) {
        const QFontMetrics caption(captionFont());
        height = metrics.height() + 2 + caption.height();
        width = kPaddingX * 2 + kFileSymbolColumn + kFileSpacing +
                qMax(metrics.horizontalAdvance(m_title), caption.horizontalAdvance(m_subtitle));
    } else {
        width += kSymbolSize + kSymbolSpacing;
    }
    return QSize(width, height + kPaddingY * 2);
}

QSize ToolbarPopoverRowButton::minimumSizeHint() const {
    // Any width down to the symbol and an ellipsis: the popover's width is fixed.
    return QSize(kPaddingX * 2 + kFileSymbolColumn + kFileSpacing +
                     fontMetrics().horizontalAdvance(QChar(0x2026)),
                 sizeHint().height());
}

QRect ToolbarPopoverRowButton::textRect() const {
    const QRect inner = rect().adjusted(kPaddingX, kPaddingY, -kPaddingX, -kPaddingY);
    const int lead = m_isFile ? kFileSymbolColumn + kFileSpacing : kSymbolSize + kSymbolSpacing;
    return inner.adjusted(lead, 0, 0, 0);
}

QString ToolbarPopoverRowButton::displayedTitle() const {
    return fontMetrics().elidedText(m_title, Qt::ElideRight, textRect().width());
}

QString ToolbarPopoverRowButton::displayedSubtitle() const {
    return QFontMetrics(captionFont()).elidedText(m_subtitle, Qt::ElideMiddle, textRect().width());
}

void ToolbarPopoverRowButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor primary = palette().color(QPalette::WindowText);
    if (isDown()) {
        QColor fill = primary;
        fill.setAlphaF(0.08);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), 6, 6);
        p.fillPath(shape, fill);
    }
    if (hasFocus()) {
        QColor ring = palette().color(QPalette::Highlight);
        ring.setAlphaF(0.7);
        p.setPen(QPen(ring, 1.5));
        p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 6, 6);
    }

    const QRect inner = rect().adjusted(kPaddingX, kPaddingY, -kPaddingX, -kPaddingY);
    const QRect text = textRect();
    const QFontMetrics metrics = fontMetrics();
    if (m_isFile) {
        const QColor secondary = secondaryLabelColor(palette());
        // Top-aligned with the file's name.
        const QRect symbol(inner.left() + (kFileSymbolColumn - kSymbolSize) / 2,
                           inner.top() + (metrics.height() - kSymbolSize) / 2, kSymbolSize,
                           kSymbolSize);
        p.drawPixmap(symbol, symbolPixmap(m_symbol, kSymbolSize, secondary, devicePixelRatioF()));
        p.setPen(primary);
        p.drawText(QRect(text.left(), text.top(), text.width(), metrics.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, displayedTitle());
        p.setFont(captionFont());
        p.setPen(secondary);
        p.drawText(QRect(text.left(), text.top() + metrics.height() + 2, text.width(),
                         QFontMetrics(captionFont()).height()),
                   Qt::AlignLeft | Qt::AlignVCenter, displayedSubtitle());
        return;
    }
    const QRect symbol(inner.left(), inner.center().y() - kSymbolSize / 2 + 1, kSymbolSize,
                       kSymbolSize);
    p.drawPixmap(symbol, symbolPixmap(m_symbol, kSymbolSize, primary, devicePixelRatioF()));
    p.setPen(primary);
    p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, displayedTitle());
}

void ToolbarPopoverRowButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

ToolbarPopoverToggle::ToolbarPopoverToggle(const ToolbarPopoverRow& row, QWidget* parent)
    : QCheckBox(localizedString(row.titleKey), parent), m_symbol(row.systemImage) {
    setObjectName(row.titleKey);
    setContentsMargins(kPaddingX, 5, kPaddingX, 5);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setChecked(row.isOn);
    setIconSize(QSize(kSymbolSize, kSymbolSize));
    setIcon(symbolIcon(m_symbol, palette().color(QPalette::WindowText), kSymbolSize));
    if (row.setOn) {
        const std::function<void(bool)> setOn = row.setOn;
        // Only the person's clicks write the setting; the header sets the box from the setting.
        connect(this, &QAbstractButton::clicked, this, [setOn](bool on) { setOn(on); });
    }
}

void ToolbarPopoverToggle::changeEvent(QEvent* event) {
    QCheckBox::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        setIcon(symbolIcon(m_symbol, palette().color(QPalette::WindowText), kSymbolSize));
}

bool ToolbarPopoverToggle::hitButton(const QPoint& position) const {
    return rect().contains(position);
}

ToolbarPopoverEmptyState::ToolbarPopoverEmptyState(const ToolbarPopoverRow& row, QWidget* parent)
    : QWidget(parent), m_symbol(row.systemImage) {
    setObjectName(row.titleKey);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(kPaddingX, kPaddingY, kPaddingX, kPaddingY);
    layout->setSpacing(kSymbolSpacing);
    m_symbolLabel = new QLabel(this);
    m_text = new ElidedLabel(this);
    m_text->setText(localizedString(row.titleKey));
    useSecondaryTextColor(m_text);
    layout->addWidget(m_symbolLabel);
    layout->addWidget(m_text, 1);
    updateSymbol();
}

void ToolbarPopoverEmptyState::updateSymbol() {
    m_symbolLabel->setPixmap(
        symbolPixmap(m_symbol, kSymbolSize, secondaryLabelColor(palette()), devicePixelRatioF()));
}

void ToolbarPopoverEmptyState::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        updateSymbol();
}

QString ToolbarPopoverEmptyState::text() const {
    return m_text->text();
}

QWidget* makeToolbarPopoverRow(const ToolbarPopoverRow& row, QWidget* parent) {
    switch (row.kind) {
    case ToolbarPopoverRow::Kind::Toggle:
        return new ToolbarPopoverToggle(row, parent);
    case ToolbarPopoverRow::Kind::EmptyState:
        return new ToolbarPopoverEmptyState(row, parent);
    default:
        return new ToolbarPopoverRowButton(row, parent);
    }
}

QWidget* makeToolbarPopoverSection(const ToolbarPopoverSection& section, QWidget* parent) {
    auto* box = new QWidget(parent);
    box->setObjectName(section.titleKey);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    auto* title = new ElidedLabel(box);
    title->setObjectName(QStringLiteral("sectionTitle"));
    title->setText(localizedString(section.titleKey));
    title->setContentsMargins(kPaddingX, 0, kPaddingX, 0);
    QFont font = smallerFont(title->font());
    font.setWeight(QFont::DemiBold);
    title->setFont(font);
    useSecondaryTextColor(title);
    column->addWidget(title);
    for (const ToolbarPopoverRow& row : section.rows)
        column->addWidget(makeToolbarPopoverRow(row, box));
    return box;
}

} // namespace dunmoss
