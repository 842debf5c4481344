#include "platform/FileStat.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <fcntl.h>
#include <gtest/gtest.h>

#include "support/TestFiles.h"
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

using namespace dunmoss;
using dunmoss::test::writeFile;

namespace {

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

} // namespace

TEST(FileStat, ReportsKindSizeNanosecondDateAndIdentity) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("a.txt"));
    writeFile(file, "12345");
    const timespec times[2] = {{1'650'000'000, 123'456'789}, {1'650'000'000, 123'456'789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, native(file).constData(), times, 0), 0);

    const std::optional<FileStatus> status = statPath(file);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->kind, FileKind::Regular);
    EXPECT_EQ(status->size, 5);
    EXPECT_EQ(fileModificationDate(file), (FileTimestamp{1'650'000'000, 123'456'789}));
    EXPECT_EQ(fileSize(file), 5);

    const QString hard = dir.filePath(QStringLiteral("hard.txt"));
    ASSERT_EQ(::link(native(file).constData(), native(hard).constData()), 0);
    const QString other = dir.filePath(QStringLiteral("other.txt"));
    writeFile(other, "12345");
    EXPECT_EQ(fileIdentity(file), fileIdentity(hard));
    EXPECT_NE(fileIdentity(file), fileIdentity(other));

    const QString link = dir.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(file, link));
    EXPECT_EQ(statPath(link)->kind, FileKind::Regular);
    EXPECT_EQ(lstatPath(link)->kind, FileKind::Symlink);
    EXPECT_EQ(statPath(dir.path())->kind, FileKind::Directory);

    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(native(fifo).constData(), 0600), 0);
    EXPECT_EQ(statPath(fifo)->kind, FileKind::Fifo);

    for (const QString& missing : {dir.filePath(QStringLiteral("gone")), QString()}) {
        EXPECT_FALSE(statPath(missing));
        EXPECT_FALSE(fileModificationDate(missing));
        EXPECT_FALSE(fileSize(missing));
        EXPECT_FALSE(fileIdentity(missing));
    }
}

TEST(FileStat, CanonicalPathsResolveLinksAndNeverInventAPathForNothing) {
    QTemporaryDir dir;
    const QString real = QDir(dir.path()).canonicalPath();
    const QString file = dir.filePath(QStringLiteral("target.txt"));
    writeFile(file, "x");
    const QString link = dir.filePath(QStringLiteral("link.txt"));
    ASSERT_TRUE(QFile::link(file, link));

    EXPECT_EQ(canonicalFilePath(link), real + QStringLiteral("/target.txt"));
    EXPECT_EQ(canonicalFilePath(dir.filePath(QStringLiteral("sub/../target.txt"))),
              real + QStringLiteral("/target.txt"));
    // A missing file keeps its cleaned absolute path; the empty path stays empty.
    EXPECT_EQ(canonicalFilePath(dir.filePath(QStringLiteral("a/./../gone.txt"))),
              QDir::cleanPath(dir.filePath(QStringLiteral("gone.txt"))));
    EXPECT_TRUE(canonicalFilePath(QString()).isEmpty());
}

TEST(FileStat, TimestampsFromStoredSecondsStayNormalised) {
    EXPECT_EQ(FileTimestamp::fromSecondsSinceEpoch(1.5), (FileTimestamp{1, 500'000'000}));
    EXPECT_EQ(FileTimestamp::fromSecondsSinceEpoch(-0.25), (FileTimestamp{-1, 750'000'000}));
    // A fraction that rounds up to a whole second carries into the seconds.
    const FileTimestamp carried = FileTimestamp::fromSecondsSinceEpoch(std::nextafter(2.0, 0.0));
    EXPECT_EQ(carried, (FileTimestamp{2, 0}));

    // Values no file has, as a hand-edited session might hold, convert without overflowing.
    EXPECT_EQ(FileTimestamp::fromSecondsSinceEpoch(std::nan("")), FileTimestamp{});
    EXPECT_EQ(FileTimestamp::fromSecondsSinceEpoch(std::numeric_limits<double>::infinity()),
              FileTimestamp{});
    const FileTimestamp huge = FileTimestamp::fromSecondsSinceEpoch(1e300);
    EXPECT_GT(huge.seconds, qint64(9e18));
    EXPECT_TRUE(huge.nanoseconds >= 0 && huge.nanoseconds < 1'000'000'000);
    EXPECT_LT(FileTimestamp::fromSecondsSinceEpoch(-1e300).seconds, qint64(-9e18));

    const FileTimestamp date{1'650'000'000, 123'456'789};
    EXPECT_EQ(date.toDateTime().toMSecsSinceEpoch(), 1'650'000'000'123LL);
    EXPECT_DOUBLE_EQ(date.toSecondsSinceEpoch(), 1'650'000'000.123456789);
}
