#pragma once

#include <QString>

namespace dunmoss {

// Makes the names in a folder durable: a file renamed or created there survives a power cut
// only once the folder itself is synced, whatever was synced of the file. Opens the folder and
// syncs it; blocks until the disk answers, so never on the window's thread. Answers 0, or the
// errno of the open or the sync that failed.
int syncFolder(const QString& folder);

} // namespace dunmoss
