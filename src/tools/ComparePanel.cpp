#include "tools/ComparePanel.h"

#include "editor/IconTable.h"
#include "editor/WindowDivider.h"
#include "platform/Localization.h"
#include "tools/PanelChrome.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include "tools/ValueListModel.h"
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTextOption>
#include <QToolButton>
#include <QVBoxLayout>

namespace dunmoss {

// The rows of the last comparison, one list item each.
class CompareRowsModel : public ValueListModel<TextCompareRow> {
public:
    using ValueListModel::ValueListModel;

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        const TextCompareRow& row = value(index.row());
        return row.leftText.value_or(QString()) + QLatin1Char('\t') +
               row.rightText.value_or(QString());
    }
};

namespace {

struct KindStyle {
    const char* labelKey;
    const char* symbol;
    QColor color;
};

KindStyle kindStyle(TextCompareRow::Kind kind, const QPalette& palette) {
    switch (kind) {
    case TextCompareRow::Kind::Same:
        return {"compare.same", "equal", secondaryLabelColor(palette)};
    case TextCompareRow::Kind::Changed:
        return {"compare.changed", "exclamationmark.triangle", systemOrange()};
    case TextCompareRow::Kind::Added:
        return {"compare.added", "plus.circle", QColor(0x34, 0xa8, 0x53)};
    case TextCompareRow::Kind::Removed:
        return {"compare.removed", "minus.circle", QColor(0xe0, 0x40, 0x3a)};
    }
    return {"compare.same", "equal", secondaryLabelColor(palette)};
}

// One row: the kind and the line numbers, then the two texts in rounded cells of two lines.
class CompareRowDelegate : public QStyledItemDelegate {
public:
    CompareRowDelegate(CompareRowsModel* rows, QObject* parent)
        : QStyledItemDelegate(parent), m_rows(rows) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        const QFontMetrics small(secondCaptionFont(option.font));
        const QFontMetrics mono(monospacedCaptionFont(option.font));
        return {ComparePanel::kWidth, 8 + small.height() + 5 + 2 * mono.lineSpacing() + 12 + 8};
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const TextCompareRow& row = m_rows->value(index.row());
        const KindStyle style = kindStyle(row.kind, option.palette);
        p->save();
        const QRect r = option.rect;
        if (row.kind != TextCompareRow::Kind::Same) {
            QColor tint = style.color;
            tint.setAlphaF(0.08);
            p->fillRect(r, tint);
        }
        const QRect inner = r.adjusted(12, 8, -12, -8);
        QFont label = secondCaptionFont(option.font);
        label.setWeight(QFont::DemiBold);
        const QFontMetrics labelMetrics(label);
        const int lineHeight = labelMetrics.height();
        const int iconSize = lineHeight - 2;
        p->drawPixmap(inner.left(), inner.top() + 1,
                      symbolPixmap(QString::fromLatin1(style.symbol), iconSize, style.color,
                                   p->device()->devicePixelRatioF()));
        p->setFont(label);
        p->setPen(style.color);
        p->drawText(QRect(inner.left() + iconSize + 4, inner.top(), inner.width() / 2, lineHeight),
                    Qt::AlignLeft | Qt::AlignVCenter,
                    localizedString(QString::fromLatin1(style.labelKey)));
        p->setFont(secondCaptionFont(option.font));
        p->setPen(secondaryLabelColor(option.palette));
        p->drawText(QRect(inner.left(), inner.top(), inner.width(), lineHeight),
                    Qt::AlignRight | Qt::AlignVCenter, compareRowLabel(row).value_or(QString()));

        const QFont mono = monospacedCaptionFont(option.font);
        const QFontMetrics monoMetrics(mono);
        const int cellTop = inner.top() + lineHeight + 5;
        const int cellWidth = (inner.width() - 8) / 2;
        const int cellHeight = 2 * monoMetrics.lineSpacing() + 12;
        p->setRenderHint(QPainter::Antialiasing);
        p->setFont(mono);
        const std::optional<QString> texts[] = {row.leftText, row.rightText};
        for (int side = 0; side < 2; ++side) {
            const QRect cell(inner.left() + side * (cellWidth + 8), cellTop, cellWidth, cellHeight);
            QPainterPath path;
            path.addRoundedRect(cell, 6, 6);
            p->fillPath(path, option.palette.color(QPalette::AlternateBase));
            const QString text = texts[side].value_or(QString());
            p->setPen(option.palette.color(QPalette::Text));
            p->save();
            p->setClipRect(cell.adjusted(6, 6, -6, -6));
            QTextOption wrap(Qt::AlignLeft | Qt::AlignTop);
            wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            // Two lines show; a very long line need not be laid out whole.
            p->drawText(QRectF(cell.adjusted(6, 6, -6, -6)),
                        text.isEmpty() ? QStringLiteral(" ") : text.left(400), wrap);
            p->restore();
        }
        p->restore();
    }

private:
    CompareRowsModel* m_rows;
};

QLabel* captionMessage(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(captionFont(parent->font()));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setContentsMargins(12, 12, 12, 12);
    useSecondaryTextColor(label);
    return label;
}

} // namespace

ComparePanel::ComparePanel(EditorWindowModel& model, QWidget* parent)
    : QWidget(parent), m_model(model) {
    setObjectName(QStringLiteral("comparePanel"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    QHBoxLayout* headerRow = nullptr;
    QWidget* header =
        makePanelHeader(QStringLiteral("rectangle.split.3x1"), QStringLiteral("tools.compare-view"),
                        12, 9, this, &headerRow, subheadlineFont(font()));
    headerRow->addStretch(1);
    headerRow->addSpacing(8);
    m_picker = new QComboBox(header);
    m_picker->setMaximumWidth(180);
    m_picker->setAccessibleName(localizedString(QStringLiteral("compare.target")));
    m_picker->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    headerRow->addWidget(m_picker);
    QToolButton* toLeft = makeIconButton(QStringLiteral("arrow.left"),
                                         QStringLiteral("compare.copy-right-to-left"), header);
    QToolButton* toRight = makeIconButton(QStringLiteral("arrow.right"),
                                          QStringLiteral("compare.copy-left-to-right"), header);
    QToolButton* close =
        makeIconButton(QStringLiteral("xmark"), QStringLiteral("find.close"), header);
    headerRow->addWidget(toLeft);
    headerRow->addWidget(toRight);
    headerRow->addWidget(close);
    column->addWidget(header);

    auto* titleBlock = new QWidget(this);
    auto* titles = new QVBoxLayout(titleBlock);
    titles->setContentsMargins(12, 8, 12, 8);
    titles->setSpacing(4);
    m_title = new QLabel(titleBlock);
    // The title names the two documents.
    m_title->setTextFormat(Qt::PlainText);
    QFont titleFont = captionFont(font());
    titleFont.setWeight(QFont::DemiBold);
    m_title->setFont(titleFont);
    m_summary = new QLabel(titleBlock);
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setFont(secondCaptionFont(font()));
    useSecondaryTextColor(m_summary);
    // Long names are cut at the panel's edge rather than widening it past its buttons.
    for (QLabel* label : {m_title, m_summary})
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    titles->addWidget(m_title);
    titles->addWidget(m_summary);
    column->addWidget(titleBlock);
    column->addWidget(makeWindowDivider(Qt::Horizontal, this));

    m_content = new QStackedWidget(this);
    m_message = captionMessage(m_content);
    m_rowsModel = new CompareRowsModel(this);
    m_rows = new QListView(m_content);
    m_rows->setModel(m_rowsModel);
    m_rows->setItemDelegate(new CompareRowDelegate(m_rowsModel, m_rows));
    m_rows->setUniformItemSizes(true);
    m_rows->setFrameShape(QFrame::NoFrame);
    m_rows->setSelectionMode(QAbstractItemView::NoSelection);
    m_rows->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_rows->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_content->addWidget(m_message);
    m_content->addWidget(m_rows);
    column->addWidget(m_content, 1);

    EditorWindowModel* window = &m_model;
    connect(m_picker, &QComboBox::activated, this, [this, window](int index) {
        CompareView(*window).chooseCompareTab(m_picker->itemData(index).toUuid());
    });
    connect(toLeft, &QToolButton::clicked, this,
            [window] { CompareView(*window).copyCompareToBase(); });
    connect(toRight, &QToolButton::clicked, this,
            [window] { CompareView(*window).copyBaseToCompare(); });
    connect(close, &QToolButton::clicked, this,
            [window] { CompareView(*window).closeCompareView(); });
    refreshAfterModelChanges(model, this, [this] { refresh(); });
    refresh();
}

void ComparePanel::refresh() {
    const EditorWindowState& state = m_model.state();
    const std::optional<int> right = compareTabIndex(state);
    if (!right) {
        // A panel shown again starts from nothing.
        m_cache.clear();
        m_rowsModel->setValues({});
        return;
    }
    const EditorTab& base = activeTab(state);
    const EditorTab& other = state.tabs.at(*right);
    m_pickerEntries.update(m_picker, state.tabs, other.id);
    m_title->setText(localizedString(QStringLiteral("compare.title.format"))
                         .arg(displayTitle(base), displayTitle(other)));
    const bool recomputed = m_cache.refresh(base.document.text, other.document.text);
    const TextCompareResult& result = *m_cache.result();
    m_summary->setVisible(bool(result.rows));
    if (!result.rows) {
        m_message->setText(localizedString(QStringLiteral("compare.too-large.format"))
                               .arg(result.leftLineCount)
                               .arg(result.rightLineCount)
                               .arg(kCompareLineLimit));
        m_content->setCurrentWidget(m_message);
        return;
    }
    const auto counts = compareKindCounts(result.rows);
    m_summary->setText(localizedString(QStringLiteral("compare.summary.format"))
                           .arg(counts[0])
                           .arg(counts[1])
                           .arg(counts[2])
                           .arg(counts[3]));
    if (result.rows->isEmpty()) {
        m_message->setText(localizedString(QStringLiteral("compare.empty")));
        m_content->setCurrentWidget(m_message);
        return;
    }
    if (recomputed)
        m_rowsModel->setValues(*result.rows);
    m_content->setCurrentWidget(m_rows);
}

} // namespace dunmoss
