#include "window/WindowStartUp.h"

#include "text/EditorTheme.h"
#include "window/EditorWindowModel.h"

namespace dunmoss {

void prepareWindowOnAppear(EditorWindowModel& model) {
    const bool uiTesting =
        arrayContainsString(model.processArguments(), QString::fromLatin1(kUiTestingArgument));
    WindowSeams& seams = model.seams();
    if (uiTesting) {
        model.update([](EditorWindowState& state) {
            state.panels.showWelcome = false;
            state.decisions.didRestoreSession = true;
            state.decisions.didRestoreWorkspace = true;
        });
    } else {
        if (seams.restoreSession)
            seams.restoreSession();
        if (seams.restoreWorkspaceIfNeeded)
            seams.restoreWorkspaceIfNeeded();
        if (seams.loadStoredFindState)
            seams.loadStoredFindState();
    }
    model.update([](EditorWindowState& state) {
        for (const EditorTab& tab : state.tabs)
            if (tab.id == state.activeTabID)
                return;
        state.activeTabID = state.tabs.first().id;
    });
    if (seams.applyAlwaysOnTopToEditorWindows)
        seams.applyAlwaysOnTopToEditorWindows(model.settings().alwaysOnTopEnabled(), false);
    if (!uiTesting && seams.startMaintenanceLoop)
        seams.startMaintenanceLoop();
}

} // namespace dunmoss
