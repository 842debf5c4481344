#pragma once

#include "text/EditorTab.h"
#include "text/FolderSearchTypes.h"
#include "text/TextSearch.h"
#include "text/WorkspaceItem.h"
#include "window/EditorMacroStep.h"
#include "window/SearchCenterTypes.h"
#include "window/WindowErrors.h"
#include "window/WindowNotices.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QUuid>
#include <optional>

namespace dunmoss {

// Which field of the find bar has the keyboard focus.
enum class FindField { Query, Replace };

// What the find bar last said about one tab: the answer to a command, or that one runs.
struct FindReport {
    QString text;
    // The query and options it answered; another query makes it stale.
    QString query;
    TextSearchOptions options;
    // Where the tab's undo history stood: once that step is undone (or the history goes another
    // way), the answer describes a text that is no longer there.
    int undoIndex = 0;
    const void* undoStep = nullptr;
    friend bool operator==(const FindReport&, const FindReport&) = default;
};

// What the second editor pane shows: nothing, another tab, or the active tab again.
enum class SplitEditorMode { Single, Split, Clone };

struct FindState {
    bool showFindBar = false;
    QString findQuery;
    QString replaceText;
    // Newest first, at most 12 each.
    QStringList findHistory;
    QStringList replaceHistory;
    TextSearchOptions findOptions;
    // Matches of the last find-all, and the count of all of them (listed or not).
    QList<TextSearchResult> findResults;
    qsizetype findResultsTotalCount = 0;
    bool showFindResults = false;
    // Matches of the last search across all open tabs.
    QList<OpenDocumentSearchResult> openDocumentSearchResults;
    bool showOpenDocumentSearchResults = false;
    std::optional<FindField> focusedFindField;
    // The find bar's status, per tab.
    QHash<QUuid, FindReport> reports;
};

struct FolderSearchState {
    bool showFolderSearch = false;
    QString folderSearchQuery;
    QString folderSearchReplaceText;
    QString folderSearchIncludePattern;
    QString folderSearchExcludePattern;
    TextSearchOptions folderSearchTextOptions;
    std::optional<QUrl> folderSearchURL;
    QList<FolderSearchResult> folderSearchResults;
    QString folderSearchMessage;
    bool isFolderSearchRunning = false;
    // The dry run waiting for the user's confirmation.
    std::optional<FolderReplacementPreview> folderReplacePreview;
    bool showFolderReplaceConfirmation = false;
};

struct SearchCenterState {
    bool showSearchCenter = false;
    // The live lists, one per scope.
    QList<SearchCenterResult> searchCenterDocumentResults;
    QList<SearchCenterResult> searchCenterOpenDocumentResults;
    QList<SearchCenterResult> searchCenterFolderResults;
    // Recorded runs, newest first.
    QList<SearchCenterRun> searchCenterRuns;
    // The recorded run shown instead of the live list.
    std::optional<QUuid> selectedSearchRunID;
    // The scope whose live list is shown.
    SearchCenterScope searchCenterScope = SearchCenterScope::CurrentDocument;
    // The scopes searched at least once: an empty live list there is a search that found none.
    QList<SearchCenterScope> searchedScopes;

    void noteSearched(SearchCenterScope scope) {
        if (!searchedScopes.contains(scope))
            searchedScopes.append(scope);
    }
};

struct WorkspaceState {
    bool showWorkspace = false;
    std::optional<QUrl> workspaceRootURL;
    // The folder whose access the window holds open itself; at most one.
    std::optional<QUrl> activeWorkspaceAccessURL;
    // The folder tree below the root.
    QList<WorkspaceItem> workspaceItems;
    QString workspaceMessage;
    // A listing of the root is under way; `workspaceItems` still holds the one before it.
    bool isListingWorkspace = false;
};

// Panels and sheets, with the inputs that belong to them.
struct PanelState {
    bool showWelcome = true;
    bool showQuickOpen = false;
    QString quickOpenQuery;
    bool showMarkdownPreview = false;
    bool showDocumentOutline = false;
    bool showGoToLineSheet = false;
    QString goToLineText;
    bool showColumnInsertSheet = false;
    QString columnInsertText;
    bool showSnippetSheet = false;
    bool showTextToolbox = false;
    bool showExternalCommandSheet = false;
    QString externalCommandText;
    bool showHelpSheet = false;
};

struct SplitCompareState {
    SplitEditorMode splitMode = SplitEditorMode::Single;
    std::optional<QUuid> secondaryTabID;
    bool showCompareView = false;
    std::optional<QUuid> compareTabID;
    // The second pane has the keyboard: tools, undo and the status bar act on its tab.
    bool keyboardInSecondPane = false;
};

// Start-up guards, and the decisions the window is waiting for.
struct PendingDecisionState {
    bool didRestoreSession = false;
    bool didRestoreWorkspace = false;
    std::optional<QUuid> pendingCloseTabID;
    bool showDiscardAlert = false;
    bool showCloseAllAlert = false;
    bool showReloadConfirmation = false;
    // The tab the reload confirmation is about: the answer reloads it, not whichever is active.
    std::optional<QUuid> reloadConfirmationTabID;
    // The question before closing the window with unsaved tabs is up.
    bool askingBeforeWindowClose = false;
    // While set, the external-change question for that tab is up.
    std::optional<QUuid> externalChangeTabID;
    // Save panels and questions of the window open now (see QuestionHold).
    int openQuestions = 0;
};

struct MacroState {
    bool isRecordingMacro = false;
    // Kept after recording stops, so it can be played or saved.
    QList<EditorMacroStep> recordedMacroSteps;
    bool isPlayingMacro = false;
};

// Everything one editor window shows or remembers between two redraws. A plain value: the
// window model owns it, and derived values (active tab, titles, line count...) are computed
// from it, never stored in it.
struct EditorWindowState {
    // False only for the fallback window the application builds itself.
    bool isSceneHosted = true;
    // Never empty while the window exists.
    QList<EditorTab> tabs{untitledTab()};
    // Names no tab until start-up repairs it; the first tab acts as active meanwhile.
    QUuid activeTabID = QUuid::createUuid();
    ErrorQueueState errors;
    // The message bar's news.
    NoticeState notices;
    // The one-line status text: results and refusals of commands.
    QString findMessage;

    FindState find;
    FolderSearchState folderSearch;
    SearchCenterState searchCenter;
    WorkspaceState workspace;
    PanelState panels;
    SplitCompareState split;
    PendingDecisionState decisions;
    MacroState macros;
};

} // namespace dunmoss
