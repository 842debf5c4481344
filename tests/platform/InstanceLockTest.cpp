#include "platform/InstanceLock.h"

#include "support/TestFiles.h"

#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

using namespace dunmoss;
using dunmoss::test::writeFile;

namespace {

QByteArray firstLine(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readLine().trimmed() : QByteArray();
}

} // namespace

TEST(InstanceLock, OneHolderAtATimeAndTheFileGoesWithIt) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("instance.lock"));
    auto first = std::make_unique<InstanceLock>(path);
    ASSERT_EQ(first->tryLock(), InstanceLock::Result::Locked);
    EXPECT_EQ(firstLine(path), QByteArray::number(qint64(::getpid())));
    InstanceLock second(path);
    EXPECT_EQ(second.tryLock(), InstanceLock::Result::HeldByAnother);
    EXPECT_FALSE(second.isLocked());
    // An earlier version, which locked with QLockFile, sees a live holder too.
    QLockFile earlier(path);
    earlier.setStaleLockTime(0);
    EXPECT_FALSE(earlier.tryLock(0));

    first.reset();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(second.tryLock(), InstanceLock::Result::Locked);
}

TEST(InstanceLock, ALockLeftByAProcessThatIsGoneIsTakenOverAndALiveOneIsNot) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("instance.lock"));
    // A file alone holds nothing: its process is gone (crashed, or the machine went off).
    writeFile(path, "999999\ndunmoss-notepad\nelsewhere\n");
    {
        InstanceLock lock(path);
        EXPECT_EQ(lock.tryLock(), InstanceLock::Result::Locked);
        EXPECT_EQ(firstLine(path), QByteArray::number(qint64(::getpid())));
    }
    // A live earlier version's lock is respected.
    QLockFile earlier(path);
    ASSERT_TRUE(earlier.tryLock(0));
    InstanceLock lock(path);
    EXPECT_EQ(lock.tryLock(), InstanceLock::Result::HeldByAnother);
}

TEST(InstanceLock, NoLockWhereNoFileCanBeMadeNorThroughALink) {
    QTemporaryDir dir;
    InstanceLock nowhere(dir.filePath(QStringLiteral("missing/instance.lock")));
    EXPECT_EQ(nowhere.tryLock(), InstanceLock::Result::Unavailable);
    EXPECT_EQ(nowhere.error(), ENOENT);

    const QString target = dir.filePath(QStringLiteral("elsewhere"));
    const QString path = dir.filePath(QStringLiteral("instance.lock"));
    ASSERT_TRUE(QFile::link(target, path));
    InstanceLock linked(path);
    EXPECT_EQ(linked.tryLock(), InstanceLock::Result::Unavailable);
    EXPECT_FALSE(QFile::exists(target));
}
