#include "tools/Workspace.h"
#include "support/WaitForOpening.h"
#include "NavigationFixture.h"
#include "platform/Bookmark.h"
#include "platform/Localization.h"
#include "text/WorkspaceTree.h"
#include "window/IncomingFiles.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace dunmoss::test {
namespace {

class WorkspaceWindow : public NavigationFixture {
protected:
    static QString itemsMessage(int count) { return QStringLiteral("%1 items").arg(count); }
    QStringList topNames() const {
        QStringList names;
        for (const WorkspaceItem& item : state().workspace.workspaceItems)
            names << QUrl(item.url).fileName();
        return names;
    }
};

TEST_F(WorkspaceWindow, ChosenFolderIsRememberedHeldShownAndListed) {
    const QUrl root = makeFolder("project");
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        writeFile(QStringLiteral("project/") + name, "x");
    makeFolder("project/src/deep");
    makeFolder("project/docs");
    writeFile("project/src/deep/x.c", "x");

    person.folderAnswers.push_back(std::nullopt);
    Workspace(*model).openWorkspace();
    EXPECT_FALSE(state().workspace.workspaceRootURL.has_value());
    EXPECT_FALSE(state().workspace.showWorkspace);

    person.folderAnswers.push_back(root);
    invokeCommand(commands, &EditorCommands::openWorkspace);
    EXPECT_EQ(person.folderPanels.last().message, localizedString("panel.folder.message"));
    EXPECT_EQ(state().workspace.workspaceRootURL, root);
    EXPECT_EQ(state().workspace.activeWorkspaceAccessURL, root);
    EXPECT_TRUE(state().workspace.showWorkspace);
    ASSERT_TRUE(waitForListing());
    // Five top-level entries, folders first; the message counts only those.
    EXPECT_EQ(topNames(), (QStringList{"docs", "src", "a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(state().workspace.workspaceMessage, itemsMessage(5));
    const std::optional<QByteArray> stored = defaults->data(kWorkspaceRootBookmarkKey);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(resolveBookmark(*stored)->path, path("project"));

    // Closing the sidebar keeps everything; toggling it back lists nothing again.
    Workspace(*model).closeWorkspacePanel();
    EXPECT_FALSE(state().workspace.showWorkspace);
    const QList<WorkspaceItem> before = state().workspace.workspaceItems;
    invokeCommand(commands, &EditorCommands::toggleWorkspace);
    EXPECT_TRUE(state().workspace.showWorkspace);
    EXPECT_FALSE(WorkspaceListing::of(*model).isListing());
    EXPECT_TRUE(state().workspace.workspaceItems.isSharedWith(before));
}

TEST_F(WorkspaceWindow, AccessMovesOnlyToANewRootAndAFailedBookmarkKeepsTheStoredOne) {
    const QUrl first = makeFolder("first");
    const QUrl second = makeFolder("second");
    Workspace(*model).openWorkspaceRoot(first);
    const QByteArray firstBookmark = *defaults->data(kWorkspaceRootBookmarkKey);
    Workspace(*model).activateWorkspaceAccess(first);
    EXPECT_EQ(state().workspace.activeWorkspaceAccessURL, first);

    // A folder that is gone by the time its bookmark is made still opens for this run.
    ASSERT_TRUE(QDir(path("second")).removeRecursively());
    Workspace(*model).openWorkspaceRoot(second);
    EXPECT_EQ(state().workspace.workspaceRootURL, second);
    EXPECT_EQ(state().workspace.activeWorkspaceAccessURL, second);
    EXPECT_EQ(*defaults->data(kWorkspaceRootBookmarkKey), firstBookmark);
    ASSERT_TRUE(waitForListing());
    // An unreadable root lists as empty.
    EXPECT_TRUE(state().workspace.workspaceItems.isEmpty());
    EXPECT_EQ(state().workspace.workspaceMessage, itemsMessage(0));
}

TEST_F(WorkspaceWindow, DroppedFolderIsListedWithoutAccessBookmarkOrWelcomeChange) {
    const QUrl held = makeFolder("held");
    const QUrl dropped = makeFolder("dropped");
    writeFile("dropped/readme.md", "# hi");
    Workspace(*model).openWorkspaceRoot(held);
    const QByteArray bookmark = *defaults->data(kWorkspaceRootBookmarkKey);
    model->update([](EditorWindowState& s) { s.panels.showWelcome = true; });

    IncomingFiles(*model).openDroppedURL(dropped);
    ASSERT_TRUE(waitForListing());
    EXPECT_EQ(state().workspace.workspaceRootURL, dropped);
    EXPECT_EQ(topNames(), QStringList{"readme.md"});
    EXPECT_EQ(state().workspace.activeWorkspaceAccessURL, held);
    EXPECT_EQ(*defaults->data(kWorkspaceRootBookmarkKey), bookmark);
    EXPECT_TRUE(state().panels.showWelcome);
}

TEST_F(WorkspaceWindow, TreeLimitsAndSkippedEntriesReachTheSidebar) {
    const QUrl root = makeFolder("big");
    for (int i = 0; i < kWorkspaceFolderEntryLimit + 20; ++i)
        writeFile(QStringLiteral("big/f%1.txt").arg(i, 3, 10, QLatin1Char('0')), "");
    makeFolder("big/.git");
    makeFolder("big/node_modules");
    writeFile("big/.hidden", "");
    QString nested = QStringLiteral("big");
    for (int depth = 0; depth < kWorkspaceTreeDepthLimit + 2; ++depth)
        nested += QStringLiteral("/d");
    makeFolder(nested);

    Workspace(*model).openWorkspaceRoot(root);
    ASSERT_TRUE(waitForListing());
    const QList<WorkspaceItem>& items = state().workspace.workspaceItems;
    ASSERT_EQ(items.size(), kWorkspaceFolderEntryLimit);
    EXPECT_EQ(state().workspace.workspaceMessage, itemsMessage(kWorkspaceFolderEntryLimit));
    EXPECT_EQ(items.first().url.fileName(), "d");
    for (const WorkspaceItem& item : items)
        EXPECT_FALSE(item.url.fileName().startsWith('.') || item.url.fileName() == "node_modules")
            << item.id.toStdString();
    int depth = 0;
    for (const WorkspaceItem* item = &items.first(); item->children && !item->children->isEmpty();
         item = &item->children->first())
        ++depth;
    EXPECT_EQ(depth, kWorkspaceTreeDepthLimit - 1);
}

TEST_F(WorkspaceWindow, OnlyTheNewestListingLands) {
    const QUrl a = makeFolder("a");
    const QUrl b = makeFolder("b");
    writeFile("a/only-in-a.txt", "");
    writeFile("b/only-in-b.txt", "");
    Workspace(*model).openWorkspaceRoot(a);
    Workspace(*model).openWorkspaceRoot(b);
    ASSERT_TRUE(waitForListing());
    QTest::qWait(50);
    EXPECT_EQ(topNames(), QStringList{"only-in-b.txt"});
    EXPECT_EQ(state().workspace.workspaceMessage, "1 item");
    EXPECT_FALSE(state().workspace.isListingWorkspace);

    // Without a root the tree empties at once, and a listing still under way is dropped.
    Workspace(*model).refreshWorkspace();
    model->update([](EditorWindowState& s) { s.workspace.workspaceRootURL.reset(); });
    Workspace(*model).refreshWorkspace();
    QTest::qWait(100);
    EXPECT_TRUE(state().workspace.workspaceItems.isEmpty());
    EXPECT_EQ(state().workspace.workspaceMessage, localizedString("workspace.empty"));
}

TEST_F(WorkspaceWindow, StoredRootIsRestoredOnceAndAVanishedOneIsLeftAlone) {
    const QUrl root = makeFolder("kept");
    writeFile("kept/x.txt", "");
    defaults->setValue(kWorkspaceRootBookmarkKey, makeBookmark(path("kept")));
    Workspace(*model).restoreWorkspaceIfNeeded();
    EXPECT_EQ(state().workspace.workspaceRootURL, root);
    EXPECT_EQ(state().workspace.activeWorkspaceAccessURL, root);
    EXPECT_TRUE(state().workspace.showWorkspace);
    ASSERT_TRUE(waitForListing());
    EXPECT_EQ(topNames(), QStringList{"x.txt"});

    for (const QByteArray& stored : {makeBookmark(path("kept")), QByteArray("garbage")}) {
        model = std::make_unique<EditorWindowModel>(*defaults);
        installNavigationOperations(*table, *model);
        defaults->setValue(kWorkspaceRootBookmarkKey, stored);
        ASSERT_TRUE(QDir(path("kept")).removeRecursively() || !QDir(path("kept")).exists());
        Workspace(*model).restoreWorkspaceIfNeeded();
        EXPECT_FALSE(state().workspace.workspaceRootURL.has_value());
        EXPECT_FALSE(state().workspace.showWorkspace);
        EXPECT_EQ(*defaults->data(kWorkspaceRootBookmarkKey), stored);
    }
}

TEST_F(WorkspaceWindow, OpeningTreeItems) {
    const QUrl file = writeFile("doc.txt", "text");
    Workspace(*model).openWorkspaceItem(WorkspaceItem{path("sub"), makeFolder("sub"), true, {}});
    EXPECT_EQ(state().tabs.size(), 1);
    Workspace(*model).openWorkspaceItem(WorkspaceItem{path("doc.txt"), file, false, {}});
    waitForOpening(*model);
    EXPECT_EQ(active().fileURL, file);
}

TEST(WorkspacePaths, InsideFolderComparesWholeComponents) {
    const auto inside = [](const char* file, const char* folder) {
        return isPathInsideFolder(QUrl::fromLocalFile(file), QUrl::fromLocalFile(folder));
    };
    EXPECT_TRUE(inside("/ws/a/b/c.txt", "/ws"));
    EXPECT_TRUE(inside("/ws", "/ws"));
    EXPECT_TRUE(inside("/ws/", "/ws"));
    EXPECT_FALSE(inside("/wsx/c.txt", "/ws"));
    EXPECT_TRUE(inside("/ws/a/../b/./c.txt", "/ws/b"));
    EXPECT_FALSE(inside("/ws/../other/c.txt", "/ws"));
    EXPECT_TRUE(inside("/anything", "/"));
}

TEST(WorkspacePaths, RegularFileOrDirectory) {
    QTemporaryDir dir;
    const QString file = dir.filePath("f");
    QFile(file).open(QIODevice::WriteOnly);
    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    EXPECT_TRUE(isRegularFileOrDirectory(QUrl::fromLocalFile(file)));
    EXPECT_TRUE(isRegularFileOrDirectory(QUrl::fromLocalFile(dir.path())));
    EXPECT_FALSE(isRegularFileOrDirectory(QUrl::fromLocalFile(fifo)));
    EXPECT_FALSE(isRegularFileOrDirectory(QUrl::fromLocalFile(dir.filePath("vanished"))));
    EXPECT_FALSE(isRegularFileOrDirectory(QUrl("https://example.com/x")));
}

} // namespace
} // namespace dunmoss::test
