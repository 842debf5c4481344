#pragma once

class QThreadPool;

namespace dunmoss {

// Pools of their own for long background work, apart from the global pool that Qt's painting
// borrows: a key or a repaint never waits behind a folder search.
//
// Parallel work over many files (reading, decoding, searching one file each): one thread per
// core. A job here must never wait for another job of this pool.
QThreadPool& fileWorkPool();

// Operations that drive jobs on fileWorkPool and wait for them (a folder search, a dry run, a
// replacement): a waiting operation never holds a thread its own jobs need.
QThreadPool& operationPool();

// Waits until both pools are idle (tests and shutdown), each for at most `msecs` when given.
void waitForWorkPools(int msecs = -1);

} // namespace dunmoss
