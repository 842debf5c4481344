#include "tools/PanelCommands.h"

#include "tools/CompareView.h"
#include "tools/SplitViews.h"
#include "window/EditorWindowModel.h"
#include "window/WindowCommandTable.h"

#include <QPointer>

namespace dunmoss {

void installPanelCommands(WindowCommandTable& table, EditorWindowModel& model) {
    const QPointer<EditorWindowModel> window = &model;
    const auto on = [window](auto operation) {
        return [window, operation] {
            if (window)
                operation(*window);
        };
    };
    EditorCommands& handlers = table.handlers();
    handlers.toggleCompareView =
        on([](EditorWindowModel& m) { CompareView(m).toggleCompareView(); });
    handlers.openSplitView = on([](EditorWindowModel& m) { SplitViews(m).openSplitView(); });
    handlers.cloneActiveView = on([](EditorWindowModel& m) { SplitViews(m).cloneActiveView(); });
    handlers.closeSplitView = on([](EditorWindowModel& m) { SplitViews(m).closeSplitView(); });
}

} // namespace dunmoss
