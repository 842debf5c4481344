#include "tools/NavigationOperations.h"

#include "tools/QuickOpenCommand.h"
#include "tools/Workspace.h"
#include "tools/WorkspaceListing.h"
#include "window/EditorWindowModel.h"
#include "window/WindowCommandTable.h"

#include <QPointer>

namespace dunmoss {

void installNavigationOperations(WindowCommandTable& table, EditorWindowModel& model) {
    WindowSeams& seams = model.seams();
    seams.quickOpenCommandEntries = quickOpenCommandEntries;
    // The listing is the model's child, so it lives exactly as long as the seam can be called.
    WorkspaceListing* listing = &WorkspaceListing::of(model);
    seams.refreshWorkspace = [listing] { listing->refreshWorkspace(); };
    const QPointer<EditorWindowModel> window = &model;
    table.handlers().openWorkspace = [window] {
        if (window)
            Workspace(*window).openWorkspace();
    };
}

} // namespace dunmoss
