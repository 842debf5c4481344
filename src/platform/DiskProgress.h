#pragma once

namespace dunmoss {

// Counts the steps the program's writes take on the disk (a sync asked for, a sync answered, a
// file committed), so that whoever waits on them can tell a slow disk, which keeps answering,
// from one that has stopped. Any thread; reading it is safe in a signal handler.
void noteDiskProgress();
unsigned diskProgress();

} // namespace dunmoss
