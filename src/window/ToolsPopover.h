#pragma once

#include "window/HeaderContent.h"
#include "window/ToolbarPopoverContent.h"

#include <functional>

namespace dunmoss {

// The tools popover: one scrolling list of the window's commands that have no button of their
// own in the header (48 rows: 44 commands and 4 setting toggles, 9 at the top and the others in
// 10 titled sections). A command row closes the popover first, then runs its closure; a toggle
// only writes its setting and leaves the popover open. No row is ever disabled: a command that
// does not apply is refused by the window with a status message.
ToolbarPopoverContent toolsPopoverContent(const HeaderValues& values,
                                          const HeaderCommands& commands,
                                          const std::function<void()>& close);

} // namespace dunmoss
