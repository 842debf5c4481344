#pragma once

// A write of a file with other names (so written in place) killed part-way, as a crash would
// stop it: in a forked child, SIGKILL at the chosen step.
#include "platform/AtomicFileWrite.h"
#include "platform/WorkPools.h"

#include <QThreadPool>

#include <cerrno>
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
    // The child inherits the allocator's locks as the fork found them: a pool thread freeing
    // a document at that moment would leave the child waiting for good (seen under ASan).
    waitForWorkPools();
    QThreadPool::globalInstance()->waitForDone();
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
    // A child stuck for two minutes fails the test instead of holding the run.
    int status = 0;
    for (int waited = 0;; ++waited) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child)
            break;
        if (done < 0 && errno != EINTR)
            return false;
        if (waited == 12'000) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return false;
        }
        ::usleep(10'000);
    }
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

} // namespace dunmoss::test
