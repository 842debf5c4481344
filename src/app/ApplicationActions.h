#pragma once

#include <functional>

namespace dunmoss {

// Application-level actions the menus offer besides the window commands. Each is installed by
// the part of the application that provides it and is empty until then; a menu item whose
// action is empty does nothing.

// Shows the settings window.
std::function<void()>& openSettingsAction();
// Runs a user-initiated update check with its own dialog.
std::function<void()>& checkForUpdatesAction();

// Quit: closes the windows one after another, each deciding for itself whether it may close,
// and ends the application once no editor window is left. A window that first asks the person
// stops the round; when the answer lets it close, the window calls quitApplication() again to
// go on, and when the person keeps it, cancelQuit() ends the quit.
// Before the first window is asked, `saveBeforeQuitAction` (when installed) writes what is to
// be kept and calls on once it is on disk; a quit asked for meanwhile does nothing more.
void quitApplication();
// The same asking nobody (a termination signal): after the save, every window closes even
// while a question is open. Takes over a quit under way.
void quitApplicationWithoutAsking();
std::function<void(std::function<void()>)>& saveBeforeQuitAction();
bool isQuitting();
void cancelQuit();

} // namespace dunmoss
