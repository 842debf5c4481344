#pragma once

namespace dunmoss {

class EditorWindowModel;
class WindowCommandTable;

// Fills the window's seams for the palette's command entries and the workspace listing, and the
// command record's open-workspace field.
void installNavigationOperations(WindowCommandTable& table, EditorWindowModel& model);

} // namespace dunmoss
