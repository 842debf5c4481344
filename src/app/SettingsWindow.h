#pragma once

namespace dunmoss {

class AppSettingsView;
class Defaults;

// The application's one settings window: created on first use, raised when shown again, and
// asked each time to check the default-editor association anew. Each time it opens it is placed
// over the active window, within the screen's available area.
AppSettingsView& showSettingsWindow(Defaults& defaults);
// The window when it exists (tests).
AppSettingsView* settingsWindow();

} // namespace dunmoss
