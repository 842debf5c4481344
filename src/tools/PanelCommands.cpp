#include "tools/PanelCommands.h"

#include "tools/CompareView.h"
#include "tools/ExternalCommand.h"
#include "tools/SplitViews.h"
#include "window/EditorWindowModel.h"
#include "window/WindowCommandTable.h"

namespace dunmoss {

void installPanelCommands(WindowCommandTable& table, EditorWindowModel& model) {
    const ModelCommandMaker on(model);
    EditorCommands& handlers = table.handlers();
    handlers.toggleCompareView =
        on([](EditorWindowModel& m) { CompareView(m).toggleCompareView(); });
    handlers.openSplitView = on([](EditorWindowModel& m) { SplitViews(m).openSplitView(); });
    handlers.cloneActiveView = on([](EditorWindowModel& m) { SplitViews(m).cloneActiveView(); });
    handlers.closeSplitView = on([](EditorWindowModel& m) { SplitViews(m).closeSplitView(); });
    handlers.showExternalCommand =
        on([](EditorWindowModel& m) { ExternalCommand(m).presentExternalCommandSheet(); });
}

} // namespace dunmoss
