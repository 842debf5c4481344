#pragma once

#include "chrome/MessageBar.h"

namespace dunmoss {

class EditorWindowModel;

// What the window's message bar shows: first the question about a file changed on disk (its
// answers bound to the tab it is about), then the notices of failed autosaves, session saves
// and restores, each closed on its own.
QList<MessageBarEntry> windowMessageBarEntries(EditorWindowModel& model);

} // namespace dunmoss
