#pragma once

#include "window/WindowNotices.h"

#include <QUuid>

namespace dunmoss {

class EditorWindowModel;

// The person's answer to a shown copy of a tab's file's earlier bytes: they go back into the
// file (on the pool thread, as a save would write them), if the file is still as it was found
// when the person was told; a tab without unsaved edits then shows the file again, one with
// edits is left to the question any change on disk brings.
void putKeptCopyBack(EditorWindowModel& model, const QUuid& tabID, const KeptCopyOffer& offer);

} // namespace dunmoss
