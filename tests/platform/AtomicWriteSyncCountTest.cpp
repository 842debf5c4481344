// A replacement by rename is durable after two waits on the disk, its bytes before the rename
// and its folder after: a third sync has nothing left to flush, yet on a slow disk costs as
// much. The syncs are counted where every caller in the process makes them (this program's own
// fsync and fdatasync stand in front of the system's).
#include "platform/AtomicFileWrite.h"

#include <QFile>
#include <QTemporaryDir>
#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

thread_local int t_syncs = 0;

template <typename Call> Call systemCall(const char* name) {
    return reinterpret_cast<Call>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int fsync(int fd) {
    ++t_syncs;
    static const auto call = systemCall<int (*)(int)>("fsync");
    return call(fd);
}

extern "C" int fdatasync(int fd) {
    ++t_syncs;
    static const auto call = systemCall<int (*)(int)>("fdatasync");
    return call(fd);
}

using namespace dunmoss;

TEST(AtomicWriteSyncCount, AReplacementWaitsOnTheDiskTwice) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("session.json"));
    for (const char* bytes : {"new file", "replacing it"}) {
        SCOPED_TRACE(bytes);
        t_syncs = 0;
        writeBytesAtomically(bytes, path);
        EXPECT_EQ(t_syncs, 2);
        QFile written(path);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_EQ(written.readAll(), QByteArray(bytes));
    }
}
