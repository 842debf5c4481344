#pragma once

#include "window/HeaderContent.h"
#include "window/ToolbarPopoverContent.h"

#include <functional>

namespace dunmoss {

// The rows of the header's pick-one popovers and of its recent-files popover. Every row that runs
// something first calls `close` (which closes its popover), then hands its value to the window
// through the header's closure or setting; the window's operation makes the change and reports
// it. The marks come from the values the header was last given.

// One row per theme, marked when the stored theme text is that theme's raw value.
ToolbarPopoverContent themePopoverContent(const HeaderValues& values,
                                          const HeaderCommands& commands,
                                          const std::function<void()>& close);
// "Automatic" (marked while the tab has no override), then one row per language, marked only
// when it is the tab's override.
ToolbarPopoverContent languagePopoverContent(const HeaderValues& values,
                                             const HeaderCommands& commands,
                                             const std::function<void()>& close);
// The encoding, the line ending and, for a tab with a file, "reopen with encoding" (never
// marked).
ToolbarPopoverContent encodingPopoverContent(const HeaderValues& values,
                                             const HeaderCommands& commands,
                                             const std::function<void()>& close);
// One entry per recent file (its name over its folder), or a line saying there is none.
ToolbarPopoverContent recentFilesPopoverContent(const HeaderValues& values,
                                                const HeaderCommands& commands,
                                                const std::function<void()>& close);

} // namespace dunmoss
