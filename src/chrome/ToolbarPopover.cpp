#include "chrome/ToolbarPopover.h"

#include "chrome/ToolbarPopoverRows.h"
#include "editor/IconTable.h"
#include "platform/Localization.h"

#include <QAbstractButton>
#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace dunmoss {

namespace {

constexpr int kPadding = 10;
// Kept free between the popover and the screen's edge, and between trigger and popover.
constexpr int kScreenMargin = 8;
constexpr int kGap = 4;
// Below this much room under the trigger the popover opens above it, when there is more there.
constexpr int kSmallestRoom = 200;

} // namespace

ToolbarPopoverContainer::ToolbarPopoverContainer(int width, QWidget* parent)
    : QFrame(parent, Qt::Popup | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("toolbarPopover"));
    // A window of its own that still takes the editor window's colour scheme.
    setAttribute(Qt::WA_WindowPropagation);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Plain);
    setAutoFillBackground(true);
    m_width = width;
    setFixedWidth(width);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    layout->setSpacing(0);
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setBackgroundRole(QPalette::Window);
    // The arrows a focused row leaves alone would otherwise scroll the list.
    m_scroll->installEventFilter(this);
    layout->addWidget(m_scroll);
}

void ToolbarPopoverContainer::setContent(const ToolbarPopoverContent& content, bool keepScroll) {
    const int scrolled = keepScroll ? m_scroll->verticalScrollBar()->value() : 0;
    if (QWidget* old = m_scroll->takeWidget()) {
        old->hide();
        old->deleteLater();
    }
    m_content = new QWidget;
    m_content->setObjectName(QStringLiteral("toolbarPopoverContent"));
    m_content->setAutoFillBackground(false);
    auto* column = new QVBoxLayout(m_content);
    column->setContentsMargins(0, content.verticalPadding, 0, content.verticalPadding);
    column->setSpacing(content.spacing);
    for (const ToolbarPopoverElement& element : content.elements) {
        if (const auto* row = std::get_if<ToolbarPopoverRow>(&element))
            column->addWidget(makeToolbarPopoverRow(*row, m_content));
        else
            column->addWidget(
                makeToolbarPopoverSection(std::get<ToolbarPopoverSection>(element), m_content));
    }
    column->addStretch(1);
    m_scroll->setWidget(m_content);
    m_maximumHeight = content.maximumHeight;
    m_scroll->setVerticalScrollBarPolicy(content.maximumHeight ? Qt::ScrollBarAlwaysOn
                                                               : Qt::ScrollBarAsNeeded);
    fitWidth();
    fitHeight(m_room);
    m_scroll->verticalScrollBar()->setValue(scrolled);
}

void ToolbarPopoverContainer::fitHeight(int room) {
    if (!m_content)
        return;
    int wanted = m_content->sizeHint().height();
    if (m_maximumHeight)
        wanted = qMin(wanted, *m_maximumHeight);
    const int frame = 2 * (kPadding + frameWidth());
    const int scroll = qMax(1, qMin(wanted, room - frame));
    m_scroll->setFixedHeight(scroll);
    setFixedHeight(scroll + frame);
}

void ToolbarPopoverContainer::fitWidth() {
    int widest = 0;
    for (const ToolbarPopoverRowButton* row : m_content->findChildren<ToolbarPopoverRowButton*>())
        if (!row->showsFile())
            widest = qMax(widest, row->sizeHint().width());
    // Sections set their rows flush with the content. The scroll bar takes its room whenever the
    // screen below or above the trigger is too short for every row, which depends on where the
    // popover opens.
    const int scrollBar = m_scroll->verticalScrollBar()->sizeHint().width();
    int wanted = qMax(m_width, widest + 2 * (kPadding + frameWidth()) + scrollBar);
    if (const QScreen* shown = screen())
        wanted =
            qMax(m_width, qMin(wanted, shown->availableGeometry().width() - 2 * kScreenMargin));
    setFixedWidth(wanted);
}

void ToolbarPopoverContainer::popUpBelow(QWidget* anchor) {
    const QPoint below = anchor->mapToGlobal(QPoint(anchor->width() / 2, anchor->height() + kGap));
    const QPoint above = anchor->mapToGlobal(QPoint(anchor->width() / 2, -kGap));
    QScreen* screen = anchor->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 15, 1 << 15);
    const int roomBelow = available.bottom() - kScreenMargin - below.y();
    const int roomAbove = above.y() - available.top() - kScreenMargin;
    const bool opensAbove = roomBelow < kSmallestRoom && roomAbove > roomBelow;
    m_room = qMax(0, opensAbove ? roomAbove : roomBelow);
    fitHeight(m_room);
    int x = below.x() - width() / 2;
    x = qBound(available.left() + kScreenMargin, x,
               qMax(available.left() + kScreenMargin, available.right() - kScreenMargin - width()));
    const int y = opensAbove ? above.y() - height() : below.y();
    move(x, y);
    setAttribute(Qt::WA_NoMouseReplay, false);
    show();
    setFocus(Qt::PopupFocusReason);
}

void ToolbarPopoverContainer::mousePressEvent(QMouseEvent* event) {
    const QPoint global = event->globalPosition().toPoint();
    if (!rect().contains(event->position().toPoint()) && m_trigger &&
        QRect(m_trigger->mapToGlobal(QPoint(0, 0)), m_trigger->size()).contains(global)) {
        // The press that closes the popover must not reach the trigger too, which would open it
        // again at once.
        setAttribute(Qt::WA_NoMouseReplay);
    }
    QFrame::mousePressEvent(event);
}

void ToolbarPopoverContainer::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    if (moveRowFocus(event))
        return;
    QFrame::keyPressEvent(event);
}

bool ToolbarPopoverContainer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_scroll && event->type() == QEvent::KeyPress &&
        moveRowFocus(static_cast<QKeyEvent*>(event)))
        return true;
    return QFrame::eventFilter(watched, event);
}

bool ToolbarPopoverContainer::moveRowFocus(QKeyEvent* event) {
    const bool down = event->key() == Qt::Key_Down;
    if ((!down && event->key() != Qt::Key_Up) || event->modifiers() != Qt::NoModifier || !m_content)
        return false;
    QList<QAbstractButton*> rows;
    for (QAbstractButton* row : m_content->findChildren<QAbstractButton*>())
        if (row->isVisibleTo(m_content) && row->isEnabled() && (row->focusPolicy() & Qt::TabFocus))
            rows.append(row);
    if (rows.isEmpty())
        return true;
    const qsizetype current = rows.indexOf(qobject_cast<QAbstractButton*>(focusWidget()));
    qsizetype next = down ? current + 1 : current - 1;
    if (current < 0)
        next = down ? 0 : rows.size() - 1;
    next = qBound<qsizetype>(0, next, rows.size() - 1);
    rows.at(next)->setFocus(down ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    m_scroll->ensureWidgetVisible(rows.at(next));
    return true;
}

void ToolbarPopoverContainer::hideEvent(QHideEvent* event) {
    QFrame::hideEvent(event);
    emit dismissed();
}

ToolbarPopoverTrigger::ToolbarPopoverTrigger(const QString& titleKey, const QString& systemImage,
                                             int popoverWidth, QWidget* parent)
    : QToolButton(parent), m_titleKey(titleKey), m_symbol(systemImage),
      m_popoverWidth(popoverWidth) {
    setObjectName(titleKey);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    // Like the header's other controls, it never takes the keyboard from the text.
    setFocusPolicy(Qt::NoFocus);
    setMinimumWidth(42);
    retranslate();
    updateIcon();
    connect(this, &QToolButton::clicked, this, [this] {
        if (isPresented && setPresented)
            setPresented(!isPresented());
    });
}

void ToolbarPopoverTrigger::retranslate() {
    const QString title = localizedString(m_titleKey);
    setToolTip(title);
    setAccessibleName(title);
}

void ToolbarPopoverTrigger::updateIcon() {
    // The symbol, then a small chevron saying that a popover opens below.
    const qreal ratio = devicePixelRatioF();
    const int symbol = 16;
    const int chevron = 9;
    const int spacing = 4;
    const QSize size(symbol + spacing + chevron, symbol);
    QPixmap composed(size * ratio);
    composed.setDevicePixelRatio(ratio);
    composed.fill(Qt::transparent);
    {
        QPainter p(&composed);
        p.drawPixmap(QRect(0, 0, symbol, symbol),
                     symbolPixmap(m_symbol, symbol, palette().color(QPalette::ButtonText), ratio));
        p.drawPixmap(QRect(symbol + spacing, (symbol - chevron) / 2 + 1, chevron, chevron),
                     symbolPixmap(QStringLiteral("chevron.down"), chevron,
                                  secondaryLabelColor(palette()), ratio));
    }
    setIconSize(size);
    setIcon(QIcon(composed));
}

void ToolbarPopoverTrigger::changeEvent(QEvent* event) {
    QToolButton::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        updateIcon();
}

void ToolbarPopoverTrigger::sync() {
    const bool wanted = isPresented && isPresented();
    if (!wanted) {
        if (m_popover && m_popover->isVisible())
            m_popover->hide();
        return;
    }
    const bool opening = !m_popover || !m_popover->isVisible();
    if (!m_popover) {
        m_popover = new ToolbarPopoverContainer(m_popoverWidth, this);
        m_popover->setObjectName(m_titleKey + QStringLiteral(".popover"));
        m_popover->setTrigger(this);
        // Closed by a click elsewhere or by Escape: the owner's flag follows.
        connect(m_popover, &ToolbarPopoverContainer::dismissed, this, [this] {
            if (isPresented && setPresented && isPresented())
                setPresented(false);
        });
    }
    m_popover->setContent(popoverContent ? popoverContent() : ToolbarPopoverContent{}, !opening);
    if (opening)
        m_popover->popUpBelow(this);
}

} // namespace dunmoss
