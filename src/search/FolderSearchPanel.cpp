#include "search/FolderSearchPanel.h"

#include "editor/ElidedLabel.h"
#include "editor/IconTable.h"
#include "editor/LiteralText.h"
#include "editor/WindowDivider.h"
#include "platform/Localization.h"
#include "search/SearchCenterResults.h"
#include "search/SearchPanelParts.h"
#include "search/SearchResultListModel.h"
#include "text/FolderSearch.h"
#include "window/EditorWindowState.h"
#include "window/WindowLayoutRows.h"

#include <QCheckBox>
#include <QDynamicPropertyChangeEvent>
#include <QHBoxLayout>
#include <QHash>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace dunmoss {

namespace {

QString l(const char* key) {
    return localizedString(QString::fromLatin1(key));
}

QLineEdit* field(const QString& placeholderKey, int minimum, int ideal, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setPlaceholderText(localizedString(placeholderKey));
    edit->setMinimumWidth(minimum);
    edit->setMaximumWidth(ideal * 2);
    edit->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    edit->resize(ideal, edit->sizeHint().height());
    return edit;
}

// Writes the text only when it differs, so refreshing never moves a caret being typed with.
void setTextKeepingCaret(QLineEdit* edit, const QString& text) {
    if (edit->text() != text)
        edit->setText(text);
}

QHBoxLayout* hbox(int spacing, int horizontal, int vertical) {
    auto* layout = new QHBoxLayout;
    layout->setContentsMargins(horizontal, vertical, horizontal, vertical);
    layout->setSpacing(spacing);
    return layout;
}

} // namespace

int folderSearchResultListHeight(qsizetype rows) {
    const qsizetype height = std::max<qsizetype>(rows, 1) * kSearchResultRowHeight;
    return static_cast<int>(std::min<qsizetype>(height, kFolderSearchResultRoom));
}

FolderSearchPanel::FolderSearchPanel(FolderSearchPanelActions actions, QWidget* parent)
    : QWidget(parent), m_actions(std::move(actions)) {
    QVBoxLayout* column = makeBarPanelColumn(this, QStringLiteral("folderSearchPanel"));

    auto* controls = new QVBoxLayout;
    controls->setContentsMargins(12, 8, 12, 8);
    controls->setSpacing(6);

    // First row: query, replacement, folder and the actions.
    QHBoxLayout* first = hbox(8, 0, 0);
    first->addWidget(symbolLabel(QStringLiteral("folder"), this));
    m_query = field(QStringLiteral("folder-search.query.placeholder"), 180, 260, this);
    m_query->setObjectName(QStringLiteral("folderSearchQuery"));
    m_replacement = field(QStringLiteral("folder-search.replace.placeholder"), 140, 200, this);
    first->addWidget(m_query, 26);
    first->addWidget(m_replacement, 20);
    m_chooseFolder = new QPushButton(l("folder-search.choose-folder"), this);
    m_search = new QPushButton(l("folder-search.search"), this);
    m_search->setToolTip(
        QKeySequence(Qt::CTRL | Qt::Key_Return).toString(QKeySequence::NativeText));
    m_replaceAll = new QPushButton(l("folder-search.replace-all"), this);
    m_restore = new QPushButton(l("folder-search.restore-backup"), this);
    for (QPushButton* button : {m_chooseFolder, m_search, m_replaceAll, m_restore}) {
        button->setAutoDefault(false);
        // A click leaves the keyboard where it was, so it is there again after the dialogs
        // and the disabled buttons of the operation; Tab still reaches them.
        button->setFocusPolicy(Qt::TabFocus);
        first->addWidget(button);
    }
    first->addSpacing(8);
    first->addStretch(1);
    m_close = makeCloseSymbolButton(l("find.close"), this);
    first->addWidget(m_close);
    controls->addLayout(first);

    // Second row: patterns, options, folder name and status.
    QHBoxLayout* second = hbox(8, 0, 0);
    m_include = field(QStringLiteral("folder-search.include.placeholder"), 160, 220, this);
    m_exclude = field(QStringLiteral("folder-search.exclude.placeholder"), 160, 220, this);
    // The patterns keep their width whatever the folder's name and the status say, so the
    // options beside them never move under the pointer; the status takes the rest.
    second->addWidget(m_include);
    second->addWidget(m_exclude);
    auto* options = hbox(10, 0, 0);
    m_regex = new QCheckBox(l("find.regex"), this);
    m_caseSensitive = new QCheckBox(l("find.case-sensitive"), this);
    m_wholeWord = new QCheckBox(l("find.whole-word"), this);
    for (QCheckBox* box : {m_regex, m_caseSensitive, m_wholeWord}) {
        box->setFont(searchCaptionFont(box->font()));
        options->addWidget(box);
        connect(box, &QCheckBox::toggled, this, [this] { emitOptions(); });
    }
    second->addLayout(options);
    auto* divider = makeWindowDivider(Qt::Vertical, this);
    divider->setFixedHeight(18);
    second->addWidget(divider);
    m_folderName = captionLabel(this);
    second->addWidget(m_folderName);
    // A long status (a backup path) ends in an ellipsis rather than squeezing the fields; the
    // tooltip holds all of it.
    m_status = new ElidedLabel(this);
    m_status->setObjectName(QStringLiteral("folderSearchStatus"));
    m_status->setFont(searchCaptionFont(m_status->font()));
    m_status->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    useSecondaryTextColor(m_status);
    second->addWidget(m_status, 2);
    controls->addLayout(second);
    column->addLayout(controls);

    // The results block: divider, filter row, divider, list.
    m_results = new QWidget(this);
    auto* results = new QVBoxLayout(m_results);
    results->setContentsMargins(0, 0, 0, 0);
    results->setSpacing(0);
    results->addWidget(makeWindowDivider(Qt::Horizontal, m_results));
    QHBoxLayout* filterRow = hbox(8, 12, 7);
    filterRow->addWidget(symbolLabel(QStringLiteral("magnifyingglass"), m_results));
    m_filter =
        field(QStringLiteral("folder-search.result-filter.placeholder"), 180, 260, m_results);
    m_filter->setClearButtonEnabled(true);
    filterRow->addWidget(m_filter);
    m_visibleCount = captionLabel(m_results);
    filterRow->addWidget(m_visibleCount);
    filterRow->addStretch(1);
    results->addLayout(filterRow);
    results->addWidget(makeWindowDivider(Qt::Horizontal, m_results));
    m_noFiltered = captionLabel(m_results);
    m_noFiltered->setText(l("folder-search.no-filtered-results"));
    m_noFiltered->setContentsMargins(12, 12, 12, 12);
    m_noFiltered->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The hits fill a room of their own below the filter, as tall for one as for many or none
    // left by the filter, so nothing else in the window moves as they come and go.
    m_room = new QStackedWidget(m_results);
    m_room->setFixedHeight(kFolderSearchResultRoom);
    m_room->addWidget(m_noFiltered);
    m_list = makeSearchResultList(QStringLiteral("folderSearchResults"), m_room, &m_model);
    m_room->addWidget(m_list);
    results->addWidget(m_room);
    column->addWidget(m_results);

    const auto call = [](const std::function<void()>& action) {
        if (action)
            action();
    };
    const auto text = [this](const std::function<void(const QString&)>& action) {
        return [this, action](const QString& value) {
            if (!m_updating && action)
                action(value);
        };
    };
    connect(m_query, &QLineEdit::textEdited, this, text(m_actions.setQuery));
    connect(m_replacement, &QLineEdit::textEdited, this, text(m_actions.setReplacement));
    connect(m_include, &QLineEdit::textEdited, this, text(m_actions.setIncludePattern));
    connect(m_exclude, &QLineEdit::textEdited, this, text(m_actions.setExcludePattern));
    // Return in the query field searches even while the buttons are disabled.
    connect(m_query, &QLineEdit::returnPressed, this, [this, call] { call(m_actions.search); });
    connect(m_chooseFolder, &QPushButton::clicked, this,
            [this, call] { call(m_actions.chooseFolder); });
    connect(m_search, &QPushButton::clicked, this, [this, call] { call(m_actions.search); });
    connect(m_replaceAll, &QPushButton::clicked, this,
            [this, call] { call(m_actions.replaceAll); });
    connect(m_restore, &QPushButton::clicked, this,
            [this, call] { call(m_actions.restoreBackup); });
    connect(m_close, &QToolButton::clicked, this, [this, call] { call(m_actions.close); });
    for (QKeySequence key :
         {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, call] {
            if (!m_running)
                call(m_actions.search);
        });
    }
    connect(m_filter, &QLineEdit::textChanged, this, [this] { rebuild(); });
    const auto open = [this](const QModelIndex& index) {
        const qsizetype source = index.data(SearchResultListModel::SourceIndexRole).toLongLong();
        if (source >= 0 && source < m_filtered.size() && m_actions.openResult)
            m_actions.openResult(m_filtered.at(source));
    };
    connect(m_list, &QListView::clicked, this, open);
    connect(m_list, &QListView::activated, this, open);
    rebuild();
}

void FolderSearchPanel::emitOptions() {
    if (m_updating || !m_actions.setTextOptions)
        return;
    TextSearchOptions options;
    options.isRegex = m_regex->isChecked();
    options.isCaseSensitive = m_caseSensitive->isChecked();
    options.isWholeWord = m_wholeWord->isChecked();
    m_actions.setTextOptions(options);
}

void FolderSearchPanel::refresh(const FolderSearchState& state) {
    m_updating = true;
    setTextKeepingCaret(m_query, state.folderSearchQuery);
    setTextKeepingCaret(m_replacement, state.folderSearchReplaceText);
    setTextKeepingCaret(m_include, state.folderSearchIncludePattern);
    setTextKeepingCaret(m_exclude, state.folderSearchExcludePattern);
    m_regex->setChecked(state.folderSearchTextOptions.isRegex);
    m_caseSensitive->setChecked(state.folderSearchTextOptions.isCaseSensitive);
    m_wholeWord->setChecked(state.folderSearchTextOptions.isWholeWord);
    m_running = state.isFolderSearchRunning;
    for (QPushButton* button : {m_search, m_replaceAll, m_restore}) {
        // Disabled, a button reached with Tab would hand the keyboard on to the Include field.
        if (m_running && button->hasFocus())
            m_query->setFocus(Qt::OtherFocusReason);
        button->setEnabled(!m_running);
    }
    m_folderName->setText(state.folderSearchURL
                              ? state.folderSearchURL->adjusted(QUrl::StripTrailingSlash).fileName()
                              : l("folder-search.no-folder"));
    m_status->setText(state.folderSearchMessage);
    m_status->setToolTip(literalToolTip(state.folderSearchMessage));
    m_updating = false;

    // Most changes (a keystroke in a field) leave the hits and the folder as they were.
    const bool same = state.folderSearchResults.constData() == m_all.constData() &&
                      state.folderSearchResults.size() == m_all.size() &&
                      state.folderSearchURL == m_folder;
    m_all = state.folderSearchResults;
    m_folder = state.folderSearchURL;
    if (!same)
        rebuild();
    placeResults();
}

void FolderSearchPanel::placeResults() {
    const QVariant inline_ = property(kShowsInlineResultsProperty);
    const bool shown = (!inline_.isValid() || inline_.toBool()) && !m_all.isEmpty();
    if (m_results->isHidden() != shown)
        return;
    m_results->setVisible(shown);
    // The window measures the panel in this turn, so the size it asks for must be new already.
    updateGeometry();
}

bool FolderSearchPanel::event(QEvent* event) {
    // The window measures the panel as soon as it says where the results are listed.
    if (event->type() == QEvent::DynamicPropertyChange &&
        static_cast<QDynamicPropertyChangeEvent*>(event)->propertyName() ==
            kShowsInlineResultsProperty)
        placeResults();
    return QWidget::event(event);
}

void FolderSearchPanel::rebuild() {
    m_filtered = filterFolderSearchResults(m_all, m_filter->text());
    const QList<FolderSearchResultGroup> groups = groupFolderSearchResults(m_filtered);
    m_visibleCount->setText(
        l("folder-search.visible-results.format").arg(m_filtered.size()).arg(m_all.size()));

    QList<SearchResultRow> rows;
    rows.reserve(m_filtered.size() + groups.size());
    const QString positionFormat = l("find.result-line.format");
    // Each row keeps its hit's place in the filtered list, so a click leads back to it.
    QHash<QUuid, qsizetype> places;
    for (qsizetype i = 0; i < m_filtered.size(); ++i)
        places.insert(m_filtered.at(i).id, i);
    for (const FolderSearchResultGroup& group : groups) {
        const QString title =
            m_folder ? relativeDisplayPath(group.url, *m_folder) : group.url.fileName();
        rows.append({SearchResultRow::Kind::Group, title, QString(),
                     localizedCount(group.results.size(), kCountedMatches),
                     QStringLiteral("doc.text"), -1});
        for (const FolderSearchResult& result : group.results)
            rows.append({SearchResultRow::Kind::Result,
                         positionFormat.arg(result.line).arg(result.column), QString(),
                         result.preview, QString(), places.value(result.id, -1)});
    }
    m_model->setRows(std::move(rows));
    m_room->setCurrentWidget(m_filtered.isEmpty() ? static_cast<QWidget*>(m_noFiltered) : m_list);
}

void FolderSearchPanel::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // The filter belongs to one showing of the panel.
    if (!event->spontaneous() && !m_filter->text().isEmpty())
        m_filter->clear();
}

} // namespace dunmoss
