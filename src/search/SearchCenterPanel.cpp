#include "search/SearchCenterPanel.h"

#include "editor/IconTable.h"
#include "editor/PaletteFollowing.h"
#include "editor/WindowDivider.h"
#include "platform/Localization.h"
#include "platform/MainThreadMailbox.h"
#include "platform/ReleaseAside.h"
#include "search/SearchCenterResults.h"
#include "search/SearchCenterRows.h"
#include "search/SearchCenterRunStore.h"
#include "search/SearchPanelParts.h"
#include "search/SearchResultListModel.h"
#include "window/EditorWindowState.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScopeGuard>
#include <QStackedWidget>
#include <QThreadPool>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace dunmoss {

namespace {

QString l(const char* key) {
    return localizedString(QString::fromLatin1(key));
}

QHBoxLayout* row(int spacing) {
    auto* layout = new QHBoxLayout;
    layout->setContentsMargins(12, 7, 12, 7);
    layout->setSpacing(spacing);
    return layout;
}

// The room the results fill: in a low window it gives up rows down to the shortest list before
// its panel has to give way.
class ResultArea : public QStackedWidget {
public:
    using QStackedWidget::QStackedWidget;
    void setHeights(int least, int preferred) {
        m_preferred = preferred;
        setMinimumHeight(least);
        setMaximumHeight(preferred);
        updateGeometry();
    }
    QSize sizeHint() const override { return {QStackedWidget::sizeHint().width(), m_preferred}; }

private:
    int m_preferred = 0;
};

} // namespace

int searchCenterListHeight(qsizetype rows) {
    const qsizetype height = std::max<qsizetype>(rows, 1) * kSearchResultRowHeight;
    return static_cast<int>(
        std::clamp<qsizetype>(height, kSearchCenterLeastRoom, kSearchCenterResultRoom));
}

SearchCenterPanel::SearchCenterPanel(SearchCenterPanelActions actions, QWidget* parent)
    : QWidget(parent), m_actions(std::move(actions)), m_mailbox(MainThreadMailbox::make(this)) {
    QVBoxLayout* column = makeBarPanelColumn(this, QStringLiteral("searchCenterPanel"));

    // Header row.
    QHBoxLayout* header = row(10);
    header->addWidget(symbolLabel(QStringLiteral("magnifyingglass.circle"), this));
    auto* title = new QLabel(l("search-center.title"), this);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(std::max<qreal>(titleFont.pointSizeF() - 2.0, 7.0));
    titleFont.setWeight(QFont::DemiBold);
    title->setFont(titleFont);
    header->addWidget(title);

    // The scopes and the run picker take their full widths where the row has room and give way
    // down to what their texts need in a narrow window.
    auto* segments = new QWidget(this);
    segments->setObjectName(QStringLiteral("searchCenterScopes"));
    segments->setMaximumWidth(430);
    segments->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* segmentRow = new QHBoxLayout(segments);
    segmentRow->setContentsMargins(0, 0, 0, 0);
    segmentRow->setSpacing(0);
    m_scopes = new QButtonGroup(this);
    m_scopes->setExclusive(true);
    for (SearchCenterScope scope : kAllSearchCenterScopes) {
        auto* button = new QToolButton(segments);
        button->setCheckable(true);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        button->setText(localizedString(searchCenterScopeDisplayKey(scope)));
        useSymbol(button, searchCenterScopeSymbolName(scope), 16, buttonLabelColor);
        segmentRow->addWidget(button);
        m_scopes->addButton(button, static_cast<int>(scope));
    }
    connect(m_scopes, &QButtonGroup::idClicked, this, [this](int id) {
        if (!m_updating && m_actions.selectScope)
            m_actions.selectScope(static_cast<SearchCenterScope>(id));
    });
    header->addWidget(segments, 430);

    m_runPicker = new QComboBox(this);
    m_runPicker->setObjectName(QStringLiteral("searchCenterRunPicker"));
    m_runPicker->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_runPicker->setMinimumContentsLength(12);
    m_runPicker->setMaximumWidth(250);
    m_runPicker->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(m_runPicker, &QComboBox::activated, this, [this](int index) {
        if (m_updating || !m_actions.selectRun)
            return;
        const QString id = m_runPicker->itemData(index).toString();
        m_actions.selectRun(id.isEmpty() ? std::nullopt : std::optional<QUuid>(QUuid(id)));
    });
    header->addWidget(m_runPicker, 250);

    m_delete = new QToolButton(this);
    m_delete->setAutoRaise(true);
    useSymbol(m_delete, QStringLiteral("trash"), 16, secondaryLabelColor);
    m_delete->setToolTip(l("search-center.delete-run"));
    m_delete->setAccessibleName(l("search-center.delete-run"));
    connect(m_delete, &QToolButton::clicked, this, [this] {
        if (m_selectedRun && m_actions.deleteRun)
            m_actions.deleteRun(*m_selectedRun);
    });
    header->addWidget(m_delete);
    header->addSpacing(8);
    header->addStretch(1);

    m_copy = new QPushButton(l("search-center.copy-results"), this);
    useSymbol(m_copy, QStringLiteral("doc.on.doc"), 16, buttonLabelColor);
    connect(m_copy, &QPushButton::clicked, this, [this] {
        if (m_actions.copyResults)
            m_actions.copyResults(m_filtered);
    });
    header->addWidget(m_copy);
    QToolButton* close = makeCloseSymbolButton(l("find.close"), this);
    connect(close, &QToolButton::clicked, this, [this] {
        if (m_actions.close)
            m_actions.close();
    });
    header->addWidget(close);
    column->addLayout(header);
    column->addWidget(makeWindowDivider(Qt::Horizontal, this));

    // Filter row.
    QHBoxLayout* filterRow = row(8);
    filterRow->addWidget(symbolLabel(QStringLiteral("line.3.horizontal.decrease.circle"), this));
    m_filter = new QLineEdit(this);
    m_filter->setPlaceholderText(l("search-center.filter.placeholder"));
    m_filter->setMinimumWidth(190);
    m_filter->setClearButtonEnabled(true);
    connect(m_filter, &QLineEdit::textChanged, this, [this] { rebuild(); });
    filterRow->addWidget(m_filter, 0);
    m_visibleCount = captionLabel(this);
    m_scopeSummary = captionLabel(this);
    filterRow->addWidget(m_visibleCount);
    filterRow->addWidget(m_scopeSummary);
    filterRow->addStretch(1);
    column->addLayout(filterRow);
    column->addWidget(makeWindowDivider(Qt::Horizontal, this));

    // Content.
    m_content = new ResultArea(this);
    m_empty = captionLabel(m_content);
    m_empty->setContentsMargins(12, 14, 12, 14);
    m_empty->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_list = makeSearchResultList(QStringLiteral("searchCenterResults"), m_content, &m_model);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    const auto open = [this](const QModelIndex& index) {
        const qsizetype source = index.data(SearchResultListModel::SourceIndexRole).toLongLong();
        if (source >= 0 && source < m_rowsOf.size() && m_actions.openResult)
            m_actions.openResult(m_rowsOf.at(source));
    };
    connect(m_list, &QListView::clicked, this, open);
    connect(m_list, &QListView::activated, this, open);
    m_content->addWidget(m_empty);
    m_content->addWidget(m_list);
    // The results fill a room of their own, as tall for none as for thousands: a list that grew
    // and shrank with its rows moved the panels below it under the pointer.
    static_cast<ResultArea*>(m_content)->setHeights(kSearchCenterLeastRoom,
                                                    kSearchCenterResultRoom);
    column->addWidget(m_content);
    rebuild();
}

QToolButton* SearchCenterPanel::scopeButton(SearchCenterScope scope) const {
    return qobject_cast<QToolButton*>(m_scopes->button(static_cast<int>(scope)));
}

SearchCenterPanel::~SearchCenterPanel() {
    m_mailbox->close();
}

void SearchCenterPanel::refresh(const SearchCenterState& state) {
    m_updating = true;
    m_scope = state.searchCenterScope;
    if (QAbstractButton* button = m_scopes->button(static_cast<int>(m_scope)))
        button->setChecked(true);

    // A selected identifier that names no run shows the live list.
    const SearchCenterRun* selected = nullptr;
    if (state.selectedSearchRunID)
        for (const SearchCenterRun& run : state.searchCenterRuns)
            if (run.id == *state.selectedSearchRunID) {
                selected = &run;
                break;
            }
    m_selectedRun = state.selectedSearchRunID;

    QStringList titles{l("search-center.current-run")};
    QStringList ids{QString()};
    for (const SearchCenterRun& run : state.searchCenterRuns) {
        titles << searchCenterRunTitle(run);
        ids << run.id.toString(QUuid::WithoutBraces);
    }
    bool same = m_runPicker->count() == titles.size();
    for (int i = 0; same && i < titles.size(); ++i)
        same = m_runPicker->itemText(i) == titles.at(i) &&
               m_runPicker->itemData(i).toString() == ids.at(i);
    if (!same) {
        m_runPicker->clear();
        for (int i = 0; i < titles.size(); ++i)
            m_runPicker->addItem(titles.at(i), ids.at(i));
    }
    const int pickerIndex =
        selected ? static_cast<int>(ids.indexOf(selected->id.toString(QUuid::WithoutBraces))) : 0;
    m_runPicker->setCurrentIndex(std::max(pickerIndex, 0));
    m_delete->setEnabled(state.selectedSearchRunID.has_value());

    const QList<SearchCenterResult>& live =
        m_scope == SearchCenterScope::OpenDocuments ? state.searchCenterOpenDocumentResults
        : m_scope == SearchCenterScope::Folder      ? state.searchCenterFolderResults
                                                    : state.searchCenterDocumentResults;
    const QList<SearchCenterResult>& displayed = selected ? selected->results : live;
    // Most window changes (a keystroke, a selection) leave the shown list as it was: the
    // same shared list needs no new rows, however many results it holds.
    // A recorded run, or a live list once its scope was searched, found what it shows.
    const bool searched = selected || state.searchedScopes.contains(m_scope);
    const bool sameList = displayed.constData() == m_displayed.constData() &&
                          displayed.size() == m_displayed.size() && m_scope == m_rowsScope &&
                          searched == m_searched;
    m_searched = searched;
    QList<SearchCenterResult> previous = std::exchange(m_displayed, displayed);
    m_scopeSummary->setText(l("search-center.scope-summary.format")
                                .arg(state.searchCenterDocumentResults.size())
                                .arg(state.searchCenterOpenDocumentResults.size())
                                .arg(state.searchCenterFolderResults.size()));
    m_updating = false;
    if (!sameList || !m_built)
        rebuild(std::move(previous));
}

void SearchCenterPanel::rebuild(QList<SearchCenterResult> previousDisplayed) {
    m_filterRequests.next();
    if (m_displayed.size() > kImmediateFilterLimit && !m_filter->text().trimmed().isEmpty()) {
        filterAside(std::move(previousDisplayed));
        return;
    }
    Retired retired;
    retired.displayed = std::move(previousDisplayed);
    show(filterSearchCenterResults(m_displayed, m_filter->text()), std::move(retired));
}

void SearchCenterPanel::filterAside(QList<SearchCenterResult> previousDisplayed) {
    QThreadPool::globalInstance()->start([mailbox = m_mailbox, ticket = m_filterRequests.latest(),
                                          displayed = m_displayed, filter = m_filter->text(),
                                          previous = std::move(previousDisplayed), this]() mutable {
        QList<SearchCenterResult> filtered = filterSearchCenterResults(displayed, filter);
        // A panel that is gone lets the lists go here, off the main thread.
        mailbox->post([this, ticket, filtered = std::move(filtered),
                       previous = std::move(previous)]() mutable {
            Retired retired;
            retired.displayed = std::move(previous);
            if (!m_filterRequests.isLatest(ticket)) {
                retired.filtered = std::move(filtered);
                releaseAside(std::move(retired));
                return;
            }
            show(std::move(filtered), std::move(retired));
        });
    });
}

void SearchCenterPanel::show(QList<SearchCenterResult> filtered, Retired retired) {
    const bool sameScope = m_built && m_rowsScope == m_scope;
    m_built = true;
    m_rowsScope = m_scope;
    // What was shown is let go of aside once the new rows are in.
    retired.filtered = std::exchange(m_filtered, std::move(filtered));
    const auto releaseRetired = qScopeGuard([&] { releaseAside(std::move(retired)); });
    // A filter that keeps every result a filter before kept too (typing on after "w" that
    // matches all of them) shares the very list the rows were made of: those rows, and where
    // the list was scrolled to, stay.
    if (sameScope && !m_filtered.isEmpty() &&
        m_filtered.constData() == retired.filtered.constData() &&
        m_filtered.size() == retired.filtered.size() && m_displayedCount == m_displayed.size() &&
        m_model->rowCount() > 0)
        return;
    m_displayedCount = m_displayed.size();
    m_visibleCount->setText(
        l("search-center.visible-results.format").arg(m_filtered.size()).arg(m_displayed.size()));
    m_copy->setEnabled(!m_filtered.isEmpty());

    if (m_displayed.isEmpty() || m_filtered.isEmpty()) {
        m_empty->setText(!m_displayed.isEmpty() ? l("search-center.no-filtered-results")
                         : m_searched           ? l("search-center.none-found")
                                                : l("search-center.empty"));
        m_content->setCurrentWidget(m_empty);
        m_rowsRequests.next();
        retired.rows = m_model->setRowSource(nullptr);
        releaseAside(std::exchange(m_rowsOf, {}));
        return;
    }
    // The groups in order of first appearance (as groupSearchCenterResults gives them), each
    // result row leading back to its place in the filtered list. Tens of thousands of hits are
    // grouped without copying them, and a row's texts are made when it is shown.
    const QString symbol =
        m_scope == SearchCenterScope::Folder ? QStringLiteral("doc.text") : QStringLiteral("doc");
    m_model->setPositionFormat(l("find.result-line.format"));
    const QString countFormat = l("search-center.group-count.format");
    const quint64 ticket = m_rowsRequests.next();
    if (m_filtered.size() > kImmediateFilterLimit) {
        QThreadPool::globalInstance()->start([mailbox = m_mailbox, ticket, results = m_filtered,
                                              symbol, countFormat, this]() mutable {
            std::shared_ptr<const SearchResultRows> rows =
                std::make_shared<SearchCenterRows>(results, symbol, countFormat);
            mailbox->post(
                [this, ticket, results = std::move(results), rows = std::move(rows)]() mutable {
                    if (m_rowsRequests.isLatest(ticket))
                        showRows(std::move(results), std::move(rows));
                    else
                        releaseAside(std::make_pair(std::move(results), std::move(rows)));
                });
        });
        return;
    }
    showRows(m_filtered, std::make_shared<SearchCenterRows>(m_filtered, symbol, countFormat));
}

void SearchCenterPanel::showRows(QList<SearchCenterResult> results,
                                 std::shared_ptr<const SearchResultRows> rows) {
    Retired retired;
    retired.rows = m_model->setRowSource(std::move(rows));
    retired.filtered = std::exchange(m_rowsOf, std::move(results));
    releaseAside(std::move(retired));
    m_content->setCurrentWidget(m_list);
}

void SearchCenterPanel::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // The filter belongs to one showing of the panel.
    if (!event->spontaneous() && !m_filter->text().isEmpty())
        m_filter->clear();
}

} // namespace dunmoss
