#pragma once

#include <functional>

namespace dunmoss {

class EditorWindowModel;
struct EditorWindowState;

// Tabs whose edits would be lost by closing them now.
int unsavedTabCount(const EditorWindowState& state);

// Closing the window loses edits when some tab is modified and the session does not keep the
// drafts: it is not saved (interface testing), saving it fails now, or another editor window
// stays open and will overwrite the one session all windows share. Saves the session to find
// out.
bool closingLosesUnsavedWork(EditorWindowModel& model, bool otherEditorWindowsRemain = false);

// Asks the person before such a close: save all (the window may close once nothing is left
// unsaved), close without saving, or keep the window. `done` runs once, with true when the
// window may close.
void askBeforeClosing(EditorWindowModel& model, std::function<void(bool mayClose)> done);

} // namespace dunmoss
