#include "chrome/TabStripView.h"

#include "editor/IconTable.h"
#include "editor/LiteralText.h"
#include "platform/Localization.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>

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

QSize TabSelectButton::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    const int natural = symbolSize() + 6 + metrics.horizontalAdvance(m_item.title) + 1;
    return QSize(qMin(kMaximumWidth, natural), qMax(symbolSize(), metrics.height()));
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

TabStripView::TabStripView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tabStrip"));
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A click on a tab must not take the keyboard from the text.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setWidgetResizable(true);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_row = new QWidget(m_scroll);
    m_row->setAutoFillBackground(false);
    m_rowLayout = new QHBoxLayout(m_row);
    m_rowLayout->setContentsMargins(8, 5, 8, 5);
    m_rowLayout->setSpacing(4);
    m_rowLayout->addStretch(1);
    m_scroll->setWidget(m_row);
    outer->addWidget(m_scroll);
    m_scroll->viewport()->installEventFilter(this);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // One item's height plus the row padding; computed from the font so it follows the theme.
    TabStripItemWidget probe;
    setFixedHeight(probe.sizeHint().height() + 10);
}

void TabStripView::setTabs(const QList<EditorTab>& tabs, const QUuid& activeTabID) {
    setItems(tabStripItems(tabs, activeTabID));
}

void TabStripView::setItems(const QList<TabStripItem>& items) {
    if (items == m_items)
        return;
    m_items = items;
    while (m_widgets.size() > items.size())
        delete m_widgets.takeLast();
    // Each tab shown in a shown row lays the whole row out again; many new tabs (a drop, a
    // session file) are shown with the row's layout held, and the row is laid out once.
    const bool many = items.size() - m_widgets.size() > 1;
    if (many)
        m_rowLayout->setEnabled(false);
    while (m_widgets.size() < items.size()) {
        auto* widget = new TabStripItemWidget(m_row);
        connect(widget, &TabStripItemWidget::selectRequested, this,
                &TabStripView::selectTabRequested);
        connect(widget, &TabStripItemWidget::closeRequested, this,
                &TabStripView::closeTabRequested);
        // Before the trailing stretch.
        m_rowLayout->insertWidget(m_widgets.size(), widget, 0, Qt::AlignVCenter);
        if (many)
            widget->show();
        m_widgets.append(widget);
    }
    if (many) {
        m_rowLayout->setEnabled(true);
        m_rowLayout->activate();
    }
    for (qsizetype i = 0; i < items.size(); ++i)
        m_widgets[i]->setItem(items[i]);
}

void TabStripView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), barMaterialColor(palette()));
}

bool TabStripView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_scroll->viewport() && event->type() == QEvent::Wheel) {
        // No scroll bar is shown: the wheel scrolls the row sideways.
        const QPoint delta = static_cast<QWheelEvent*>(event)->angleDelta();
        const int step = delta.x() != 0 ? delta.x() : delta.y();
        QScrollBar* bar = m_scroll->horizontalScrollBar();
        bar->setValue(bar->value() - step);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TabStripView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        for (TabStripItemWidget* widget : m_widgets)
            widget->update();
    QWidget::changeEvent(event);
}

} // namespace dunmoss
