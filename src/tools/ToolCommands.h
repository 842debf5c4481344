#pragma once

namespace dunmoss {

class EditorWindowModel;
class WindowCommandTable;

// Fills the window's command record with the editing tools: the fourteen line and selection
// tools, the JSON commands, the bookmark commands, the snippet library and the text toolbox.
// The header bar and its tools popover run the same record's closures; the macro rows, which
// have no menu command, run MacroRecording and MacroPlayback through the window's seams.
void installToolCommands(WindowCommandTable& table, EditorWindowModel& model);

} // namespace dunmoss
