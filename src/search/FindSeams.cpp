#include "search/FindSeams.h"

#include "search/FindReplace.h"
#include "search/FindResultsRefresh.h"
#include "search/FolderOperationRunner.h"
#include "search/SearchCenter.h"
#include "window/EditorWindowModel.h"

namespace dunmoss {

void installFindSeams(EditorWindowModel& model) {
    EditorWindowModel* window = &model;
    // Asked at every key: the refresh is found among the window's parts once.
    model.seams().refreshFindResultsAfterEdit = [window,
                                                 refresh = (FindResultsRefresh*)nullptr]() mutable {
        if (!refresh)
            refresh = &FindResultsRefresh::of(*window);
        refresh->schedule();
    };
    model.seams().leaveSearchRunsOfReplacedTab = [window](const QUuid& tabID) {
        SearchCenter(*window).leaveRunsOfReplacedTab(tabID);
    };
    model.seams().loadStoredFindState = [window] { loadStoredFindState(*window); };
    model.seams().stopFolderReads = [window] { FolderOperationRunner::of(*window).stopReading(); };
}

void loadStoredFindState(EditorWindowModel& model) {
    FindReplace(model).loadHistories();
    SearchCenter(model).loadStoredRuns();
}

} // namespace dunmoss
