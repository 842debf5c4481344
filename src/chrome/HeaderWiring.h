#pragma once

#include "window/EditorCommands.h"
#include "window/HeaderContent.h"

namespace dunmoss {

class EditorWindowModel;

// The header's values for the window's active tab and settings, at this moment.
HeaderValues headerValues(EditorWindowModel& model);

// The header's closures, each wired to the window operation it names. Where the menu reaches the
// same command, the header calls the same closure of the window's command record, so the menu,
// the header and the command palette run one operation; a command whose operation is not
// installed yet does nothing. Every closure holds the window weakly.
HeaderCommands makeHeaderCommands(EditorWindowModel& model, const EditorCommands& record);

} // namespace dunmoss
