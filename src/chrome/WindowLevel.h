#pragma once

#include <QList>
#include <functional>

class QWidget;

namespace dunmoss {

// Reads the always-on-top setting as it is now.
using AlwaysOnTopReader = std::function<bool()>;

// An editor window is a titled top-level window: not a dialog, sheet, popup or tool window.
bool isEditorWindowCandidate(const QWidget* window);

// Gives the window the editor-window identifier, then, when it is an editor window, keeps it
// above other windows or not. Turning it off is checked again at once and 150 ms later, because
// the window system may still change the window meanwhile; each check applies the setting as
// `current` reads it then, so turning the setting back on within that time leaves the window on
// top (without a reader the check puts the window back to normal).
void applyWindowLevel(QWidget* window, bool isAlwaysOnTop, AlwaysOnTopReader current = {});

// The application's editor windows, in the application's order, each once.
QList<QWidget*> editorWindowsForLevel();

// Applies the setting to every editor window and follows each up as above; when switched on
// with `bringToFront`, the active editor window (else the first) comes to the front.
void applyAlwaysOnTopToEditorWindows(bool enabled, bool bringToFront,
                                     const AlwaysOnTopReader& current = {});

} // namespace dunmoss
