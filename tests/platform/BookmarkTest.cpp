#include "platform/Bookmark.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/TestFiles.h"

using namespace dunmoss;
using dunmoss::test::writeFile;

TEST(Bookmark, ResolvesFileAndFolderToTheirAbsolutePaths) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("名前 with spaces.txt"));
    writeFile(file, "x");

    const QByteArray fileMark = makeBookmark(file);
    ASSERT_FALSE(fileMark.isEmpty());
    const auto resolved = resolveBookmark(fileMark);
    ASSERT_TRUE(resolved);
    EXPECT_EQ(resolved->path, QDir::cleanPath(file));
    EXPECT_FALSE(resolved->isStale);

    const auto folder = resolveBookmark(makeBookmark(dir.path() + QStringLiteral("/./")));
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->path, QDir::cleanPath(dir.path()));
}

TEST(Bookmark, RelativePathIsMadeAbsolute) {
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("rel.txt")), "x");
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const QByteArray mark = makeBookmark(QStringLiteral("rel.txt"));
    QDir::setCurrent(previous);
    const auto resolved = resolveBookmark(mark);
    ASSERT_TRUE(resolved);
    EXPECT_EQ(QFileInfo(resolved->path).canonicalFilePath(),
              QFileInfo(dir.filePath(QStringLiteral("rel.txt"))).canonicalFilePath());
}

TEST(Bookmark, MissingTargetsFail) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("gone.txt"));
    EXPECT_TRUE(makeBookmark(file).isEmpty());
    EXPECT_TRUE(makeBookmark(QString()).isEmpty());

    writeFile(file, "x");
    const QByteArray mark = makeBookmark(file);
    ASSERT_TRUE(QFile::remove(file));
    EXPECT_FALSE(resolveBookmark(mark));
}

TEST(Bookmark, ReplacedItemResolvesAsStale) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("a.txt"));
    const QString other = dir.filePath(QStringLiteral("b.txt"));
    writeFile(file, "x");
    const QByteArray mark = makeBookmark(file);
    writeFile(other, "y");
    // Another file moved into its place has another identity.
    ASSERT_TRUE(QFile::remove(file));
    ASSERT_TRUE(QFile::rename(other, file));
    const auto resolved = resolveBookmark(mark);
    ASSERT_TRUE(resolved);
    EXPECT_EQ(resolved->path, file);
    EXPECT_TRUE(resolved->isStale);
}

TEST(Bookmark, MalformedDataIsRecognised) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("a.txt"));
    writeFile(file, "x");
    const QByteArray good = makeBookmark(file);
    ASSERT_TRUE(resolveBookmark(good));

    EXPECT_FALSE(resolveBookmark(QByteArray()));
    EXPECT_FALSE(resolveBookmark(file.toUtf8())); // a bare path is not a bookmark
    EXPECT_FALSE(resolveBookmark(good.left(good.size() - 1)));
    EXPECT_FALSE(resolveBookmark(good + "x"));

    QByteArray wrongVersion = good;
    wrongVersion[4] = 2;
    EXPECT_FALSE(resolveBookmark(wrongVersion));
    QByteArray wrongMagic = good;
    wrongMagic[0] = 'X';
    EXPECT_FALSE(resolveBookmark(wrongMagic));

    // Same length, but the path bytes are not UTF-8, hold a NUL, or are not absolute and clean.
    const qsizetype pathStart = good.size() - file.toUtf8().size();
    QByteArray badUtf8 = good;
    badUtf8[pathStart + 1] = char(0xff);
    EXPECT_FALSE(resolveBookmark(badUtf8));
    QByteArray withNul = good;
    withNul[good.size() - 1] = '\0';
    EXPECT_FALSE(resolveBookmark(withNul));
    QByteArray relative = good;
    relative[pathStart] = 'x';
    EXPECT_FALSE(resolveBookmark(relative));
}
