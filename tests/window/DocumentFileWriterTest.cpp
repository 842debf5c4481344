// An atomic write counts only once the disk confirmed it: a sync that fails is a failed write.
#include "WindowFixture.h"
#include "platform/AtomicFileWrite.h"
#include "platform/FileError.h"
#include "platform/Localization.h"
#include "support/FailingSyncs.h"
#include "support/WaitForOpening.h"
#include "window/DocumentOpening.h"
#include "window/WindowNotices.h"

#include <QDir>

namespace dunmoss::test {
namespace {

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

} // namespace dunmoss::test
