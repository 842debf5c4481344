// A replacement by rename is durable after two waits on the disk, its bytes before the rename
// and its folder after: a third sync has nothing left to flush, yet on a slow disk costs as
// much. The syncs are counted where every caller in the process makes them (this program's own
// fsync and fdatasync stand in front of the system's).
#include "platform/AtomicFileWrite.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/SyncCounting.h"

using namespace dunmoss;
using test::syncsOnThisThread;

TEST(AtomicWriteSyncCount, AReplacementWaitsOnTheDiskTwice) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("session.json"));
    for (const char* bytes : {"new file", "replacing it"}) {
        SCOPED_TRACE(bytes);
        syncsOnThisThread = 0;
        writeBytesAtomically(bytes, path);
        EXPECT_EQ(syncsOnThisThread, 2);
        QFile written(path);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_EQ(written.readAll(), QByteArray(bytes));
    }
}
