#pragma once

// A failing disk: while one lives, the given sync of every atomic write answers `errnoValue`.
#include "platform/AtomicFileWrite.h"

#include <cerrno>

namespace dunmoss::test {

class FailingSyncs {
public:
    explicit FailingSyncs(AtomicWriteSync sync, int errnoValue = EIO) : m_sync(sync) {
        failAtomicWriteSyncForTesting(sync, errnoValue);
    }
    ~FailingSyncs() { failAtomicWriteSyncForTesting(m_sync, 0); }
    FailingSyncs(const FailingSyncs&) = delete;
    FailingSyncs& operator=(const FailingSyncs&) = delete;

private:
    AtomicWriteSync m_sync;
};

} // namespace dunmoss::test
