#include "platform/FolderSync.h"

#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>

using namespace dunmoss;

TEST(FolderSync, SyncsAFolderAndSaysWhyWhenItCannot) {
    QTemporaryDir dir;
    EXPECT_EQ(syncFolder(dir.path()), 0);
    EXPECT_EQ(syncFolder(dir.filePath(QStringLiteral("missing"))), ENOENT);
    const QString file = dir.filePath(QStringLiteral("a.txt"));
    dunmoss::test::writeFile(file, "a");
    EXPECT_EQ(syncFolder(file), ENOTDIR);
}
