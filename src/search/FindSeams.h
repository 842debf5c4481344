#pragma once

namespace dunmoss {

class EditorWindowModel;

// Puts the find operations into the window's seams: the refresh of the result lists on show
// after every edit of a tab's text, the stop of folder reads when the window goes, and the
// start-up step that reads the stored find state (in
// its place in the start-up order, see WindowStartUp). Done once, when the model is made.
void installFindSeams(EditorWindowModel& model);

// Start-up: the find and replace histories and the stored search-center runs, with no run
// selected.
void loadStoredFindState(EditorWindowModel& model);

} // namespace dunmoss
