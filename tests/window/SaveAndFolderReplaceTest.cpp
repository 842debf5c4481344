// A tab's save and a folder replace of the same file never both land: one writer holds the file
// at a time, and each looks at it again right before its rename, so the later one finds the
// earlier one's bytes and leaves them (the replace names the file, the tab is told of a change
// on disk), and no backup claims a file its run did not write.
#include "WindowFixture.h"
#include "support/HeldWrites.h"
#include "support/WaitForOpening.h"
#include "text/FolderReplacement.h"
#include "text/FolderReplacementManifest.h"
#include "text/FolderReplacementRun.h"
#include "window/DocumentOpening.h"

#include <QDir>
#include <future>
#include <thread>

namespace dunmoss::test {
namespace {

class SaveAndFolderReplace : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        QDir(dir.path()).mkpath(QStringLiteral("tree"));
        url = writeFile(QStringLiteral("tree/f.txt"), "struct\n");
        model->opening().openDocument(url, std::nullopt, std::nullopt, false);
        waitForOpening(*model);
        index = model->activeTabIndex();
        model->setTabText(tabAt(index).id, QStringLiteral("the tab's edit\n"));
    }
    void TearDown() override { setFolderReplacementStepHook({}); }

    FolderReplacementOutcome replace() const {
        return replaceInFolder(QStringLiteral("struct"), QStringLiteral("a record"),
                               QUrl::fromLocalFile(path(QStringLiteral("tree"))), {}, {},
                               TextSearchOptions{false, true, false});
    }
    static QStringList manifestFiles(const FolderReplacementOutcome& outcome) {
        if (!outcome.backupURL)
            return {};
        QFile file(outcome.backupURL->toLocalFile() + QStringLiteral("/manifest.json"));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return decodeFolderReplacementManifest(file.readAll()).files;
    }

    QUrl url;
    int index = 0;
};

} // namespace

// The replace lands while the save waits for its sync, on the save's own thread (which the hold
// lets through): the save's look right before its rename finds the replace's bytes and leaves
// them, and the tab is told its file changed on disk.
TEST_F(SaveAndFolderReplace, AReplaceThatLandsBeforeTheSavesRenameWinsAndTheSaveIsRefused) {
    std::optional<FolderReplacementOutcome> replaced;
    DocumentWriteQueue::setBeforeSyncHook([&](const QString&) {
        if (!replaced)
            replaced = replace();
    });
    std::optional<bool> saved;
    model->saving().saveTab(index, [&](bool done) { saved = done; });
    written();
    DocumentWriteQueue::setBeforeSyncHook({});

    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced->fileCount, 1);
    EXPECT_EQ(manifestFiles(*replaced), QStringList{QStringLiteral("f.txt")});
    EXPECT_EQ(readFile(url), QByteArray("a record\n"));
    EXPECT_EQ(saved, false);
    EXPECT_TRUE(tabAt(index).hasExternalChanges);
    EXPECT_EQ(tabAt(index).document.text, QStringLiteral("the tab's edit\n"));
}

// The replace reaches its rename, on a thread of its own, while the save holds the file: the
// save lands first, and the replace leaves the file, names it, and keeps no backup that a
// restore could put back over the save.
TEST_F(SaveAndFolderReplace, AReplaceWhoseRenameComesWhileASaveIsUnderWayLeavesTheSave) {
    std::promise<void> atRename;
    bool signalled = false;
    setFolderReplacementStepHook([&](FolderReplacementStep step) {
        if (step == FolderReplacementStep::Rename && !std::exchange(signalled, true))
            atRename.set_value();
    });
    std::optional<bool> saved;
    FolderReplacementOutcome replaced;
    {
        HeldWrites disk;
        model->saving().saveTab(index, [&](bool done) { saved = done; });
        ASSERT_TRUE(disk.reached(1));
        std::thread replacer([&] { replaced = replace(); });
        const bool reached =
            atRename.get_future().wait_for(std::chrono::seconds(30)) == std::future_status::ready;
        disk.release();
        replacer.join();
        ASSERT_TRUE(reached);
    }
    written();

    EXPECT_EQ(readFile(url), QByteArray("the tab's edit\n"));
    EXPECT_EQ(saved, true);
    EXPECT_FALSE(tabAt(index).hasExternalChanges);
    EXPECT_EQ(replaced.fileCount, 0);
    EXPECT_EQ(replaced.filesChangedDuringReplace, QList<QUrl>{url});
    EXPECT_FALSE(replaced.backupURL);
    EXPECT_TRUE(manifestFiles(replaced).isEmpty());
}

// A replace that changed the file after the tab last saw it is a change on disk for the tab:
// its next save is refused, whether or not a save of the tab was still on its way.
TEST_F(SaveAndFolderReplace, TheTabsSaveAfterAReplaceChangedItsFileIsRefused) {
    const FolderReplacementOutcome replaced = replace();
    ASSERT_EQ(replaced.fileCount, 1);
    std::optional<bool> saved;
    model->saving().saveTab(index, [&](bool done) { saved = done; });
    written();
    EXPECT_EQ(saved, false);
    EXPECT_TRUE(tabAt(index).hasExternalChanges);
    EXPECT_EQ(readFile(url), QByteArray("a record\n"));
}

} // namespace dunmoss::test
