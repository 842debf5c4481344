#pragma once

namespace dunmoss {

class EditorWindowModel;
class WindowCommandTable;

// Fills the command record's fields for the compare panel, the split and clone views and the
// external-command sheet; the other panels and sheets open from the window's own flag handlers.
void installPanelCommands(WindowCommandTable& table, EditorWindowModel& model);

} // namespace dunmoss
