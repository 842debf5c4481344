#pragma once

#include <functional>

namespace dunmoss {

class EditorWindowModel;
struct EditorWindowState;

// Tabs whose edits would be lost by closing them now.
int unsavedTabCount(const EditorWindowState& state);

// Closing the window loses edits when some tab is modified and nothing keeps the drafts across
// the close (no session store is attached to the window).
bool closingLosesUnsavedWork(EditorWindowModel& model);

// Asks the person before such a close: save all (the window may close once nothing is left
// unsaved), close without saving, or keep the window. `done` runs once, with true when the
// window may close.
void askBeforeClosing(EditorWindowModel& model, std::function<void(bool mayClose)> done);

} // namespace dunmoss
