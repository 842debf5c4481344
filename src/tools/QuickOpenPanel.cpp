#include "tools/QuickOpenPanel.h"

#include "editor/IconTable.h"
#include "editor/LiteralText.h"
#include "editor/PaletteFollowing.h"
#include "editor/WindowDivider.h"
#include "platform/Localization.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace dunmoss {

namespace {

constexpr int kSubtitleRole = Qt::UserRole + 1;
constexpr int kRowHeight = 54;

// A row: the symbol in a 22-point column, then the title over the subtitle.
class EntryDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // No width of its own: a row is as wide as the list shows it, narrower once the vertical
    // scroll bar takes its room, so the list never scrolls sideways.
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return QSize(0, kRowHeight);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem base = option;
        initStyleOption(&base, index);
        base.text.clear();
        base.icon = QIcon();
        base.widget->style()->drawPrimitive(QStyle::PE_PanelItemViewItem, &base, painter,
                                            base.widget);
        const QRect row = option.rect.adjusted(16, 9, -16, -9);
        const QColor secondary = secondaryLabelColor(option.palette);
        const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
        icon.paint(painter, QRect(row.left() + 3, row.center().y() - 8, 16, 16));
        const int textLeft = row.left() + 22 + 12;
        QFont titleFont = option.font;
        QFont captionFont = option.font;
        captionFont.setPointSizeF(option.font.pointSizeF() * 0.85);
        const int titleHeight = QFontMetrics(titleFont).height();
        const QRect titleRect(textLeft, row.top(), row.right() - textLeft, titleHeight);
        const QRect subtitleRect(textLeft, row.top() + titleHeight + 2, titleRect.width(),
                                 QFontMetrics(captionFont).height());
        painter->save();
        painter->setFont(titleFont);
        painter->setPen(option.palette.color(QPalette::Text));
        painter->drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
                          QFontMetrics(titleFont).elidedText(index.data().toString(),
                                                             Qt::ElideRight, titleRect.width()));
        painter->setFont(captionFont);
        painter->setPen(secondary);
        painter->drawText(subtitleRect, Qt::AlignLeft | Qt::AlignVCenter,
                          QFontMetrics(captionFont)
                              .elidedText(index.data(kSubtitleRole).toString(), Qt::ElideMiddle,
                                          subtitleRect.width()));
        painter->restore();
    }
};

} // namespace

QuickOpenPanel::QuickOpenPanel(QWidget* parent) : QDialog(parent) {
    useParentWindowPalette(this);
    setObjectName(QStringLiteral("quickOpenSheet"));
    setWindowTitle(localizedString(QStringLiteral("command.command-palette")));
    setFixedSize(640, 480);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* queryRow = new QHBoxLayout;
    queryRow->setContentsMargins(16, 16, 16, 16);
    queryRow->setSpacing(10);
    auto* symbol = new QLabel(this);
    useSymbol(symbol, QStringLiteral("command"), 18, secondaryLabelColor);
    m_query = new QLineEdit(this);
    m_query->setObjectName(QStringLiteral("quickOpenQuery"));
    m_query->setFrame(false);
    QFont titleFont = m_query->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    m_query->setFont(titleFont);
    m_query->setPlaceholderText(localizedString(QStringLiteral("command.quick-open.placeholder")));
    auto* closeButton = new QToolButton(this);
    closeButton->setObjectName(QStringLiteral("quickOpenClose"));
    closeButton->setAutoRaise(true);
    useSymbol(closeButton, QStringLiteral("xmark"), 16, secondaryLabelColor);
    closeButton->setToolTip(localizedString(QStringLiteral("find.close")));
    closeButton->setAccessibleName(closeButton->toolTip());
    queryRow->addWidget(symbol);
    queryRow->addWidget(m_query, 1);
    queryRow->addWidget(closeButton);
    column->addLayout(queryRow);
    column->addWidget(makeWindowDivider(Qt::Horizontal, this));

    m_content = new QStackedWidget(this);
    m_list = new QListWidget(m_content);
    m_list->setObjectName(QStringLiteral("quickOpenList"));
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setUniformItemSizes(true);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setItemDelegate(new EntryDelegate(m_list));
    m_list->setSpacing(0);
    m_list->setContentsMargins(0, 6, 0, 6);
    m_list->setFocusPolicy(Qt::NoFocus);
    auto* empty = new QWidget(m_content);
    auto* emptyColumn = new QVBoxLayout(empty);
    emptyColumn->addStretch();
    auto* emptySymbol = new QLabel(empty);
    useSymbol(emptySymbol, QStringLiteral("magnifyingglass"), 28, secondaryLabelColor);
    emptySymbol->setAlignment(Qt::AlignCenter);
    auto* emptyText =
        new QLabel(localizedString(QStringLiteral("command.quick-open.no-results")), empty);
    emptyText->setObjectName(QStringLiteral("quickOpenNoResults"));
    emptyText->setAlignment(Qt::AlignCenter);
    useSecondaryTextColor(emptyText);
    emptyColumn->addWidget(emptySymbol);
    emptyColumn->addWidget(emptyText);
    emptyColumn->addStretch();
    m_content->addWidget(m_list);
    m_content->addWidget(empty);
    column->addWidget(m_content, 1);

    connect(m_query, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (queryEdited)
            queryEdited(text);
        // A changed query lists anew from the first row, even when the rows stayed the same.
        if (!m_entries.isEmpty())
            m_list->setCurrentRow(0);
    });
    connect(m_query, &QLineEdit::returnPressed, this, &QuickOpenPanel::submit);
    m_query->installEventFilter(this);
    connect(closeButton, &QToolButton::clicked, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { run(m_list->row(item)); });
}

void QuickOpenPanel::setQuery(const QString& query) {
    if (m_query->text() != query)
        m_query->setText(query);
}

void QuickOpenPanel::setEntries(const QList<QuickOpenEntry>& entries) {
    if (entries == m_entries && m_list->count() == entries.size())
        return;
    m_entries = entries;
    m_list->clear();
    const QColor secondary = secondaryLabelColor(palette());
    for (const QuickOpenEntry& entry : entries) {
        auto* item = new QListWidgetItem(symbolIcon(entry.systemImage, secondary), entry.title);
        item->setData(kSubtitleRole, entry.subtitle);
        item->setToolTip(literalToolTip(entry.subtitle));
        m_list->addItem(item);
    }
    m_content->setCurrentIndex(entries.isEmpty() ? 1 : 0);
    if (!entries.isEmpty())
        m_list->setCurrentRow(0);
}

bool QuickOpenPanel::showsNoResults() const {
    return m_content->currentIndex() == 1;
}

void QuickOpenPanel::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_query->setFocus(Qt::OtherFocusReason);
}

bool QuickOpenPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_query && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
            if (key->key() == Qt::Key_Down) {
                moveHighlight(1);
                return true;
            }
            if (key->key() == Qt::Key_Up) {
                moveHighlight(-1);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void QuickOpenPanel::moveHighlight(int step) {
    if (m_entries.isEmpty())
        return;
    const int row = std::clamp(m_list->currentRow() + step, 0, int(m_entries.size()) - 1);
    m_list->setCurrentRow(row);
    m_list->scrollToItem(m_list->item(row));
}

void QuickOpenPanel::submit() {
    // The row is read when the step runs, after the query's last change has landed.
    QTimer::singleShot(0, this, [this] { run(m_list->currentRow()); });
}

void QuickOpenPanel::run(int row) {
    if (m_ran || !openEntry || row < 0 || row >= m_entries.size())
        return;
    // Closing the palette takes a turn of the event loop; a second Return or click queued
    // meanwhile must not run anything again.
    m_ran = true;
    openEntry(m_entries.at(row));
}

} // namespace dunmoss
