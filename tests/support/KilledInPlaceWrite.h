#pragma once

// A write of a file with other names (so written in place) killed part-way, as a crash would
// stop it: in a forked child, SIGKILL at the chosen step.
#include "platform/AtomicFileWrite.h"

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace dunmoss::test {

enum class KilledAt {
    // While the copy of the old bytes is being made, before it is synced.
    MakingTheCopy,
    // About half the new bytes written over the old ones, up to a block edge.
    HalfWritten,
    // Every new byte written and the file cut to them, before their sync.
    AllWritten,
};

// Whether the child writing `bytes` over `path` was killed where asked.
inline bool writeKilledAt(KilledAt step, const QString& path, const QByteArray& bytes) {
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        static KilledAt stop;
        static int syncs;
        stop = step;
        syncs = 0;
        // The copy's sync comes first, the file's second.
        beforeAtomicWriteSyncForTesting(+[] {
            ++syncs;
            if ((stop == KilledAt::MakingTheCopy && syncs == 1) ||
                (stop == KilledAt::AllWritten && syncs == 2))
                ::raise(SIGKILL);
        });
        static qint64 half;
        half = bytes.size() / 2;
        if (step == KilledAt::HalfWritten)
            afterInPlaceBlocksWrittenForTesting(+[](qint64 written) {
                if (written >= half)
                    ::raise(SIGKILL);
            });
        try {
            writeBytesAtomically(bytes, path);
        } catch (...) {
        }
        ::_exit(0);
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFSIGNALED(status) &&
           WTERMSIG(status) == SIGKILL;
}

} // namespace dunmoss::test
