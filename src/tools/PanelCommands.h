#pragma once

namespace dunmoss {

class EditorWindowModel;
class WindowCommandTable;

// Fills the command record's fields for the compare panel and the split and clone views; the
// other panels and sheets open from the window's own flag handlers.
void installPanelCommands(WindowCommandTable& table, EditorWindowModel& model);

} // namespace dunmoss
