#pragma once

namespace dunmoss {

class AppSettingsView;
class Defaults;

// The application's one settings window: created on first use, raised when shown again, and
// asked each time to check the default-editor association anew.
AppSettingsView& showSettingsWindow(Defaults& defaults);
// The window when it exists (tests).
AppSettingsView* settingsWindow();

} // namespace dunmoss
