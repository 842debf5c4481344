#include "search/FindSeams.h"

#include "search/FindReplace.h"
#include "search/FindResultsRefresh.h"
#include "search/FolderOperationRunner.h"
#include "search/SearchCenter.h"
#include "window/EditorWindowModel.h"

namespace dunmoss {

void installFindSeams(EditorWindowModel& model) {
    EditorWindowModel* window = &model;
    model.seams().refreshFindResultsAfterEdit = [window] {
        FindResultsRefresh::of(*window).schedule();
    };
    model.seams().loadStoredFindState = [window] { loadStoredFindState(*window); };
    model.seams().stopFolderReads = [window] { FolderOperationRunner::of(*window).stopReading(); };
}

void loadStoredFindState(EditorWindowModel& model) {
    FindReplace(model).loadHistories();
    SearchCenter(model).loadStoredRuns();
}

} // namespace dunmoss
