#include "chrome/FindPanels.h"

#include "chrome/WindowLayout.h"
#include "search/FindBarStatus.h"
#include "search/FindReplace.h"
#include "search/FindReplaceBar.h"
#include "search/FolderSearchOperations.h"
#include "search/FolderSearchPanel.h"
#include "search/SearchCenter.h"
#include "search/SearchCenterPanel.h"
#include "window/EditorWindowModel.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>

namespace dunmoss {

namespace {

// Each action finds the window again when it runs and does nothing once it has gone.
template <typename Operation> auto on(EditorWindowModel& model, Operation operation) {
    const QPointer<EditorWindowModel> window = &model;
    return [window, operation](auto&&... arguments) {
        if (window)
            operation(*window, arguments...);
    };
}

FindReplaceBarActions findBarActions(EditorWindowModel& model) {
    using D = FindReplace::Direction;
    FindReplaceBarActions a;
    a.setQuery =
        on(model, [](EditorWindowModel& m, const QString& q) { FindReplace(m).setFindQuery(q); });
    a.setReplaceText =
        on(model, [](EditorWindowModel& m, const QString& r) { FindReplace(m).setReplaceText(r); });
    a.setOptions = on(model, [](EditorWindowModel& m, const TextSearchOptions& o) {
        FindReplace(m).setFindOptions(o);
    });
    a.setFocusedField = on(model, [](EditorWindowModel& m, std::optional<FindField> f) {
        FindReplace(m).setFocusedFindField(f);
    });
    a.findNext = on(model, [](EditorWindowModel& m) { FindReplace(m).findInActiveTab(D::Next); });
    a.findPrevious =
        on(model, [](EditorWindowModel& m) { FindReplace(m).findInActiveTab(D::Previous); });
    a.replace = on(model, [](EditorWindowModel& m) { FindReplace(m).replaceCurrentFindMatch(); });
    a.replaceAll = on(model, [](EditorWindowModel& m) { FindReplace(m).replaceAllFindMatches(); });
    a.findAll = on(model, [](EditorWindowModel& m) { FindReplace(m).findAllInActiveTab(); });
    a.findAllOpenDocuments =
        on(model, [](EditorWindowModel& m) { FindReplace(m).findInOpenDocuments(); });
    a.markAll = on(model, [](EditorWindowModel& m) { FindReplace(m).markAllMatchesAsBookmarks(); });
    a.selectAllMatches =
        on(model, [](EditorWindowModel& m) { FindReplace(m).selectAllFindMatches(); });
    a.selectFindHistory = on(model, [](EditorWindowModel& m, const QString& entry) {
        FindReplace(m).applyFindHistoryEntry(entry);
    });
    a.selectReplaceHistory = on(model, [](EditorWindowModel& m, const QString& entry) {
        FindReplace(m).applyReplaceHistoryEntry(entry);
    });
    a.close = on(model, [](EditorWindowModel& m) { FindReplace(m).closeFindBar(); });
    return a;
}

SearchCenterPanelActions searchCenterActions(EditorWindowModel& model,
                                             std::function<void()> shown) {
    SearchCenterPanelActions a;
    a.selectScope =
        on(model, [](EditorWindowModel& m, SearchCenterScope s) { SearchCenter(m).setScope(s); });
    a.selectRun = on(model, [](EditorWindowModel& m, std::optional<QUuid> id) {
        SearchCenter(m).setSelectedRun(id);
    });
    a.openResult = on(model, [shown](EditorWindowModel& m, const SearchCenterResult& r) {
        SearchCenter(m).openSearchCenterResult(r, shown);
    });
    a.copyResults = on(model, [](EditorWindowModel& m, const QList<SearchCenterResult>& r) {
        SearchCenter(m).copySearchCenterResults(r);
    });
    a.deleteRun = on(model, [](EditorWindowModel& m, const QUuid& id) {
        SearchCenter(m).deleteSearchCenterRun(id);
    });
    a.close = on(model, [](EditorWindowModel& m) { SearchCenter(m).closeSearchCenter(); });
    return a;
}

FolderSearchPanelActions folderSearchActions(EditorWindowModel& model,
                                             std::function<void()> shown) {
    using F = FolderSearchOperations;
    FolderSearchPanelActions a;
    a.setQuery = on(model, [](EditorWindowModel& m, const QString& q) { F(m).setQuery(q); });
    a.setReplacement =
        on(model, [](EditorWindowModel& m, const QString& r) { F(m).setReplaceText(r); });
    a.setIncludePattern =
        on(model, [](EditorWindowModel& m, const QString& p) { F(m).setIncludePattern(p); });
    a.setExcludePattern =
        on(model, [](EditorWindowModel& m, const QString& p) { F(m).setExcludePattern(p); });
    a.setTextOptions =
        on(model, [](EditorWindowModel& m, const TextSearchOptions& o) { F(m).setTextOptions(o); });
    a.chooseFolder = on(model, [](EditorWindowModel& m) { F(m).chooseFolderSearchFolder(); });
    a.search = on(model, [](EditorWindowModel& m) { F(m).startFolderSearch(); });
    a.replaceAll = on(model, [](EditorWindowModel& m) { F(m).requestFolderReplaceAll(); });
    a.restoreBackup = on(model, [](EditorWindowModel& m) { F(m).startBackupRestore(); });
    a.openResult = on(model, [shown](EditorWindowModel& m, const FolderSearchResult& r) {
        F(m).openFolderSearchResult(r, shown);
    });
    a.close = on(model, [](EditorWindowModel& m) { F(m).closeFolderSearch(); });
    return a;
}

} // namespace

FindPanels::FindPanels(WindowLayout& layout, EditorWindowModel& model,
                       std::function<void()> focusEditor)
    : QObject(&layout), m_model(model),
      m_refreshLater(new LaterThanRepaints([this] { refreshNow(); }, this)) {
    // An opened hit takes the keyboard, unless the person went elsewhere while its file loaded.
    const QPointer<FindPanels> self = this;
    const auto handBack = [self, focusEditor](QWidget* (*panel)(const FindPanels&)) {
        return [self, focusEditor, panel] {
            QWidget* list = self ? panel(*self) : nullptr;
            QWidget* focus = QApplication::focusWidget();
            if (list && focusEditor && (!focus || focus == list || list->isAncestorOf(focus)))
                focusEditor();
        };
    };
    m_bar = new FindReplaceBar(findBarActions(model));
    m_center = new SearchCenterPanel(searchCenterActions(
        model, handBack([](const FindPanels& p) -> QWidget* { return p.m_center; })));
    layout.setPanel(WindowPanel::FindBar, m_bar);
    layout.setPanel(WindowPanel::SearchCenter, m_center);
    m_folder = new FolderSearchPanel(folderSearchActions(
        model, handBack([](const FindPanels& p) -> QWidget* { return p.m_folder; })));
    layout.setPanel(WindowPanel::FolderSearch, m_folder);
    connect(&model, &EditorWindowModel::changed, this, &FindPanels::scheduleRefresh);
    refreshNow();
}

void FindPanels::scheduleRefresh() {
    m_refreshLater->request();
}

void FindPanels::refreshNow() {
    const EditorWindowState& state = m_model.state();
    m_center->refresh(state.searchCenter);
    m_bar->refresh(state.find, findBarStatus(m_model));
    m_folder->refresh(state.folderSearch);
    // Opened, the folder panel takes the keyboard in its query, as the find bar does.
    const bool folderShown = state.folderSearch.showFolderSearch;
    if (folderShown && !m_folderShown && m_folder->isVisible())
        m_folder->queryField()->setFocus(Qt::OtherFocusReason);
    m_folderShown = folderShown;
}

} // namespace dunmoss
