#include "tools/DocumentOutlinePanel.h"

#include "editor/IconTable.h"
#include "platform/Localization.h"
#include "tools/OutlineNavigation.h"
#include "tools/PanelChrome.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include "tools/ValueListModel.h"
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPromise>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QThreadPool>
#include <QToolButton>
#include <QVBoxLayout>
#include <memory>

namespace dunmoss {

class OutlineItemsModel : public ValueListModel<DocumentOutlineItem> {
public:
    using ValueListModel::ValueListModel;

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid())
            return {};
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
            return value(index.row()).title;
        if (role == Qt::ToolTipRole)
            return outlineItemDetailLine(value(index.row()));
        return {};
    }
};

namespace {

// A row: the title (semibold) over the detail line (secondary), each on one line.
class OutlineRowDelegate : public QStyledItemDelegate {
public:
    OutlineRowDelegate(OutlineItemsModel* items, QObject* parent)
        : QStyledItemDelegate(parent), m_items(items) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return {DocumentOutlinePanel::kWidth,
                7 + QFontMetrics(title(option.font)).height() + 3 +
                    QFontMetrics(secondCaptionFont(option.font)).height() + 7};
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const DocumentOutlineItem& item = m_items->value(index.row());
        p->save();
        if (option.state & QStyle::State_MouseOver)
            p->fillRect(option.rect, option.palette.color(QPalette::AlternateBase));
        const QRect inner = option.rect.adjusted(14, 7, -14, -7);
        const QFont titleFont = title(option.font);
        const QFontMetrics titleMetrics(titleFont);
        p->setFont(titleFont);
        p->setPen(option.palette.color(QPalette::Text));
        p->drawText(QRect(inner.left(), inner.top(), inner.width(), titleMetrics.height()),
                    Qt::AlignLeft | Qt::AlignVCenter,
                    titleMetrics.elidedText(item.title, Qt::ElideRight, inner.width()));
        const QFont detailFont = secondCaptionFont(option.font);
        const QFontMetrics detailMetrics(detailFont);
        p->setFont(detailFont);
        p->setPen(secondaryLabelColor(option.palette));
        p->drawText(
            QRect(inner.left(), inner.top() + titleMetrics.height() + 3, inner.width(),
                  detailMetrics.height()),
            Qt::AlignLeft | Qt::AlignVCenter,
            detailMetrics.elidedText(outlineItemDetailLine(item), Qt::ElideRight, inner.width()));
        p->restore();
    }

private:
    static QFont title(const QFont& base) {
        QFont font = captionFont(base);
        font.setWeight(QFont::DemiBold);
        return font;
    }
    OutlineItemsModel* m_items;
};

} // namespace

DocumentOutlinePanel::DocumentOutlinePanel(EditorWindowModel& model, QWidget* parent)
    : QWidget(parent), m_model(model) {
    setObjectName(QStringLiteral("documentOutlinePanel"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    QHBoxLayout* headerRow = nullptr;
    column->addWidget(makePanelHeader(QStringLiteral("list.bullet.indent"),
                                      QStringLiteral("tools.document-outline"), 14, 10, this,
                                      &headerRow, subheadlineFont(font())));
    headerRow->addStretch(1);
    QToolButton* close =
        makeIconButton(QStringLiteral("xmark"), QStringLiteral("find.close"), this);
    headerRow->addWidget(close);

    m_content = new QStackedWidget(this);
    m_empty = new QLabel(localizedString(QStringLiteral("outline.empty")), m_content);
    m_empty->setFont(captionFont(font()));
    m_empty->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_empty->setContentsMargins(14, 14, 14, 14);
    useSecondaryTextColor(m_empty);
    m_itemsModel = new OutlineItemsModel(this);
    m_list = new QListView(m_content);
    m_list->setModel(m_itemsModel);
    m_list->setItemDelegate(new OutlineRowDelegate(m_itemsModel, m_list));
    m_list->setUniformItemSizes(true);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setMouseTracking(true);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    // A click on a row moves the caret; the keyboard stays in the text.
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_content->addWidget(m_empty);
    m_content->addWidget(m_list);
    column->addWidget(m_content, 1);

    EditorWindowModel* window = &m_model;
    connect(m_list, &QListView::clicked, this,
            [this](const QModelIndex& index) { openRow(index.row()); });
    connect(close, &QToolButton::clicked, this,
            [window] { OutlineNavigation(*window).closeDocumentOutline(); });
    m_pause.setSingleShot(true);
    connect(&m_pause, &QTimer::timeout, this, &DocumentOutlinePanel::refresh);
    connect(&model, &EditorWindowModel::changed, this, &DocumentOutlinePanel::schedule);
    refresh();
}

void DocumentOutlinePanel::openRow(int row) {
    if (row >= 0 && row < m_items.size())
        OutlineNavigation(m_model).openOutlineItem(m_items.at(row));
}

void DocumentOutlinePanel::schedule() {
    if (!m_model.state().panels.showDocumentOutline)
        return;
    const EditorTab& tab = activeTab(m_model.state());
    if (m_hasText && tab.document.text.isSharedWith(m_text) && effectiveLanguage(tab) == m_language)
        return;
    m_pause.start(tab.document.text.size() > kImmediateLimit ? kPauseMilliseconds : 0);
}

void DocumentOutlinePanel::refresh() {
    m_pause.stop();
    if (!m_model.state().panels.showDocumentOutline)
        return;
    const EditorTab& tab = activeTab(m_model.state());
    const EditorLanguage language = effectiveLanguage(tab);
    if (m_hasText && tab.document.text == m_text && language == m_language)
        return;
    m_text = tab.document.text;
    m_language = language;
    m_hasText = true;
    const quint64 generation = m_requests.next();
    if (m_text.size() <= kImmediateLimit || m_text.size() > kOutlineTextLimit) {
        showItems(activeOutlineItems(m_model.state(), m_model.seams().extractOutline));
        return;
    }
    // A large text is outlined off the main thread; the items shown stay until the new ones
    // arrive, and a result overtaken by a later edit is dropped.
    const auto extract = m_model.seams().extractOutline;
    if (!extract) {
        showItems({});
        return;
    }
    auto promise = std::make_shared<QPromise<QList<DocumentOutlineItem>>>();
    auto* watcher = new QFutureWatcher<QList<DocumentOutlineItem>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (m_requests.isLatest(generation) && watcher->future().resultCount() > 0)
            showItems(watcher->future().result());
    });
    watcher->setFuture(promise->future());
    promise->start();
    QThreadPool::globalInstance()->start([promise, extract, text = m_text, language] {
        promise->addResult(extract(text, language));
        promise->finish();
    });
}

void DocumentOutlinePanel::showItems(const QList<DocumentOutlineItem>& items) {
    m_items = items;
    m_itemsModel->setValues(m_items);
    m_content->setCurrentWidget(m_items.isEmpty() ? static_cast<QWidget*>(m_empty) : m_list);
}

} // namespace dunmoss
