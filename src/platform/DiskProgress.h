#pragma once

namespace dunmoss {

// Counts the steps the program's writes take on the disk (a sync asked for, a sync answered, a
// file committed), so that whoever waits on them can tell a slow disk, which keeps answering,
// from one that has stopped. Any thread; reading it is safe in a signal handler.
void noteDiskProgress();
unsigned diskProgress();
// Waits on the disk under way that have not answered yet: while one is, the disk is still at
// work, however long it takes.
unsigned diskStepsUnderWay();

// One wait on the disk (a sync, a settings file written): a step when it is asked and when it
// is answered, and under way in between.
class DiskStep {
public:
    DiskStep();
    ~DiskStep();
    DiskStep(const DiskStep&) = delete;
    DiskStep& operator=(const DiskStep&) = delete;
};

} // namespace dunmoss
