#include "chrome/TabStripView.h"

#include "editor/IconTable.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QWheelEvent>
#include <algorithm>

namespace dunmoss {

namespace {

// The row's padding at its ends and between items; the row's own padding above and below.
constexpr int kRowPadding = 8;
constexpr int kItemSpacing = 4;
constexpr int kRowVerticalPadding = 5;

} // namespace

TabStripView::TabStripView(QWidget* parent)
    : QWidget(parent), m_geometry(kRowPadding, kItemSpacing) {
    setObjectName(QStringLiteral("tabStrip"));
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_scroll = new QScrollArea(this);
    outer->addWidget(m_scroll);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A click on a tab must not take the keyboard from the text.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    // The row is filled with the window's colour, as the scroll area fills the widget it scrolls.
    m_scroll->viewport()->setBackgroundRole(QPalette::Window);
    m_scroll->viewport()->setAutoFillBackground(true);
    // The item widgets stand in the viewport; the scroll bar's value is how far the row is
    // scrolled.
    m_scroll->viewport()->installEventFilter(this);
    connect(m_scroll->horizontalScrollBar(), &QScrollBar::valueChanged, this,
            &TabStripView::placeItems);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    makeProbe();
    // One item's height plus the row padding; computed from the font so it follows the theme.
    setFixedHeight(m_itemHeight + 2 * kRowVerticalPadding);
}

void TabStripView::makeProbe() {
    delete m_probe;
    m_probe = new TabStripItemWidget(m_scroll->viewport());
    m_probe->hide();
    m_itemHeight = m_probe->sizeHint().height();
    m_chromeWidth = m_probe->sizeHint().width() - m_probe->selectButton()->sizeHint().width();
}

int TabStripView::itemWidth(const QString& title) const {
    return m_chromeWidth + m_probe->selectButton()->widthFor(title);
}

void TabStripView::setTabs(const QList<EditorTab>& tabs, const QUuid& activeTabID) {
    const TabStripItemFeed::Change change = m_feed.update(tabs, activeTabID);
    if (change.isEmpty())
        return;
    const QList<TabStripItem>& items = m_feed.items();
    const qsizetype stretchEnd = change.at + change.inserted;
    if (change.reordered) {
        // Only the stretch of tabs that came, went or moved is placed again; a tab in it keeps
        // the width measured for it unless its title was worked out again.
        QHash<QUuid, int> known;
        known.reserve(change.removed);
        for (qsizetype i = change.at; i < change.at + change.removed; ++i)
            known.insert(m_placedIDs[i], m_geometry.width(i));
        QList<int> widths;
        QList<QUuid> ids;
        widths.reserve(change.inserted);
        ids.reserve(change.inserted);
        for (qsizetype i = change.at; i < stretchEnd; ++i) {
            const auto found = known.constFind(items[i].id);
            const bool retitled =
                std::binary_search(change.retitled.cbegin(), change.retitled.cend(), i);
            widths.append(found != known.cend() && !retitled ? *found : itemWidth(items[i].title));
            ids.append(items[i].id);
        }
        m_geometry.splice(change.at, change.removed, widths);
        m_placedIDs.remove(change.at, change.removed);
        m_placedIDs.insert(change.at, change.inserted, QUuid());
        std::copy(ids.cbegin(), ids.cend(), m_placedIDs.begin() + change.at);
    }
    for (const qsizetype i : change.retitled)
        if (!change.reordered || i < change.at || i >= stretchEnd)
            m_geometry.setWidth(i, itemWidth(items[i].title));
    updateScrollRange();
    placeItems();
}

void TabStripView::remeasure() {
    const QList<TabStripItem>& items = m_feed.items();
    QList<int> widths;
    widths.reserve(items.size());
    m_placedIDs.clear();
    m_placedIDs.reserve(items.size());
    for (const TabStripItem& item : items) {
        widths.append(itemWidth(item.title));
        m_placedIDs.append(item.id);
    }
    m_geometry.setWidths(std::move(widths));
}

void TabStripView::updateScrollRange() {
    const int viewportWidth = m_scroll->viewport()->width();
    QScrollBar* bar = m_scroll->horizontalScrollBar();
    // Setting the range clamps the value, which places the items when it moves.
    bar->setPageStep(qMax(1, viewportWidth));
    bar->setRange(0, qMax(0, m_geometry.contentWidth() - viewportWidth));
}

TabStripItemWidget* TabStripView::takeItemWidget() {
    if (!m_spare.isEmpty())
        return m_spare.takeLast();
    auto* widget = new TabStripItemWidget(m_scroll->viewport());
    connect(widget, &TabStripItemWidget::selectRequested, this, &TabStripView::selectTabRequested);
    connect(widget, &TabStripItemWidget::closeRequested, this, &TabStripView::closeTabRequested);
    return widget;
}

void TabStripView::placeItems() {
    QWidget* viewport = m_scroll->viewport();
    const int offset = m_scroll->horizontalScrollBar()->value();
    // Before the strip is first shown its width is not known yet: a screen's width is the most
    // it will show.
    int span = viewport->width();
    if (!isVisible())
        if (const QScreen* shown = screen())
            span = qMax(span, shown->geometry().width());
    const auto [first, last] = m_geometry.itemsBetween(offset, offset + span);
    const QList<TabStripItem>& items = m_feed.items();

    QSet<QUuid> inView;
    inView.reserve(last - first);
    for (qsizetype i = first; i < last; ++i)
        inView.insert(items[i].id);
    for (auto it = m_shown.begin(); it != m_shown.end();) {
        if (inView.contains(it.key())) {
            ++it;
            continue;
        }
        it.value()->hide();
        m_spare.append(it.value());
        it = m_shown.erase(it);
    }
    const int top = (viewport->height() - m_itemHeight) / 2;
    for (qsizetype i = first; i < last; ++i) {
        TabStripItemWidget*& widget = m_shown[items[i].id];
        if (!widget)
            widget = takeItemWidget();
        widget->setItem(items[i]);
        widget->setGeometry(m_geometry.left(i) - offset, top, m_geometry.width(i), m_itemHeight);
        if (widget->isHidden())
            widget->show();
    }
}

QList<TabStripItemWidget*> TabStripView::itemWidgets() const {
    QList<TabStripItemWidget*> widgets = m_shown.values();
    std::sort(widgets.begin(), widgets.end(),
              [](const QWidget* a, const QWidget* b) { return a->x() < b->x(); });
    return widgets;
}

void TabStripView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), barMaterialColor(palette()));
}

bool TabStripView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_scroll->viewport()) {
        if (event->type() == QEvent::Wheel) {
            // No scroll bar is shown: the wheel scrolls the row sideways.
            const QPoint delta = static_cast<QWheelEvent*>(event)->angleDelta();
            const int step = delta.x() != 0 ? delta.x() : delta.y();
            QScrollBar* bar = m_scroll->horizontalScrollBar();
            bar->setValue(bar->value() - step);
            return true;
        }
        if (event->type() == QEvent::Resize) {
            updateScrollRange();
            placeItems();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TabStripView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        for (TabStripItemWidget* widget : std::as_const(m_shown))
            widget->update();
    if (event->type() == QEvent::FontChange) {
        // Items are measured and made again in the new font.
        for (TabStripItemWidget* widget : std::as_const(m_shown))
            delete widget;
        qDeleteAll(m_spare);
        m_shown.clear();
        m_spare.clear();
        makeProbe();
        setFixedHeight(m_itemHeight + 2 * kRowVerticalPadding);
        remeasure();
        updateScrollRange();
        placeItems();
    }
    QWidget::changeEvent(event);
}

} // namespace dunmoss
