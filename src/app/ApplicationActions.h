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

} // namespace dunmoss
