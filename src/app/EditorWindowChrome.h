#pragma once

#include <functional>

namespace dunmoss {

class Defaults;
class EditorMenuBar;
class EditorWindowView;

// What the application adds to an editor window it composes: the menu bar, and the window's
// place in the process-wide command slot. The window's record is written into the slot when the
// window offers itself (first shown, become active) and at the end of its start-up, where a menu
// command that waited for a window then runs; it is withdrawn when the window closes. A
// scene-hosted window (one given `openWindow`) publishes that action as the process-wide
// open-window action when first shown. A quit goes on, or ends, with the answer a window got
// when it asked before closing.
void installApplicationChrome(EditorWindowView& window, Defaults& defaults,
                              std::function<void()> openWindow = {});

// The menu bar installed above; null for a window without one.
EditorMenuBar* editorMenuBar(const EditorWindowView& window);

} // namespace dunmoss
