#include "FolderFixture.h"

#include "text/FolderBackupRestore.h"
#include "text/FolderReplacementBackup.h"
#include "text/FolderReplacementLeftovers.h"
#include "window/DocumentSaving.h"
#include "window/DocumentWriteQueue.h"
#include "window/ExternalChanges.h"

namespace dunmoss::test {
namespace {

// Replaces "foo" by "bar" in a.txt and b.txt and restores from the backup it leaves.
class FolderRestore : public FolderFixture {
protected:
    void SetUp() override {
        FolderFixture::SetUp();
        put("a.txt", "foo\n");
        put("b.txt", "foo foo\n");
        useFolder(root());
        backup = replaceFooByBar();
        ASSERT_EQ(read("a.txt"), "bar\n");
    }
    // The backup the replacement left.
    QUrl replaceFooByBar() {
        setInputs("foo", "bar");
        person.alertAnswers.push_back(0);
        ops().requestFolderReplaceAll();
        settle();
        const QString message = folder().folderSearchMessage;
        const QUrl made = QUrl::fromLocalFile(message.mid(message.indexOf(u'/')).trimmed());
        EXPECT_TRUE(QFileInfo::exists(made.toLocalFile() + "/manifest.json"))
            << message.toStdString();
        return made;
    }
    void restoreFrom(const QUrl& folder) {
        person.folderAnswers.push_front(folder);
        ops().startBackupRestore();
        settle();
    }

    QUrl backup;
};

TEST_F(FolderRestore, ThroughASymlinkedRootRestoresWithoutAskingForTheTarget) {
    QTemporaryDir elsewhere;
    const QString link = elsewhere.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(tree.path(), link));
    useFolder(QUrl::fromLocalFile(link));
    const int panels = int(person.folderPanels.size());
    restoreFrom(backup);
    EXPECT_EQ(int(person.folderPanels.size()), panels + 1); // only the backup chooser
    EXPECT_EQ(read("a.txt"), "foo\n");
    EXPECT_EQ(read("b.txt"), "foo foo\n");
    EXPECT_EQ(folder().folderSearchMessage, "Restored 2 files.");
    EXPECT_EQ(folder().folderSearchURL, QUrl::fromLocalFile(link));
    EXPECT_EQ(folder().folderSearchResults.size(), 3);
    EXPECT_FALSE(folder().isFolderSearchRunning);
    EXPECT_FALSE(state().errors.errorMessage);
}

TEST_F(FolderRestore, AWrongTargetRestoresNothingAndAMissingManifestFails) {
    QTemporaryDir other;
    useFolder(QUrl::fromLocalFile(other.path()));
    person.folderAnswers = {backup, QUrl::fromLocalFile(other.path())};
    ops().startBackupRestore();
    settle();
    ASSERT_EQ(person.folderPanels.size(), 2);
    EXPECT_TRUE(person.folderPanels[1].message.contains(tree.path()));
    EXPECT_EQ(read("a.txt"), "bar\n");
    EXPECT_EQ(folder().folderSearchURL, QUrl::fromLocalFile(other.path()));
    ASSERT_TRUE(state().errors.errorMessage);
    EXPECT_EQ(*state().errors.errorMessage,
              l("folder-search.restore-backup.root-mismatch.format").arg(tree.path()));
    EXPECT_FALSE(folder().isFolderSearchRunning);
    EXPECT_TRUE(folder().folderSearchMessage.isEmpty());
    model->showNextQueuedError();

    // Cancelling the target panel restores nothing and leaves no progress text either.
    person.folderAnswers = {backup, std::nullopt};
    ops().startBackupRestore();
    settle();
    EXPECT_EQ(read("a.txt"), "bar\n");
    EXPECT_FALSE(folder().isFolderSearchRunning);
    EXPECT_TRUE(folder().folderSearchMessage.isEmpty());

    restoreFrom(QUrl::fromLocalFile(other.path()));
    ASSERT_TRUE(state().errors.errorMessage);
    EXPECT_TRUE(state().errors.errorMessage->startsWith(
        l("folder-search.restore-backup.failed.format").section(u'%', 0, 0)));
    EXPECT_FALSE(folder().isFolderSearchRunning);
    EXPECT_TRUE(folder().folderSearchMessage.isEmpty());
    EXPECT_EQ(read("a.txt"), "bar\n");
}

TEST_F(FolderRestore, TheSearchCenterShowsTheRestoredFolderNotTheReplacedOne) {
    // A run of the replaced folder is recorded and shown.
    setInputs("bar");
    ops().startFolderSearch();
    settle();
    ASSERT_TRUE(state().searchCenter.selectedSearchRunID);
    setInputs("foo");
    restoreFrom(backup);
    EXPECT_FALSE(state().searchCenter.selectedSearchRunID);
    EXPECT_EQ(state().searchCenter.searchCenterFolderResults.size(), 3);
    EXPECT_EQ(state().searchCenter.searchCenterScope, SearchCenterScope::Folder);
}

TEST_F(FolderRestore, WithoutAQueryTheReplacementsHitsAreDropped) {
    setInputs("bar");
    ops().startFolderSearch();
    settle();
    ASSERT_EQ(folder().folderSearchResults.size(), 3);
    setInputs({});
    restoreFrom(backup);
    EXPECT_EQ(read("a.txt"), "foo\n");
    EXPECT_TRUE(folder().folderSearchResults.isEmpty());
    EXPECT_TRUE(state().searchCenter.searchCenterFolderResults.isEmpty());
    EXPECT_FALSE(state().searchCenter.selectedSearchRunID);
    EXPECT_EQ(folder().folderSearchMessage, "Restored 2 files.");
}

TEST_F(FolderRestore, AFailedSearchAfterTheRestoreStillSaysItWasRestored) {
    setInputs("(", {}, {true, false, false});
    restoreFrom(backup);
    EXPECT_EQ(read("a.txt"), "foo\n");
    EXPECT_EQ(folder().folderSearchMessage, "Restored 2 files.");
    ASSERT_TRUE(state().errors.errorMessage);
    EXPECT_FALSE(state().errors.errorMessage->startsWith(
        l("folder-search.restore-backup.failed.format").section(u'%', 0, 0)));
    EXPECT_FALSE(folder().isFolderSearchRunning);
}

// A backup whose replacement did not finish reads as unfinished, not as a failure: one stopped
// before it listed any file (here by an older version, which left no marker) restores nothing
// and says why; one killed later is settled and restores what it replaced.
TEST_F(FolderRestore, AnUnfinishedBackupIsNamedAsSuchNotAsAFailure) {
    const QString stopped =
        folderReplaceBackupsPath() + QStringLiteral("/2026-01-01T00-00-00Z-0123ABCD");
    ASSERT_TRUE(QDir().mkpath(stopped + QStringLiteral("/files")));
    restoreFrom(QUrl::fromLocalFile(stopped));
    EXPECT_FALSE(state().errors.errorMessage);
    EXPECT_EQ(folder().folderSearchMessage, l("folder-search.restore-backup.unfinished"));
    EXPECT_FALSE(folder().isFolderSearchRunning);
    EXPECT_EQ(read("a.txt"), "bar\n");

    const QUrl killed = makeFolderReplaceBackupFolder();
    markFolderReplaceRunUnfinished(killed, root()); // let go at once, as by a kill
    restoreFrom(killed);
    EXPECT_FALSE(state().errors.errorMessage);
    EXPECT_EQ(folder().folderSearchMessage, l("folder-search.restore-backup.done-unfinished.format")
                                                .arg(localizedCount(0, kCountedFiles)));
    EXPECT_TRUE(readFolderReplacementManifest(killed).unfinished);
}

// A tab that saves a replaced file keeps what it saved: the restore leaves that file and names it.
TEST_F(FolderRestore, AFileSavedFromATabAfterTheReplaceKeepsItsTextAndIsNamed) {
    open(QUrl::fromLocalFile(path("a.txt")));
    type("bar\nmine\n");
    model->saving().saveTab(model->activeTabIndex());
    model->saving().writes().waitForWrites();
    ASSERT_EQ(read("a.txt"), "bar\nmine\n");

    restoreFrom(backup);
    EXPECT_EQ(read("a.txt"), "bar\nmine\n");
    EXPECT_EQ(read("b.txt"), "foo foo\n");
    EXPECT_EQ(folder().folderSearchMessage,
              "Restored 1 file. Left as they are, as they changed after the replace: 1 file "
              "(a.txt).");
    EXPECT_FALSE(active().hasExternalChanges);
    EXPECT_FALSE(tabIsModified(active()));
}

// Tabs open on the files while they are replaced and put back: one whose text the file holds
// exactly again is no longer changed on disk, now nor at the next poll; one whose text differs
// still is.
TEST_F(FolderRestore, ATabWhoseTextTheRestoredFileHoldsAgainIsNoLongerChangedOnDisk) {
    restoreFrom(backup);
    open(QUrl::fromLocalFile(path("a.txt")));
    const QUuid kept = state().tabs.at(model->activeTabIndex()).id;
    open(QUrl::fromLocalFile(path("b.txt")));
    const QUuid typed = state().tabs.at(model->activeTabIndex()).id;
    type("foo foo\nmine\n");
    const QUrl second = replaceFooByBar();
    ExternalChanges(*model).checkExternalChanges();
    ASSERT_TRUE(model->tab(kept)->hasExternalChanges);
    ASSERT_TRUE(model->tab(typed)->hasExternalChanges);
    ASSERT_EQ(state().decisions.externalChangeTabID, kept);

    restoreFrom(second);
    ASSERT_EQ(read("a.txt"), "foo\n");
    EXPECT_FALSE(model->tab(kept)->hasExternalChanges);
    EXPECT_FALSE(tabIsModified(*model->tab(kept)));
    EXPECT_TRUE(model->tab(typed)->hasExternalChanges);
    // The question moves on to the tab still changed on disk.
    EXPECT_EQ(state().decisions.externalChangeTabID, typed);
    ExternalChanges(*model).checkExternalChanges();
    EXPECT_FALSE(model->tab(kept)->hasExternalChanges);
}

} // namespace
} // namespace dunmoss::test
