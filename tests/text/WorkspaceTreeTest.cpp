#include "text/WorkspaceTree.h"
#include "FolderTree.h"
#include "platform/Bookmark.h"
#include "platform/Defaults.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dunmoss;
using dunmoss::test::FolderTree;

namespace {

QStringList names(const QList<WorkspaceItem>& items) {
    QStringList found;
    for (const WorkspaceItem& item : items)
        found.append(item.url.fileName() + (item.isDirectory ? QStringLiteral("/") : QString()));
    return found;
}

class WorkspaceTree : public ::testing::Test {
protected:
    FolderTree tree;
};

} // namespace

TEST_F(WorkspaceTree, ListsFoldersFirstByNameIgnoringCaseAndLeavesOutHiddenAndSkippedNames) {
    for (const char* folder : {".git", "node_modules", "src", "b", "A", "DerivedData"})
        tree.mkdir(QString::fromLatin1(folder));
    tree.write(QStringLiteral(".env"), "x");
    tree.write(QStringLiteral("c"), "x");
    tree.write(QStringLiteral("B.txt"), "x");
    const QList<WorkspaceItem> items = loadWorkspaceTree(tree.rootURL(), 0);
    EXPECT_EQ(names(items), (QStringList{"A/", "b/", "src/", "B.txt", "c"}));
    EXPECT_EQ(items[0].id, tree.path(QStringLiteral("A")));
    ASSERT_TRUE(items[0].children.has_value());
    EXPECT_TRUE(items[0].children->isEmpty());
    EXPECT_FALSE(items[3].children.has_value());

    EXPECT_TRUE(workspaceEntryPrecedes(tree.url("b"), tree.url("B.txt")));
    EXPECT_TRUE(workspaceEntryPrecedes(tree.url("B.txt"), tree.url("c")));
    EXPECT_FALSE(workspaceEntryPrecedes(tree.url("c"), tree.url("B.txt")));
}

TEST_F(WorkspaceTree, KeepsThreeHundredEntriesAfterSortingSoFoldersSurviveTheCut) {
    for (int i = 0; i < 350; ++i)
        tree.write(QStringLiteral("many/f%1").arg(i, 3, 10, QLatin1Char('0')), "x");
    const QList<WorkspaceItem> many = loadWorkspaceTree(tree.url("many"), 0);
    ASSERT_EQ(many.size(), 300);
    EXPECT_EQ(many.first().url.fileName(), QStringLiteral("f000"));
    EXPECT_EQ(many.last().url.fileName(), QStringLiteral("f299"));

    for (int i = 0; i < 400; ++i)
        tree.write(QStringLiteral("mixed/%1.txt").arg(i, 3, 10, QLatin1Char('0')), "x");
    for (int i = 0; i < 10; ++i)
        tree.mkdir(QStringLiteral("mixed/z%1").arg(i));
    const QList<WorkspaceItem> mixed = loadWorkspaceTree(tree.url("mixed"), 0);
    ASSERT_EQ(mixed.size(), 300);
    EXPECT_EQ(std::count_if(mixed.begin(), mixed.end(),
                            [](const WorkspaceItem& item) { return item.isDirectory; }),
              10);
    EXPECT_EQ(mixed[10].url.fileName(), QStringLiteral("000.txt"));
}

TEST_F(WorkspaceTree, StopsSixLevelsBelowTheRootAndNeverEntersALink) {
    tree.mkdir(QStringLiteral("1/2/3/4/5/6/7"));
    tree.symlink(tree.root(), QStringLiteral("1/loop"));
    const QList<WorkspaceItem> items = loadWorkspaceTree(tree.rootURL(), 0);
    const WorkspaceItem* level = &items[0];
    for (int depth = 1; depth < 6; ++depth) {
        ASSERT_TRUE(level->children && !level->children->isEmpty()) << depth;
        level = &level->children->first();
    }
    EXPECT_EQ(level->url.fileName(), QStringLiteral("6"));
    ASSERT_TRUE(level->children.has_value());
    EXPECT_TRUE(level->children->isEmpty());

    const WorkspaceItem& loop = items[0].children->last();
    EXPECT_EQ(loop.url.fileName(), QStringLiteral("loop"));
    EXPECT_FALSE(loop.isDirectory);
    EXPECT_FALSE(loop.children.has_value());
}

TEST_F(WorkspaceTree, AnUnreadableFolderOrACancelledListingGivesWhatItHas) {
    EXPECT_TRUE(loadWorkspaceTree(tree.url("missing"), 0).isEmpty());
    tree.write(QStringLiteral("a"), "x");
    EXPECT_TRUE(loadWorkspaceTree(tree.rootURL(), 0, [] { return true; }).isEmpty());
}

TEST_F(WorkspaceTree, RestoresTheRootFromItsBookmarkAndRefreshesAStaleOne) {
    QTemporaryDir settingsDir;
    Defaults defaults(settingsDir.filePath(QStringLiteral("settings.ini")));
    const QString key = QString::fromLatin1(kWorkspaceRootBookmarkKey);
    EXPECT_FALSE(restoreWorkspaceRoot(defaults).has_value());

    defaults.setValue(key, QByteArray("not a bookmark"));
    EXPECT_FALSE(restoreWorkspaceRoot(defaults).has_value());
    EXPECT_EQ(defaults.data(key), QByteArray("not a bookmark"));

    tree.mkdir(QStringLiteral("project"));
    const QByteArray bookmark = makeBookmark(tree.path(QStringLiteral("project")));
    defaults.setValue(key, bookmark);
    EXPECT_EQ(restoreWorkspaceRoot(defaults), tree.url("project"));
    EXPECT_EQ(defaults.data(key), bookmark);

    // Another folder under the same name: still resolves, and the bookmark is renewed. The old
    // folder is kept (renamed), so the new one cannot reuse its inode.
    ASSERT_TRUE(QDir(tree.root()).rename(QStringLiteral("project"), QStringLiteral("old")));
    tree.mkdir(QStringLiteral("project"));
    EXPECT_EQ(restoreWorkspaceRoot(defaults), tree.url("project"));
    EXPECT_NE(defaults.data(key), bookmark);
    EXPECT_EQ(resolveBookmark(*defaults.data(key))->isStale, false);

    ASSERT_TRUE(QDir(tree.path(QStringLiteral("project"))).removeRecursively());
    const auto stored = defaults.data(key);
    EXPECT_FALSE(restoreWorkspaceRoot(defaults).has_value());
    EXPECT_EQ(defaults.data(key), stored);
}

// Names that are not valid UTF-8 are listed where they are, under a readable form, and cannot
// be opened; nothing below such a folder can either.
TEST_F(WorkspaceTree, NamesThatAreNotUtf8AreListedReadablyButNotOpenable) {
    tree.write(QStringLiteral("a.txt"), "x");
    tree.writeNative("caf\xE9.txt", "x");
    tree.writeNative("d\xFF/b.txt", "x");
    const QList<WorkspaceItem> items = loadWorkspaceTree(tree.rootURL(), 0);
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0].id, tree.path(QStringLiteral("d\\xFF")));
    EXPECT_TRUE(items[0].isDirectory);
    EXPECT_FALSE(items[0].isOpenable);
    ASSERT_TRUE(items[0].children && items[0].children->size() == 1);
    const WorkspaceItem& inner = items[0].children->first();
    EXPECT_EQ(inner.id, tree.path(QStringLiteral("d\\xFF/b.txt")));
    EXPECT_FALSE(inner.isOpenable);
    EXPECT_TRUE(inner.url.isEmpty());
    EXPECT_TRUE(items[1].isOpenable);
    EXPECT_EQ(items[2].id, tree.path(QStringLiteral("caf\\xE9.txt")));
    EXPECT_FALSE(items[2].isOpenable);
    // Only what can be opened is offered to open.
    const QList<WorkspaceItem> files = flattenWorkspaceItems(items);
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(files[0].url, tree.url("a.txt"));
}
