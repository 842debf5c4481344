// An atomic write counts only once the disk confirmed it: a sync that fails is a failed write.
#include "WindowFixture.h"
#include "platform/AtomicFileWrite.h"
#include "platform/FileError.h"
#include "platform/Localization.h"
#include "support/FailingSyncs.h"
#include "support/WaitForOpening.h"
#include "window/DocumentOpening.h"
#include "window/ExternalChanges.h"
#include "window/WindowNotices.h"

#include <QDir>
#include <atomic>
#include <unistd.h>
#include <utime.h>

namespace dunmoss::test {
namespace {

// A disk whose second file-data sync fails: for a file written in place, that of the file itself,
// after the copy of its old bytes was synced; the put-back's sync succeeds again.
std::atomic<int> fileSyncs{0};
void failTheSecondFileSync() {
    failAtomicWriteSyncForTesting(AtomicWriteSync::FileData, ++fileSyncs == 2 ? EIO : 0);
}

class AtomicWriteSyncs : public WindowFixture {
protected:
    QStringList folderEntries() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    // The error of writing the bytes, or nothing when the write succeeded.
    static std::optional<FileError> writeFailure(const QString& path, const QByteArray& bytes) {
        try {
            writeBytesAtomically(bytes, path);
        } catch (const FileError& error) {
            return error;
        }
        return std::nullopt;
    }
    // What the window shows of a failure, as an alert or on its message bar.
    QString shownFailures() const {
        QStringList shown{state().errors.errorMessage.value_or(QString())};
        for (const WindowNotice& notice : state().notices.shown)
            shown.append(notice.message);
        return shown.join(u'\n');
    }
    // Opens the file and types the text over it; answers the tab's index.
    int openAndEdit(const QUrl& url, const QString& text) {
        model->opening().openDocument(url, std::nullopt, std::nullopt, false);
        waitForOpening(*model);
        const int index = model->activeTabIndex();
        model->setTabText(tabAt(index).id, text);
        return index;
    }
    static QString syncFailedText() {
        return localizedString(QStringLiteral("text-file.sync-failed.format"))
            .section(QStringLiteral("%1"), 0, 0);
    }
};

} // namespace

TEST_F(AtomicWriteSyncs, ANewFileTheDiskDidNotTakeLeavesTheOldOneAndNoTemporary) {
    const QUrl url = writeFile(QStringLiteral("notes.txt"), "old contents");
    const QStringList before = folderEntries();
    {
        const FailingSyncs disk(AtomicWriteSync::FileData);
        const std::optional<FileError> failure = writeFailure(url.toLocalFile(), "new contents");
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->path(), url.toLocalFile());
        EXPECT_TRUE(failure->localizedDescription().contains(QStringLiteral("notes.txt")));
        EXPECT_TRUE(failure->localizedDescription().contains(syncFailedText()));
        EXPECT_TRUE(writeFailure(path(QStringLiteral("fresh.txt")), "x"));
    }
    EXPECT_EQ(readFile(url), QByteArray("old contents"));
    EXPECT_EQ(folderEntries(), before) << "no temporary or new file is left behind";

    // The disk answering again, the same write lands.
    EXPECT_FALSE(writeFailure(url.toLocalFile(), "new contents"));
    EXPECT_EQ(readFile(url), QByteArray("new contents"));
}

TEST_F(AtomicWriteSyncs, AFolderTheDiskDidNotSyncAfterTheRenameIsAFailedWrite) {
    const QUrl url = writeFile(QStringLiteral("notes.txt"), "old contents");
    const FailingSyncs disk(AtomicWriteSync::Folder);
    const std::optional<FileError> failure = writeFailure(url.toLocalFile(), "new contents");
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->localizedDescription().contains(syncFailedText()));
    // The rename was done: the new bytes are in place, only not known to survive a power cut.
    EXPECT_EQ(readFile(url), QByteArray("new contents"));
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("notes.txt")});
}

TEST_F(AtomicWriteSyncs, ASaveTheDiskDidNotTakeIsShownAndTheTabStaysModified) {
    const QUrl url = writeFile(QStringLiteral("notes.txt"), "old contents");
    const int index = openAndEdit(url, QStringLiteral("new contents"));
    const QStringList before = folderEntries();

    std::optional<bool> saved;
    {
        const FailingSyncs disk(AtomicWriteSync::FileData);
        model->saving().saveTab(index, [&](bool done) { saved = done; });
        written();
    }
    EXPECT_EQ(saved, false);
    EXPECT_TRUE(shownFailures().contains(QStringLiteral("notes.txt")));
    EXPECT_TRUE(shownFailures().contains(syncFailedText()));
    EXPECT_TRUE(tabIsModified(tabAt(index)));
    EXPECT_EQ(tabAt(index).savedSnapshot, QStringLiteral("old contents"));
    EXPECT_EQ(readFile(url), QByteArray("old contents"));
    EXPECT_EQ(folderEntries(), before);
}

TEST_F(AtomicWriteSyncs, AfterAnUnconfirmedRenameTheTabsNextSaveIsNotRefusedAsChangedOnDisk) {
    const QUrl url = writeFile(QStringLiteral("notes.txt"), "old contents");
    const int index = openAndEdit(url, QStringLiteral("new contents"));
    std::optional<bool> saved;
    {
        const FailingSyncs disk(AtomicWriteSync::Folder);
        model->saving().saveTab(index, [&](bool done) { saved = done; });
        written();
    }
    EXPECT_EQ(saved, false);
    EXPECT_TRUE(tabIsModified(tabAt(index)));
    EXPECT_FALSE(tabAt(index).hasExternalChanges);

    // The file holds this tab's own bytes: saving again, with the disk answering, goes through.
    model->setTabText(tabAt(index).id, QStringLiteral("newer contents"));
    saved.reset();
    model->saving().saveTab(index, [&](bool done) { saved = done; });
    written();
    EXPECT_EQ(saved, true);
    EXPECT_FALSE(tabIsModified(tabAt(index)));
    EXPECT_EQ(readFile(url), QByteArray("newer contents"));
}

TEST_F(AtomicWriteSyncs, AfterItsOldBytesWerePutBackTheTabsNextSaveIsNotRefused) {
    const QUrl url = writeFile(QStringLiteral("notes.txt"), "old contents");
    const QByteArray native = QFile::encodeName(url.toLocalFile());
    // A second name: the file is written in place. An old date, so the put-back surely moves it.
    ASSERT_EQ(::link(native.constData(), QFile::encodeName(path(QStringLiteral("other.txt")))), 0);
    utimbuf times{1'000'000'000, 1'000'000'000};
    ASSERT_EQ(::utime(native.constData(), &times), 0);
    const int index = openAndEdit(url, QStringLiteral("new contents"));

    std::optional<bool> saved;
    fileSyncs = 0;
    beforeAtomicWriteSyncForTesting(&failTheSecondFileSync);
    model->saving().saveTab(index, [&](bool done) { saved = done; });
    written();
    beforeAtomicWriteSyncForTesting(nullptr);
    failAtomicWriteSyncForTesting(AtomicWriteSync::FileData, 0);
    ASSERT_EQ(saved, false);
    ASSERT_GE(fileSyncs.load(), 3) << "the old bytes were put back and synced";
    EXPECT_EQ(readFile(url), QByteArray("old contents"));
    EXPECT_TRUE(shownFailures().contains(syncFailedText()));
    EXPECT_TRUE(tabIsModified(tabAt(index)));

    // The put-back is the program's own: the poll says nothing, and a save with the disk
    // answering goes through to both names.
    ExternalChanges(*model).checkExternalChanges();
    EXPECT_FALSE(tabAt(index).hasExternalChanges);
    saved.reset();
    model->saving().saveTab(index, [&](bool done) { saved = done; });
    written();
    EXPECT_EQ(saved, true);
    EXPECT_FALSE(tabIsModified(tabAt(index)));
    EXPECT_FALSE(tabAt(index).hasExternalChanges);
    EXPECT_EQ(readFile(QUrl::fromLocalFile(path(QStringLiteral("other.txt")))),
              QByteArray("new contents"));
}

} // namespace dunmoss::test
