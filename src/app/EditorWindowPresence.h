#pragma once

#include <QList>
#include <functional>

class QWidget;

namespace dunmoss {

// The application's editor windows (top-level, named `kEditorWindowIdentifier`, not yet deleted),
// in the application's order.
QList<QWidget*> editorWindows();
// Some editor window is visible or minimised.
bool hasEditorWindow();
// Some editor window is visible and not minimised.
bool hasVisibleEditorWindow();

// Brings an editor window forward: a visible one, else a minimised one (restored), else a
// hidden one; else asks for a new window through `openEditorWindowAction` (at most once per
// 1.5 s, with `fallbackWindowAction` when none has appeared by then), else
// `fallbackWindowAction`. The application is activated in every case.
void showMainWindow();

// Opens a new editor window of the application's window group; published when the first such
// window is shown (`installApplicationChrome`). Empty at launch.
std::function<void()>& openEditorWindowAction();
// Opens a fallback editor window; installed by the application at launch. Empty until then.
std::function<void()>& fallbackWindowAction();

// Back to the launch state (tests).
void resetEditorWindowPresence();

} // namespace dunmoss
