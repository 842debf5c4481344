#include "window/DocumentSaving.h"
#include "WindowFixture.h"
#include "platform/FileError.h"
#include "platform/FileStat.h"
#include "platform/Localization.h"
#include "support/HeldWrites.h"
#include "support/TestFiles.h"
#include "support/WaitForOpening.h"
#include "window/DocumentOpening.h"
#include "window/DocumentWriteQueue.h"
#include "window/ExternalChanges.h"
#include "window/TabClosing.h"
#include "window/WindowDerivedValues.h"
#include "window/WindowNotices.h"

#include <QDir>
#include <QFileInfo>
#include <chrono>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

namespace dunmoss::test {
namespace {

class DocumentSave : public WindowFixture {
protected:
    // Opens a file in the window and returns its tab's index.
    int open(const QUrl& url) {
        model->opening().openDocument(url, std::nullopt, std::nullopt, false);
        waitForOpening(*model);
        return model->activeTabIndex();
    }

    bool save(int index) {
        std::optional<bool> result;
        model->saving().saveTab(index, [&](bool saved) { result = saved; });
        written();
        EXPECT_TRUE(result.has_value()) << "the scripted panel answers at once";
        return result.value_or(false);
    }

    void saveAs() {
        model->saving().saveKeyboardTabAs();
        written();
    }

    void edit(int index, const QString& text) { model->setTabText(tabAt(index).id, text); }

    QString status() const { return state().findMessage; }

    // What the message bar tells of a failed save of the tab: never an alert, which would take
    // the keys typed after the command.
    QString saveFailure(int index) const {
        EXPECT_FALSE(state().errors.errorMessage.has_value());
        for (const WindowNotice& notice : state().notices.shown)
            if (notice.cause == saveNoticeCause(tabAt(index).id))
                return notice.message;
        return {};
    }

    // Two tabs of left.txt and right.txt, each with an unsaved edit.
    struct TwoTabs {
        QUrl left, right;
        QUuid leftID, rightID;
    };
    TwoTabs twoEditedTabs() {
        TwoTabs tabs{writeFile(QStringLiteral("left.txt"), "left"),
                     writeFile(QStringLiteral("right.txt"), "right"),
                     {},
                     {}};
        tabs.leftID = tabAt(open(tabs.left)).id;
        tabs.rightID = tabAt(open(tabs.right)).id;
        edit(*model->tabIndex(tabs.leftID), QStringLiteral("left, edited"));
        edit(*model->tabIndex(tabs.rightID), QStringLiteral("right, edited"));
        return tabs;
    }
};

TEST_F(DocumentSave, WritesInTheTabsLineEndingAndMarksItSaved) {
    const QUrl url = writeFile(QStringLiteral("crlf.txt"), "a\r\nb");
    const int index = open(url);
    ASSERT_EQ(tabAt(index).document.lineEnding, TextLineEnding::CarriageReturnLineFeed);
    edit(index, QStringLiteral("a\nb\nc"));
    ASSERT_TRUE(tabIsModified(tabAt(index)));
    model->setFindMessage(QStringLiteral("before"));

    EXPECT_TRUE(save(index));
    EXPECT_EQ(readFile(url), QByteArray("a\r\nb\r\nc"));
    EXPECT_FALSE(tabIsModified(tabAt(index)));
    EXPECT_EQ(tabAt(index).lastKnownFileSize, 7);
    EXPECT_EQ(tabAt(index).lastKnownModificationDate, fileModificationDate(url.toLocalFile()));
    EXPECT_EQ(recentFiles.last(), url);
    EXPECT_EQ(sessionSaves, 1);
    // A successful save says nothing.
    EXPECT_EQ(status(), QStringLiteral("before"));

    model->update([&](EditorWindowState& s) {
        s.tabs[index].document.lineEnding = TextLineEnding::CarriageReturn;
    });
    EXPECT_TRUE(save(index));
    EXPECT_EQ(readFile(url), QByteArray("a\rb\rc"));
}

TEST_F(DocumentSave, TheTabIsSavedAtTheTextOfTheSaveAndEditsMadeMeanwhileKeepItModified) {
    const QUrl url = writeFile(QStringLiteral("notes.txt"), "first");
    const int index = open(url);
    edit(index, QStringLiteral("first, saved"));
    std::optional<bool> result;
    {
        HeldWrites disk;
        model->saving().saveTab(index, [&](bool saved) { result = saved; });
        ASSERT_TRUE(disk.reached(1));
        // The window goes on while the disk works.
        edit(index, QStringLiteral("first, saved, and more"));
        EXPECT_FALSE(result.has_value());
        EXPECT_TRUE(model->saving().isWriting(tabAt(index).id));
        EXPECT_EQ(readFile(url), QByteArray("first"));
    }
    written();
    EXPECT_EQ(result, true);
    EXPECT_EQ(readFile(url), QByteArray("first, saved"));
    EXPECT_EQ(tabAt(index).savedSnapshot, QStringLiteral("first, saved"));
    EXPECT_EQ(tabAt(index).document.text, QStringLiteral("first, saved, and more"));
    EXPECT_TRUE(tabIsModified(tabAt(index)));
    EXPECT_FALSE(tabAt(index).hasExternalChanges);
    EXPECT_EQ(tabAt(index).lastKnownModificationDate, fileModificationDate(url.toLocalFile()));
    // Taken back to what the file holds, the tab is saved; the next save writes the newer text.
    edit(index, QStringLiteral("first, saved"));
    EXPECT_FALSE(tabIsModified(tabAt(index)));
    edit(index, QStringLiteral("first, saved, and more"));
    EXPECT_TRUE(save(index));
    EXPECT_EQ(readFile(url), QByteArray("first, saved, and more"));
    EXPECT_FALSE(tabIsModified(tabAt(index)));
}

TEST_F(DocumentSave, ASecondSaveQueuesBehindTheFirstAndNeitherTakesTheOtherForAChange) {
    const QUrl url = writeFile(QStringLiteral("notes.txt"), "zero");
    const int index = open(url);
    const QUuid tabID = tabAt(index).id;
    QList<bool> results;
    const auto keep = [&](bool saved) { results.append(saved); };
    {
        HeldWrites disk;
        edit(index, QStringLiteral("one"));
        model->saving().saveTab(index, keep);
        ASSERT_TRUE(disk.reached(1));
        edit(index, QStringLiteral("one, two"));
        model->saving().saveTab(index, keep);
        EXPECT_TRUE(results.isEmpty());
    }
    written();
    EXPECT_EQ(results, (QList<bool>{true, true}));
    EXPECT_EQ(readFile(url), QByteArray("one, two"));
    EXPECT_FALSE(tabIsModified(*model->tab(tabID)));
    EXPECT_FALSE(model->tab(tabID)->hasExternalChanges);
    EXPECT_FALSE(state().decisions.externalChangeTabID.has_value());
    EXPECT_EQ(sessionSaves, 2);
}

TEST_F(DocumentSave, ThePollDoesNotTakeTheSavesOwnWriteForAChangeByAnotherProgram) {
    const QUrl url = writeFile(QStringLiteral("notes.txt"), "old");
    const int index = open(url);
    edit(index, QStringLiteral("new and longer"));
    {
        HeldWrites disk;
        model->saving().saveTab(index);
        ASSERT_TRUE(disk.reached(1));
    }
    // The file is replaced before the window hears of it.
    for (int wait = 0; wait < 2000 && readFile(url) != "new and longer"; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(readFile(url), QByteArray("new and longer"));
    ExternalChanges(*model).checkExternalChanges();
    EXPECT_FALSE(tabAt(index).hasExternalChanges);
    written();
    ExternalChanges(*model).checkExternalChanges();
    EXPECT_FALSE(tabAt(index).hasExternalChanges);
    EXPECT_FALSE(state().decisions.externalChangeTabID.has_value());
    EXPECT_FALSE(tabIsModified(tabAt(index)));
}

TEST_F(DocumentSave, ClosingATabBeingSavedWaitsForTheWriteAndAsksOnlyAboutLaterEdits) {
    const QUrl a = writeFile(QStringLiteral("a.txt"), "a");
    const int indexA = open(a);
    const QUuid tabA = tabAt(indexA).id;
    edit(indexA, QStringLiteral("a, saved"));
    {
        HeldWrites disk;
        model->saving().saveTab(indexA);
        ASSERT_TRUE(disk.reached(1));
        TabClosing(*model).requestCloseTab(tabA);
        EXPECT_TRUE(model->tab(tabA));
        EXPECT_FALSE(state().decisions.showDiscardAlert);
    }
    written();
    EXPECT_FALSE(model->tab(tabA)) << "closed once written";
    EXPECT_EQ(readFile(a), QByteArray("a, saved"));

    const QUrl b = writeFile(QStringLiteral("b.txt"), "b");
    const int indexB = open(b);
    const QUuid tabB = tabAt(indexB).id;
    edit(indexB, QStringLiteral("b, saved"));
    {
        HeldWrites disk;
        model->saving().saveTab(indexB);
        ASSERT_TRUE(disk.reached(1));
        TabClosing(*model).requestCloseTab(tabB);
        edit(*model->tabIndex(tabB), QStringLiteral("b, saved, and typed on"));
    }
    written();
    ASSERT_TRUE(model->tab(tabB)) << "what was typed meanwhile is not thrown away";
    EXPECT_TRUE(state().decisions.showDiscardAlert);
    EXPECT_EQ(state().decisions.pendingCloseTabID, tabB);
    EXPECT_EQ(readFile(b), QByteArray("b, saved"));

    // Save in the question: the tab closes only when nothing was typed after its save.
    {
        HeldWrites disk;
        TabClosing(*model).saveAndClosePendingTab();
        ASSERT_TRUE(disk.reached(1));
        edit(*model->tabIndex(tabB), QStringLiteral("b, saved, and typed on, and on"));
    }
    written();
    ASSERT_TRUE(model->tab(tabB));
    EXPECT_EQ(readFile(b), QByteArray("b, saved, and typed on"));
    EXPECT_TRUE(tabIsModified(*model->tab(tabB)));
}

TEST_F(DocumentSave, AnUnmodifiedTabIsStillRewritten) {
    const QUrl url = writeFile(QStringLiteral("same.txt"), "same");
    const int index = open(url);
    const std::optional<FileIdentity> before = fileIdentity(url.toLocalFile());
    EXPECT_TRUE(save(index));
    EXPECT_EQ(readFile(url), QByteArray("same"));
    // Replaced atomically by a new file.
    EXPECT_NE(fileIdentity(url.toLocalFile()), before);
    EXPECT_EQ(tabAt(index).lastKnownModificationDate, fileModificationDate(url.toLocalFile()));
}

TEST_F(DocumentSave, ASaveThroughASymbolicLinkWritesTheTargetAndKeepsItsPermissions) {
    const QUrl target = writeFile(QStringLiteral("target.txt"), "old");
    const QByteArray targetPath = QFile::encodeName(target.toLocalFile());
    ASSERT_EQ(::chmod(targetPath.constData(), 0640), 0);
    const QString link = path(QStringLiteral("link.txt"));
    ASSERT_TRUE(QFile::link(target.toLocalFile(), link));
    const int index = open(QUrl::fromLocalFile(link));
    edit(index, QStringLiteral("new"));
    EXPECT_TRUE(save(index));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readFile(target), QByteArray("new"));
    struct stat status {};
    ASSERT_EQ(::stat(targetPath.constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
}

TEST_F(DocumentSave, AReadOnlyPreviewIsNeverWrittenOverItsFile) {
    const QUrl url = writeFile(QStringLiteral("big.log"), QByteArray(5'000'001, 'x'));
    const int index = open(url);
    ASSERT_TRUE(tabAt(index).isReadOnly);
    EXPECT_FALSE(save(index));
    EXPECT_EQ(status(), localizedString(QStringLiteral("large-file.read-only-save-blocked")));
    EXPECT_EQ(fileSize(url.toLocalFile()), 5'000'001);

    saveAs();
    EXPECT_TRUE(person.savePanels.isEmpty()) << "no panel for a read-only tab";
}

TEST_F(DocumentSave, AnEditedPreviewMaySaveAsElsewhereButNeverOverItsFile) {
    const QUrl url = writeFile(QStringLiteral("big.log"), QByteArray(5'000'001, 'x'));
    const int index = open(url);
    // What a restored, edited preview looks like: editable, still only the file's beginning.
    model->update([&](EditorWindowState& s) { s.tabs[index].isReadOnly = false; });
    edit(index, QStringLiteral("only the start"));

    EXPECT_FALSE(save(index));
    EXPECT_EQ(status(), localizedString(QStringLiteral("large-file.read-only-save-blocked")));
    model->setFindMessage(QString());

    person.saveAnswers.push_back(QUrl::fromLocalFile(path(QStringLiteral("sub/../big.log"))));
    QDir(dir.path()).mkpath(QStringLiteral("sub"));
    saveAs();
    EXPECT_EQ(status(), localizedString(QStringLiteral("large-file.read-only-save-blocked")));
    EXPECT_EQ(fileSize(url.toLocalFile()), 5'000'001);
    EXPECT_EQ(tabAt(index).fileURL, url);

    const QUrl copy = QUrl::fromLocalFile(path(QStringLiteral("start.log")));
    person.saveAnswers.push_back(copy);
    saveAs();
    EXPECT_EQ(readFile(copy), QByteArray("only the start"));
    EXPECT_EQ(tabAt(index).fileURL, copy);
    EXPECT_FALSE(tabAt(index).isLargeFilePreview);
    // The new file holds the whole text, so Save may write it from now on.
    edit(index, QStringLiteral("only the start, edited"));
    EXPECT_TRUE(save(index));
    EXPECT_EQ(readFile(copy), QByteArray("only the start, edited"));
}

TEST_F(DocumentSave, AFileChangedOnDiskIsNotOverwritten) {
    const QUrl url = writeFile(QStringLiteral("shared.txt"), "mine");
    const EditorTab other = untitledTab();
    model->update([&](EditorWindowState& s) { s.tabs.append(other); });
    const int index = open(url);
    edit(index, QStringLiteral("my edit"));
    model->setActiveTabID(other.id);
    writeFile(QStringLiteral("shared.txt"), "someone else's longer text");

    for (int attempt = 0; attempt < 2; ++attempt) {
        model->update([](EditorWindowState& s) { s.decisions.externalChangeTabID.reset(); });
        EXPECT_FALSE(save(index));
        EXPECT_EQ(status(),
                  localizedString(QStringLiteral("document.external-change.save-blocked")));
        EXPECT_TRUE(tabAt(index).hasExternalChanges);
        EXPECT_EQ(state().decisions.externalChangeTabID, tabAt(index).id);
        // The notice names the tab; the person stays on the document they were in.
        EXPECT_EQ(state().activeTabID, other.id);
        EXPECT_EQ(readFile(url), QByteArray("someone else's longer text"));
    }
    EXPECT_EQ(tabAt(index).document.text, QStringLiteral("my edit"));
    EXPECT_EQ(sessionSaves, 0);
}

// Another program's rewrite of the same size that leaves the date as it was is a change all the
// same: a file renamed into place is another file, one rewritten in place has a new change time.
TEST_F(DocumentSave, ASameSizeRewriteThatKeepsTheDateIsStillAChangeOnDisk) {
    for (const bool renamedIntoPlace : {true, false}) {
        const QString name =
            renamedIntoPlace ? QStringLiteral("renamed.txt") : QStringLiteral("rewritten.txt");
        const QUrl url = writeFile(name, "mine\n");
        const int index = open(url);
        edit(index, QStringLiteral("my edit\n"));
        rewriteKeepingDate(url.toLocalFile(), "them\n", renamedIntoPlace);
        EXPECT_FALSE(save(index)) << name.toStdString();
        EXPECT_EQ(readFile(url), QByteArray("them\n"));
        EXPECT_TRUE(tabAt(index).hasExternalChanges);
    }
}

// Where the file system keeps whole seconds, a same-size rewrite within the second of the tab's
// save leaves date and change time as the save left them: the bytes tell. Kept over, the
// change stops the next save no more.
TEST_F(DocumentSave, WithWholeSecondTimesARewriteAfterTheSaveIsStillAChangeOnDisk) {
    struct WholeSeconds {
        WholeSeconds() { reportWholeSecondFileTimesForTesting(true); }
        ~WholeSeconds() { reportWholeSecondFileTimesForTesting(false); }
    } wholeSeconds;
    const QUrl url = writeFile(QStringLiteral("coarse.txt"), "v0\n");
    const int index = open(url);
    edit(index, QStringLiteral("v1\n"));
    ASSERT_TRUE(save(index));
    ASSERT_EQ(tabAt(index).lastKnownModificationDate->nanoseconds, 0);
    rewriteKeepingDate(url.toLocalFile(), "xx\n", false);
    edit(index, QStringLiteral("v2\n"));
    EXPECT_FALSE(save(index));
    EXPECT_EQ(readFile(url), QByteArray("xx\n"));
    EXPECT_TRUE(tabAt(index).hasExternalChanges);

    ExternalChanges(*model).externalChangeKeep(tabAt(index).id);
    EXPECT_TRUE(save(index));
    EXPECT_EQ(readFile(url), QByteArray("v2\n"));
}

TEST_F(DocumentSave, ADeletedFileIsNotRecreated) {
    const QUrl url = writeFile(QStringLiteral("gone.txt"), "text");
    const int index = open(url);
    edit(index, QStringLiteral("edited"));
    ASSERT_TRUE(QFile::remove(url.toLocalFile()));
    EXPECT_FALSE(save(index));
    EXPECT_EQ(status(), localizedString(QStringLiteral("document.external-change.save-blocked")));
    EXPECT_FALSE(QFileInfo::exists(url.toLocalFile()));
    EXPECT_TRUE(tabIsModified(tabAt(index)));
}

TEST_F(DocumentSave, TextTheEncodingCannotHoldLeavesFileAndTabAsTheyWere) {
    const QUrl url = writeFile(QStringLiteral("latin.txt"), "caf\xE9");
    const int index = open(url);
    model->update([&](EditorWindowState& s) {
        s.tabs[index].document.encoding = TextFileEncoding::IsoLatin1;
        s.tabs[index].savedEncoding = TextFileEncoding::IsoLatin1;
    });
    edit(index, QString::fromUtf8("price: 5 \xE2\x82\xAC"));
    EXPECT_FALSE(save(index));
    const QString message =
        FileError(FileErrorCode::FileWriteInapplicableStringEncoding, url.toLocalFile())
            .localizedDescription();
    EXPECT_EQ(saveFailure(index), message);
    EXPECT_EQ(readFile(url), QByteArray("caf\xE9"));
    EXPECT_TRUE(tabIsModified(tabAt(index)));
    EXPECT_EQ(tabAt(index).document.encoding, TextFileEncoding::IsoLatin1);
    EXPECT_EQ(sessionSaves, 0);

    // Closed by the person, the same failure is told again at the next save; a save that
    // succeeds takes it away.
    model->dismissNotice(saveNoticeCause(tabAt(index).id));
    EXPECT_FALSE(save(index));
    EXPECT_EQ(saveFailure(index), message);
    model->update(
        [&](EditorWindowState& s) { s.tabs[index].document.encoding = TextFileEncoding::Utf8; });
    EXPECT_TRUE(save(index));
    EXPECT_TRUE(state().notices.shown.isEmpty());
}

TEST_F(DocumentSave, ADiskThatRefusesTheWriteLeavesTheOldFileAndAModifiedTab) {
    // A file-size limit makes the kernel refuse the write even for root.
    const QUrl url = writeFile(QStringLiteral("small.txt"), "old contents");
    const int index = open(url);
    edit(index, QString(200'000, QLatin1Char('n')));

    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = previous;
    limited.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool saved = save(index);
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(saved);
    EXPECT_TRUE(saveFailure(index).contains(QStringLiteral("small.txt")));
    EXPECT_EQ(readFile(url), QByteArray("old contents"));
    EXPECT_TRUE(tabIsModified(tabAt(index)));
    EXPECT_EQ(
        QDir(dir.path())
            .entryList({QStringLiteral("small.txt*")}, QDir::Files | QDir::Hidden | QDir::System)
            .size(),
        1)
        << "no temporary file is left behind";
}

TEST_F(DocumentSave, AWriteCutShortInTheBufferLeavesTheOldFileAndAModifiedTab) {
    // Small enough to stay in the write buffer until it is flushed, too big for the limit.
    const QUrl url = writeFile(QStringLiteral("small.txt"), "old contents");
    const int index = open(url);
    edit(index, QString(10'000, QLatin1Char('n')));

    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = previous;
    limited.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool saved = save(index);
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(saved);
    EXPECT_FALSE(saveFailure(index).isEmpty());
    EXPECT_EQ(readFile(url), QByteArray("old contents"));
    EXPECT_TRUE(tabIsModified(tabAt(index)));
}

TEST_F(DocumentSave, AFolderWithoutWritePermissionRefusesTheWrite) {
    if (runningAsRoot())
        GTEST_SKIP() << "permissions do not stop root from writing";
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("locked")));
    const QUrl url = writeFile(QStringLiteral("locked/a.txt"), "old");
    const int index = open(url);
    edit(index, QStringLiteral("new"));
    ASSERT_EQ(::chmod(QFile::encodeName(path(QStringLiteral("locked"))).constData(), 0555), 0);
    EXPECT_FALSE(save(index));
    ::chmod(QFile::encodeName(path(QStringLiteral("locked"))).constData(), 0755);
    EXPECT_FALSE(saveFailure(index).isEmpty());
    EXPECT_EQ(readFile(url), QByteArray("old"));
    EXPECT_TRUE(tabIsModified(tabAt(index)));
}

TEST_F(DocumentSave, SaveAsWritesCrlfUtf16ByteForByte) {
    model->update([](EditorWindowState& s) {
        EditorTab& tab = s.tabs[0];
        tab.document.text = QStringLiteral("a\nb");
        tab.document.encoding = TextFileEncoding::Utf16LittleEndian;
        tab.document.lineEnding = TextLineEnding::CarriageReturnLineFeed;
    });
    const QUrl target = QUrl::fromLocalFile(path(QStringLiteral("out.txt")));
    person.saveAnswers.push_back(target);
    saveAs();

    ASSERT_EQ(person.savePanels.size(), 1);
    EXPECT_EQ(person.savePanels.first().suggestedName,
              localizedString(QStringLiteral("document.default-filename")));
    EXPECT_EQ(person.savePanels.first().message,
              localizedString(QStringLiteral("panel.save.message")));
    EXPECT_FALSE(person.savePanels.first().folder) << "an untitled tab has no folder of its own";
    EXPECT_EQ(readFile(target), QByteArray("\xFF\xFE"
                                           "a\0\r\0\n\0b\0",
                                           10));
    EXPECT_FALSE(tabIsModified(tabAt(0)));
    EXPECT_EQ(tabAt(0).fileURL, target);
    EXPECT_EQ(windowTitle(state()), QStringLiteral("out.txt"));
    EXPECT_EQ(recentFiles, QList<QUrl>{target});
    EXPECT_EQ(sessionSaves, 1);

    // Generic UTF-16 is written big-endian after its mark; a file tab suggests its own name.
    model->update(
        [](EditorWindowState& s) { s.tabs[0].document.encoding = TextFileEncoding::Utf16; });
    const QUrl second = QUrl::fromLocalFile(path(QStringLiteral("second.txt")));
    person.saveAnswers.push_back(second);
    saveAs();
    EXPECT_EQ(person.savePanels.last().suggestedName, QStringLiteral("out.txt"));
    EXPECT_EQ(readFile(second), QByteArray("\xFE\xFF\0a\0\r\0\n\0b", 10));
}

TEST_F(DocumentSave, SaveAsStartsInTheFolderOfTheDocument) {
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("notes/2024")));
    const QUrl url = writeFile(QStringLiteral("notes/2024/plan.txt"), "plan");
    open(url);
    person.saveAnswers.push_back(std::nullopt);
    saveAs();
    ASSERT_EQ(person.savePanels.size(), 1);
    EXPECT_EQ(person.savePanels.first().folder,
              QUrl::fromLocalFile(path(QStringLiteral("notes/2024"))));
    EXPECT_EQ(person.savePanels.first().suggestedName, QStringLiteral("plan.txt"));
}

TEST_F(DocumentSave, SaveAsFailureShowsTheWriteErrorItselfEvenWithRegexOn) {
    const QUrl url = writeFile(QStringLiteral("kept.txt"), "kept");
    const int index = open(url);
    edit(index, QStringLiteral("changed"));
    model->update([](EditorWindowState& s) {
        s.find.findOptions.isRegex = true;
        s.folderSearch.folderSearchTextOptions.isRegex = true;
    });
    // A path below a regular file cannot be created, whoever runs the test.
    const QUrl impossible = QUrl::fromLocalFile(path(QStringLiteral("kept.txt/inner.txt")));
    person.saveAnswers.push_back(impossible);
    saveAs();

    const QString shown = saveFailure(index);
    EXPECT_TRUE(shown.contains(QStringLiteral("inner.txt"))) << shown.toStdString();
    const QString regexIntro = localizedString(QStringLiteral("find.regex-error.format"))
                                   .section(QStringLiteral("%1"), 0, 0);
    EXPECT_FALSE(shown.startsWith(regexIntro)) << shown.toStdString();
    EXPECT_EQ(tabAt(index).fileURL, url);
    EXPECT_TRUE(tabIsModified(tabAt(index)));
    EXPECT_EQ(readFile(url), QByteArray("kept"));
}

TEST_F(DocumentSave, ADestinationThatIsNoRegularFileIsLeftAsItIs) {
    edit(0, QStringLiteral("draft"));
    const QString fifo = path(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("folder")));
    const QUrl folder = QUrl::fromLocalFile(path(QStringLiteral("folder")));

    person.saveAnswers.push_back(QUrl::fromLocalFile(fifo));
    EXPECT_FALSE(save(0));
    const QString first = saveFailure(0);
    EXPECT_TRUE(first.contains(QStringLiteral("pipe"))) << first.toStdString();
    struct stat status {};
    ASSERT_EQ(::lstat(QFile::encodeName(fifo).constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode)) << "the FIFO must not become a plain file";

    person.saveAnswers.push_back(folder);
    saveAs();
    // Each failed save is told again, in place of the last.
    EXPECT_FALSE(saveFailure(0).isEmpty());
    EXPECT_NE(saveFailure(0), first);
    EXPECT_EQ(state().notices.shown.size(), 1);
    EXPECT_TRUE(QFileInfo(folder.toLocalFile()).isDir());
    EXPECT_TRUE(tabAt(0).isUntitled());
    EXPECT_TRUE(tabIsModified(tabAt(0)));
    EXPECT_TRUE(recentFiles.isEmpty());
}

TEST_F(DocumentSave, AListenerHoldingACopyOfTheTabsDoesNotDisturbTheSave) {
    // A view may keep the tab list it last drew; the save must not lean on the list's storage.
    QList<EditorTab> drawn = state().tabs;
    QObject::connect(model.get(), &EditorWindowModel::changed,
                     [&] { drawn = model->state().tabs; });
    const QUrl url = writeFile(QStringLiteral("held.txt"), "held");
    const int index = open(url);
    edit(index, QStringLiteral("held, edited"));
    drawn = state().tabs;
    EXPECT_TRUE(save(index));
    EXPECT_EQ(recentFiles.last(), url);
    EXPECT_EQ(tabAt(index).fileURL, url);
    EXPECT_EQ(drawn.at(index).fileURL, url);
}

TEST_F(DocumentSave, CancelledPanelsChangeNothing) {
    edit(0, QStringLiteral("draft"));
    EXPECT_FALSE(save(0));
    saveAs();
    EXPECT_EQ(person.savePanels.size(), 2);
    EXPECT_TRUE(tabAt(0).isUntitled());
    EXPECT_TRUE(state().findMessage.isEmpty());
    EXPECT_FALSE(state().errors.errorMessage.has_value());
    EXPECT_FALSE(save(1));
    EXPECT_FALSE(save(-1));
    EXPECT_EQ(person.savePanels.size(), 2);
}

TEST_F(DocumentSave, SaveTextAsWritesTheGivenDocumentOrHandsBackTheError) {
    PlainTextDocument document;
    document.text = QStringLiteral("x\ny");
    document.lineEnding = TextLineEnding::CarriageReturnLineFeed;
    std::optional<DocumentSaving::SaveAsOutcome> outcome;
    const auto keep = [&](DocumentSaving::SaveAsOutcome result) { outcome = result; };

    const QUrl target = QUrl::fromLocalFile(path(QStringLiteral("given.txt")));
    person.saveAnswers.push_back(target);
    model->saving().saveTextAs(document, QString(), keep);
    written();
    EXPECT_EQ(person.savePanels.last().suggestedName,
              localizedString(QStringLiteral("document.default-filename")));
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->url, target);
    EXPECT_FALSE(outcome->error);
    EXPECT_EQ(readFile(target), QByteArray("x\r\ny"));

    outcome.reset();
    model->saving().saveTextAs(document, QStringLiteral("named.txt"), keep);
    EXPECT_EQ(person.savePanels.last().suggestedName, QStringLiteral("named.txt"));
    ASSERT_TRUE(outcome.has_value());
    EXPECT_FALSE(outcome->url.has_value());
    EXPECT_FALSE(outcome->error);

    document.encoding = TextFileEncoding::IsoLatin1;
    document.text = QString::fromUtf8("\xE2\x82\xAC");
    outcome.reset();
    person.saveAnswers.push_back(target);
    model->saving().saveTextAs(document, std::nullopt, keep);
    written();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_FALSE(outcome->url.has_value());
    EXPECT_TRUE(outcome->error);
    EXPECT_EQ(readFile(target), QByteArray("x\r\ny"));
    // The window itself is left alone: the caller decides what to show.
    EXPECT_FALSE(state().errors.errorMessage.has_value());
    EXPECT_TRUE(recentFiles.isEmpty());
}

TEST_F(DocumentSave, ALateAnswerFindsTheTabByIdentifier) {
    person.deferAnswers = true;
    edit(0, QStringLiteral("first draft"));
    const QUuid draftID = tabAt(0).id;
    const QUrl target = QUrl::fromLocalFile(path(QStringLiteral("late.txt")));
    person.saveAnswers.push_back(target);
    std::optional<bool> result;
    model->saving().saveTab(0, [&](bool saved) { result = saved; });
    EXPECT_FALSE(result.has_value());

    // While the panel is up, another tab arrives in front of it.
    const EditorTab front = untitledTab();
    model->update([&](EditorWindowState& s) { s.tabs.prepend(front); });
    person.releasePending();
    written();
    EXPECT_EQ(result, true);
    EXPECT_EQ(model->tab(draftID)->fileURL, target);
    EXPECT_TRUE(model->tab(front.id)->isUntitled());
    EXPECT_EQ(readFile(target), QByteArray("first draft"));

    // A tab closed while its panel was up: nothing is written.
    const QUrl never = QUrl::fromLocalFile(path(QStringLiteral("never.txt")));
    person.saveAnswers.push_back(never);
    edit(0, QStringLiteral("second draft"));
    result.reset();
    model->saving().saveTab(0, [&](bool saved) { result = saved; });
    model->update([&](EditorWindowState& s) { s.tabs.removeFirst(); });
    person.releasePending();
    written();
    EXPECT_EQ(result, false);
    EXPECT_FALSE(QFileInfo::exists(never.toLocalFile()));
}

TEST_F(DocumentSave, SaveAllCountsAndSumsUp) {
    const QUrl a = writeFile(QStringLiteral("a.txt"), "a");
    const QUrl b = writeFile(QStringLiteral("b.txt"), "b");
    edit(0, QStringLiteral("untitled text"));
    const int indexA = open(a);
    const int indexB = open(b);
    edit(indexA, QStringLiteral("a2"));
    edit(indexB, QStringLiteral("b2"));
    model->setActiveTabID(tabAt(0).id);
    person.saveAnswers.push_back(std::nullopt); // the untitled tab's panel is cancelled

    bool finished = false;
    model->saving().saveAllDocuments([&] { finished = true; });
    written();
    EXPECT_TRUE(finished);
    EXPECT_EQ(status(), saveAllSummaryMessage(
                            [](const QString& key) { return localizedString(key); }, 2, 1, 0));
    EXPECT_EQ(readFile(a), QByteArray("a2"));
    EXPECT_EQ(readFile(b), QByteArray("b2"));
    EXPECT_TRUE(tabIsModified(tabAt(0)));
    // No tab was switched to on the way.
    EXPECT_EQ(state().activeTabID, tabAt(0).id);
    EXPECT_EQ(sessionSaves, 3);
}

TEST_F(DocumentSave, SaveAllLeavesExternallyChangedTabsForTheirDecision) {
    const QUrl a = writeFile(QStringLiteral("a.txt"), "a");
    const QUrl b = writeFile(QStringLiteral("b.txt"), "b");
    const int indexA = open(a);
    const int indexB = open(b);
    edit(indexA, QStringLiteral("a2"));
    edit(indexB, QStringLiteral("b2"));
    model->update([&](EditorWindowState& s) { s.tabs[indexA].hasExternalChanges = true; });

    model->saving().saveAllDocuments();
    written();
    EXPECT_EQ(status(), saveAllSummaryMessage(
                            [](const QString& key) { return localizedString(key); }, 1, 0, 1));
    EXPECT_EQ(state().decisions.externalChangeTabID, tabAt(indexA).id);
    EXPECT_EQ(readFile(a), QByteArray("a"));
    EXPECT_EQ(readFile(b), QByteArray("b2"));
}

TEST_F(DocumentSave, SaveAllWithNothingModifiedStillSavesTheSession) {
    const int index = open(writeFile(QStringLiteral("a.txt"), "a"));
    const int preview = open(writeFile(QStringLiteral("big.log"), QByteArray(5'000'001, 'x')));
    // Neither an unmodified tab nor a read-only one counts, even when flagged as changed on disk.
    model->update([&](EditorWindowState& s) {
        s.tabs[index].hasExternalChanges = true;
        s.tabs[preview].hasExternalChanges = true;
        s.tabs[preview].document.text = QStringLiteral("typed past the guard");
    });
    model->saving().saveAllDocuments();
    EXPECT_FALSE(state().decisions.externalChangeTabID.has_value());
    EXPECT_EQ(status(), saveAllSummaryMessage(
                            [](const QString& key) { return localizedString(key); }, 0, 0, 0));
    EXPECT_EQ(sessionSaves, 1);
    EXPECT_TRUE(person.savePanels.isEmpty());
}

TEST_F(DocumentSave, ASessionThatCannotBeSavedDoesNotUndoTheSave) {
    const QUrl url = writeFile(QStringLiteral("a.txt"), "a");
    const int index = open(url);
    edit(index, QStringLiteral("a2"));
    failSessionSave = true;
    EXPECT_TRUE(save(index));
    EXPECT_EQ(readFile(url), QByteArray("a2"));
    EXPECT_FALSE(tabIsModified(tabAt(index)));
    // Told on the message bar, not in an alert.
    EXPECT_EQ(state().notices.shown.size(), 1);
    EXPECT_FALSE(state().errors.errorMessage.has_value());
}

TEST_F(DocumentSave, AnotherWriteOfTheFileIsAChangeOnDiskForTheTab) {
    const QUrl url = writeFile(QStringLiteral("shared.txt"), "old");
    const int index = open(url);
    edit(index, QStringLiteral("the tab's edit"));
    PlainTextDocument copy;
    copy.text = QStringLiteral("a copy written over it");
    person.saveAnswers.push_back(url);
    {
        HeldWrites disk;
        model->saving().saveTextAs(copy, std::nullopt, [](DocumentSaving::SaveAsOutcome) {});
        ASSERT_TRUE(disk.reached(1));
        model->saving().saveTab(index);
    }
    written();
    EXPECT_EQ(readFile(url), QByteArray("a copy written over it"));
    EXPECT_TRUE(tabAt(index).hasExternalChanges);
    EXPECT_EQ(state().decisions.externalChangeTabID, tabAt(index).id);
    EXPECT_EQ(tabAt(index).document.text, QStringLiteral("the tab's edit"));
}

TEST_F(DocumentSave, ASaveUnderWayWhenAnotherTabTakesItsFileDoesNotGiveTheFileBack) {
    const auto [left, right, leftID, rightID] = twoEditedTabs();
    {
        HeldWrites disk;
        model->saving().saveTab(*model->tabIndex(rightID));
        ASSERT_TRUE(disk.reached(1));
        model->setActiveTabID(leftID);
        person.saveAnswers.push_back(right);
        person.alertAnswers.push_back(0);
        model->saving().saveKeyboardTabAs();
        EXPECT_EQ(person.alerts.size(), 1) << "the right tab's unsaved work is asked about";
    }
    written();
    EXPECT_EQ(readFile(right), QByteArray("left, edited"));
    EXPECT_EQ(model->tab(leftID)->fileURL, right);
    EXPECT_FALSE(tabIsModified(*model->tab(leftID)));
    const EditorTab* kept = model->tab(rightID);
    ASSERT_TRUE(kept);
    EXPECT_TRUE(kept->isUntitled());
    EXPECT_EQ(kept->document.text, QStringLiteral("right, edited"));
    EXPECT_TRUE(tabIsModified(*kept));
}

TEST_F(DocumentSave, SaveAllNamesASaveOvertakenByAnotherTabsSaveAs) {
    const auto [left, right, leftID, rightID] = twoEditedTabs();
    bool finished = false;
    {
        HeldWrites disk;
        model->saving().saveAllDocuments([&] { finished = true; });
        ASSERT_TRUE(disk.reached(1));
        // The left tab takes the right file while Save All is writing it for the right tab.
        model->setActiveTabID(leftID);
        person.saveAnswers.push_back(right);
        person.alertAnswers.push_back(0);
        model->saving().saveKeyboardTabAs();
        ASSERT_EQ(person.alerts.size(), 1);
    }
    written();
    ASSERT_TRUE(finished);
    EXPECT_EQ(readFile(right), QByteArray("left, edited"));
    ASSERT_TRUE(model->tab(rightID)->isUntitled());
    EXPECT_EQ(status(), saveAllSummaryMessage(
                            [](const QString& key) { return localizedString(key); }, 1, 1, 0));
    // Read over whichever tab is shown, it names the tab by the title it shows now and the file.
    const QString told = saveFailure(*model->tabIndex(rightID));
    const QString title = displayTitle(*model->tab(rightID));
    EXPECT_TRUE(told.contains(QStringLiteral("“%1”").arg(title))) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("“right.txt”"))) << told.toStdString();
}

TEST_F(DocumentSave, TwoTabsSavedOntoOneNewFileNeverBothStandForIt) {
    edit(0, QStringLiteral("first draft"));
    const EditorTab second = untitledTab();
    model->update([&](EditorWindowState& s) { s.tabs.append(second); });
    edit(1, QStringLiteral("second draft"));
    const QUrl target = QUrl::fromLocalFile(path(QStringLiteral("new.txt")));
    person.saveAnswers = {target, target};
    person.alertAnswers = {0};
    {
        HeldWrites disk;
        model->saving().saveTab(0);
        ASSERT_TRUE(disk.reached(1));
        model->saving().saveTab(1);
        EXPECT_EQ(person.alerts.size(), 1) << "the first tab's draft on its way is asked about";
    }
    written();
    EXPECT_EQ(readFile(target), QByteArray("second draft"));
    EXPECT_EQ(model->tab(second.id)->fileURL, target);
    EXPECT_TRUE(tabAt(0).isUntitled());
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("first draft"));
    EXPECT_TRUE(tabIsModified(tabAt(0)));
}

} // namespace
} // namespace dunmoss::test
