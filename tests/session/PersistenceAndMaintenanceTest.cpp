// When a window writes its session, what a failure tells the person, and the periodic tick
// with its autosave.
#include "SessionFixture.h"
#include "editor/TextStorage.h"
#include "platform/AtomicFileWrite.h"
#include "platform/FileStat.h"
#include "platform/Localization.h"
#include "session/SessionRecord.h"
#include "session/SessionWriter.h"
#include "support/FailingSyncs.h"
#include "support/HeldWrites.h"
#include "window/DocumentReloading.h"
#include "window/DocumentSaving.h"
#include "window/TabClosing.h"
#include "window/WindowCloseQuestion.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>
#include <QThreadPool>
#include <future>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

class Persistence : public SessionFixture {
protected:
    std::optional<RestoredSession> snapshot() {
        const QByteArray bytes = readFile(recoveryFile());
        if (bytes.isEmpty())
            return std::nullopt;
        return decodeSessionRecord(bytes);
    }
    void waitForSnapshot(EditorWindowModel& window) {
        for (int i = 0; i < 100 && WindowSession::of(window).persistence().hasPendingSnapshot();
             ++i)
            QTest::qWait(50);
        ASSERT_FALSE(WindowSession::of(window).persistence().hasPendingSnapshot());
    }
};

class Maintenance : public SessionFixture {
protected:
    void tick() {
        WindowSession::of(*model).maintenance().maintenanceTick();
        WindowSession::of(*model).maintenance().waitForAutosaves();
    }
};

} // namespace

TEST_F(Persistence, TypingOnlyRestartsTheSnapshotWaitAndTheSnapshotHoldsTheLatestText) {
    const int index = 0;
    for (int i = 1; i <= 5; ++i)
        edit(index, QStringLiteral("typed %1").arg(i));
    EXPECT_TRUE(WindowSession::of(*model).persistence().hasPendingSnapshot());
    EXPECT_FALSE(QFile::exists(recoveryFile()));
    waitForSnapshot(*model);
    flush();
    ASSERT_TRUE(snapshot());
    EXPECT_EQ(snapshot()->tabs.first().draftText, QStringLiteral("typed 5"));
    // The snapshot alone: the record is written by full saves only.
    EXPECT_FALSE(QFile::exists(recordFile()));

    // A window that goes away drops the wait; its full save writes both copies before it ends.
    edit(index, QStringLiteral("typed 6"));
    WindowSession::of(*model).saveSessionOnDisappear();
    EXPECT_FALSE(WindowSession::of(*model).persistence().hasPendingSnapshot());
    EXPECT_EQ(snapshot()->tabs.first().draftText, QStringLiteral("typed 6"));
    EXPECT_EQ(decodeSessionRecord(readFile(recordFile())).tabs.first().draftText,
              QStringLiteral("typed 6"));
}

TEST_F(Persistence, EditsThatKeepComingAreStillSnapshottedWithinTheLongestWait) {
    // Faster than the snapshot's wait, for longer than its longest wait: the wait is not
    // restarted for ever.
    int typed = 0;
    while (typed < 60 && !QFile::exists(recoveryFile())) {
        edit(0, QStringLiteral("typed %1").arg(++typed));
        QTest::qWait(100);
    }
    ASSERT_TRUE(QFile::exists(recoveryFile())) << "no snapshot after " << typed << " edits";
    flush();
    EXPECT_TRUE(snapshot()->tabs.first().draftText.startsWith(QStringLiteral("typed ")));
}

TEST_F(Persistence, ANewSelectionOrActiveTabIsSnapshottedWithoutAnEdit) {
    const int first = open(writeFile(QStringLiteral("a.txt"), "alpha beta"));
    open(writeFile(QStringLiteral("b.txt"), "gamma"));
    model->persistSession();
    flush();
    EXPECT_FALSE(WindowSession::of(*model).persistence().hasPendingSnapshot());

    model->setTabSelectedRange(tabAt(first).id, TextRange{6, 4});
    model->setActiveTabID(tabAt(first).id);
    EXPECT_TRUE(WindowSession::of(*model).persistence().hasPendingSnapshot());
    waitForSnapshot(*model);
    flush();
    EXPECT_EQ(snapshot()->activeTabID, tabAt(first).id);
    EXPECT_EQ(snapshot()->tabs.at(first).selectedLocation, 6);
    EXPECT_EQ(snapshot()->tabs.at(first).selectedLength, 4);
}

TEST_F(Persistence, ATypedTabsNextKeyHasItsCopyAsideOnlyWhileTheWriterStillHoldsTheText) {
    // Long enough that a key would otherwise copy it.
    QString text;
    while (text.size() < 400'000)
        text += QStringLiteral("a line of the draft being typed\n");
    const QUuid id = activeTab(model->state()).id;
    edit(0, text);
    std::shared_ptr<TextStorage> storage = model->textStorageRegistry().textStorage(id, text);
    QTextCursor(storage->acquireDocument()).insertText(QStringLiteral("typed "));
    ASSERT_EQ(tabAt(0).document.text, QStringLiteral("typed ") + text);

    // The writer is busy with another file, so the session's copies hold the text a while.
    std::promise<void> release = keepTheWriterBusy();
    WindowSession::of(*model).persistence().persistSession();
    QTest::qWait(2 * SessionPersistence::kSpareDelayMs);
    QThreadPool::globalInstance()->waitForDone(30'000);
    for (int i = 0; i < 4; ++i)
        QCoreApplication::processEvents();
    EXPECT_TRUE(storage->hasSpare());
    release.set_value();
    flush();
    ASSERT_TRUE(snapshot());
    EXPECT_EQ(snapshot()->tabs.at(0).draftText, QStringLiteral("typed ") + text);

    // A writer that takes the texts in at once leaves nothing to copy.
    QTextCursor(storage->acquireDocument()).insertText(QStringLiteral("more "));
    ASSERT_FALSE(storage->hasSpare());
    WindowSession::of(*model).persistence().persistSession();
    flush();
    QTest::qWait(2 * SessionPersistence::kSpareDelayMs);
    QThreadPool::globalInstance()->waitForDone(30'000);
    QCoreApplication::processEvents();
    EXPECT_FALSE(storage->hasSpare());
}

// A large file open in another tab, not even edited, never holds the snapshot back: typing that
// goes on without a pause is in the snapshot within two seconds of its first key.
TEST_F(Persistence, ALargeTabElsewhereNeverHoldsBackTheSnapshotOfTyping) {
    // Below the size that opens as a preview: the tab holds the whole text.
    QByteArray large;
    while (large.size() < 4'900'000)
        large += "alpha beta gamma delta editor window buffer search replace value\n";
    open(writeFile(QStringLiteral("large.txt"), large));
    const int typed = open(writeFile(QStringLiteral("notes.txt"), "first line\n"));
    waitForSnapshot(*model);
    flush();

    // Keys faster than the snapshot's wait, so only its longest wait can end it.
    QElapsedTimer typing;
    typing.start();
    int keys = 0;
    while (typing.elapsed() < 2000) {
        edit(typed, tabAt(typed).document.text + QStringLiteral("k%1 ").arg(++keys));
        QTest::qWait(100);
    }
    flush();
    const std::optional<RestoredSession> written = snapshot();
    ASSERT_TRUE(written) << "no snapshot after " << keys << " keys in two seconds";
    EXPECT_TRUE(written->tabs.at(typed).draftText.startsWith(QStringLiteral("first line\nk1 ")));
}

TEST_F(Persistence, AWindowRestoringWhileTheWriterIsBusyFindsTheRecordHandedToIt) {
    std::promise<void> release = keepTheWriterBusy();
    edit(0, QStringLiteral("handed over, not yet on disk"));
    WindowSession::of(*model).persistence().persistSession();

    std::unique_ptr<EditorWindowModel> later = makeModel();
    WindowSession::of(*later).restore().restoreSession();
    QTest::qWait(50);
    release.set_value();
    waitForOpening(*later);
    ASSERT_EQ(later->state().tabs.size(), 1);
    EXPECT_EQ(later->state().tabs.at(0).document.text,
              QStringLiteral("handed over, not yet on disk"));
}

TEST_F(Persistence, AWindowClosedBeforeItsRestoreCameKeepsBothTheStoredAndTheTypedTabs) {
    edit(0, QStringLiteral("stored draft"));
    WindowSession::of(*model).persistence().persistSession();
    flush();

    // The stored session is still being read when the person types and the window goes.
    std::unique_ptr<EditorWindowModel> later = makeModel();
    WindowSession::of(*later).restore().restoreSession();
    later->setTabText(later->state().tabs.first().id, QStringLiteral("typed meanwhile"));
    WindowSession::of(*later).saveSessionOnDisappear();
    // The read that was under way, shown late, adds nothing twice.
    waitForOpening(*later);
    EXPECT_EQ(later->state().tabs.size(), 2);

    std::unique_ptr<EditorWindowModel> next = restoredModel();
    QStringList texts;
    for (const EditorTab& tab : next->state().tabs)
        texts.append(tab.document.text);
    EXPECT_EQ(texts,
              (QStringList{QStringLiteral("stored draft"), QStringLiteral("typed meanwhile")}));
}

TEST_F(Persistence, NothingIsWrittenUnderInterfaceTestingOrBeforeTheRestore) {
    std::unique_ptr<EditorWindowModel> testing =
        makeModel({QStringLiteral("x"), QStringLiteral("--dunmoss-ui-testing")});
    WindowSession::of(*testing).restore().restoreSession();
    testing->setTabText(testing->state().tabs.first().id, QStringLiteral("typed"));
    testing->persistSession();
    EXPECT_FALSE(WindowSession::of(*testing).persistence().hasPendingSnapshot());
    std::unique_ptr<EditorWindowModel> early = makeModel();
    early->persistSession();
    flush(*early);
    EXPECT_FALSE(QFile::exists(recoveryFile()));
    EXPECT_FALSE(QFile::exists(recordFile()));
    EXPECT_FALSE(testing->state().errors.errorMessage);
}

TEST_F(Persistence, AFailedSaveIsReportedOnceStoredForNextTimeAndStillWritesTheOtherCopy) {
    // The recovery folder cannot be made: a file stands where it should be.
    writeFile(QStringLiteral("Recovery"), "not a folder");
    edit(0, QStringLiteral("draft"));
    model->persistSession();
    flush();
    const QString message = defaults->string(QString::fromLatin1(kSessionSaveFailedNoticeKey));
    EXPECT_TRUE(message.startsWith(localizedString(QStringLiteral("session.save.failed.format"))
                                       .section(QStringLiteral("%1"), 0, 0)));
    EXPECT_EQ(noticeMessages(*model), QStringList{message});
    EXPECT_FALSE(model->state().errors.errorMessage);
    // The record was written all the same.
    EXPECT_EQ(decodeSessionRecord(readFile(recordFile())).tabs.first().draftText,
              QStringLiteral("draft"));
    // The same failure again, from a save or a snapshot, is not reported again, even after
    // the notice was closed.
    model->dismissNotice(QString::fromLatin1(kSessionSaveNoticeCause));
    edit(0, QStringLiteral("draft 2"));
    waitForSnapshot(*model);
    model->persistSession();
    flush();
    EXPECT_TRUE(noticeMessages(*model).isEmpty());
    EXPECT_FALSE(model->state().errors.errorMessage);
    EXPECT_EQ(decodeSessionRecord(readFile(recordFile())).tabs.first().draftText,
              QStringLiteral("draft 2"));

    // The next window shows the stored message once.
    QFile::remove(path(QStringLiteral("Recovery")));
    std::unique_ptr<EditorWindowModel> next = restoredModel();
    EXPECT_EQ(noticeMessages(*next), QStringList{message});
    EXPECT_FALSE(defaults->contains(QString::fromLatin1(kSessionSaveFailedNoticeKey)));
}

TEST_F(Persistence, ACopyTheDiskDidNotTakeIsReportedKeepsTheOldFileAndIsWrittenAgain) {
    edit(0, QStringLiteral("first"));
    model->persistSession();
    flush();
    const QByteArray record = readFile(recordFile());
    const QByteArray recovery = readFile(recoveryFile());
    ASSERT_FALSE(record.isEmpty());
    // The copies and whatever a write of them may leave beside them.
    const auto entries = [this] {
        const QStringList names{QStringLiteral("*session.json*"),
                                QStringLiteral("*recovery.json*")};
        const QDir::Filters files = QDir::Files | QDir::Hidden | QDir::System;
        return QDir(dir.path()).entryList(names, files) +
               QDir(recoveryDirectory()).entryList(names, files);
    };
    const QStringList before = entries();
    {
        const FailingSyncs disk(AtomicWriteSync::FileData);
        edit(0, QStringLiteral("second"));
        model->persistSession();
        flush();
    }
    EXPECT_EQ(readFile(recordFile()), record);
    EXPECT_EQ(readFile(recoveryFile()), recovery);
    EXPECT_EQ(entries(), before);
    ASSERT_EQ(noticeMessages(*model).size(), 1);
    EXPECT_TRUE(noticeMessages(*model).first().contains(
        localizedString(QStringLiteral("text-file.sync-failed.format"))
            .section(QStringLiteral("%1"), 0, 0)));
    // A copy the disk did not take is not what the file holds: the same record is written when
    // next handed over, and the news of the failure is over.
    model->persistSession();
    flush();
    EXPECT_EQ(decodeSessionRecord(readFile(recordFile())).tabs.first().draftText,
              QStringLiteral("second"));
    EXPECT_EQ(decodeSessionRecord(readFile(recoveryFile())).tabs.first().draftText,
              QStringLiteral("second"));
    EXPECT_TRUE(noticeMessages(*model).isEmpty());
}

TEST_F(Maintenance, AutosaveWritesModifiedFilesInTheirLineEndingThenSavesTheSession) {
    const QUrl url = writeFile(QStringLiteral("crlf.txt"), "a\r\nb");
    const int index = open(url);
    edit(index, QStringLiteral("a\nb\nc"));
    // A modified untitled tab is never autosaved (and asks for no place).
    EditorTab untitled = untitledTab();
    untitled.document.text = QStringLiteral("untitled draft");
    model->opening().appendTabsReplacingPristineTab({untitled}, std::nullopt);
    tick();
    EXPECT_TRUE(tabIsModified(tabAt(index + 1)));
    EXPECT_TRUE(person.savePanels.isEmpty());
    EXPECT_EQ(readFile(url.toLocalFile()), QByteArray("a\r\nb\r\nc"));
    EXPECT_FALSE(tabIsModified(tabAt(index)));
    EXPECT_EQ(tabAt(index).lastKnownModificationDate, fileModificationDate(url.toLocalFile()));
    EXPECT_EQ(WindowSession::of(*model).recentFiles().urls().first(), url);
    flush();
    EXPECT_TRUE(QFile::exists(recordFile()));
    EXPECT_FALSE(model->state().errors.errorMessage);

    // With nothing changed a tick writes nothing but the session.
    const std::optional<FileIdentity> before = fileIdentity(url.toLocalFile());
    tick();
    EXPECT_EQ(fileIdentity(url.toLocalFile()), before);
}

TEST_F(Maintenance, AutosaveRefusesReadOnlyChangedOnDiskAndUnencodableTabs) {
    const QUrl changed = writeFile(QStringLiteral("changed.txt"), "one");
    const QUrl latin = writeFile(QStringLiteral("latin.txt"), "plain");
    const QUrl preview = writeFile(QStringLiteral("big.txt"), QByteArray(5'000'100, 'x'));
    const int changedIndex = open(changed);
    const int latinIndex = open(latin);
    const int previewIndex = open(preview);
    ASSERT_TRUE(tabAt(previewIndex).isReadOnly);
    model->update([latinIndex](EditorWindowState& state) {
        state.tabs[latinIndex].document.encoding = TextFileEncoding::IsoLatin1;
        state.tabs[latinIndex].savedEncoding = TextFileEncoding::IsoLatin1;
    });
    edit(changedIndex, QStringLiteral("mine"));
    edit(latinIndex, QStringLiteral("snow \u2603"));
    edit(previewIndex, QStringLiteral("never")); // refused: read-only
    writeFile(QStringLiteral("changed.txt"), "theirs, longer");

    tick();
    // Changed on disk: flagged and asked about, never overwritten.
    EXPECT_EQ(readFile(changed.toLocalFile()), QByteArray("theirs, longer"));
    EXPECT_TRUE(tabAt(changedIndex).hasExternalChanges);
    EXPECT_EQ(model->state().decisions.externalChangeTabID, tabAt(changedIndex).id);
    // Unencodable: told once on the message bar, never in an alert that would take the keys;
    // the tab stays modified and the file untouched.
    EXPECT_FALSE(model->state().errors.errorMessage);
    const QStringList failures = noticeMessages(*model);
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures.first().startsWith(
        localizedString(QStringLiteral("document.autosave.failed.format"))
            .section(QStringLiteral("%1"), 0, 0)))
        << failures.first().toStdString();
    EXPECT_TRUE(tabIsModified(tabAt(latinIndex)));
    EXPECT_EQ(readFile(latin.toLocalFile()), QByteArray("plain"));
    EXPECT_EQ(QFileInfo(preview.toLocalFile()).size(), 5'000'100);

    // The same failure is not told again, on the next tick nor after it was closed.
    tick();
    EXPECT_EQ(noticeMessages(*model), failures);
    model->dismissNotice(model->state().notices.shown.first().cause);
    tick();
    EXPECT_TRUE(noticeMessages(*model).isEmpty());
    EXPECT_FALSE(model->state().errors.errorMessage);

    // Once the text can be written the news is over; a later failure is news again.
    edit(latinIndex, QStringLiteral("snow"));
    tick();
    EXPECT_EQ(readFile(latin.toLocalFile()), QByteArray("snow"));
    edit(latinIndex, QStringLiteral("snow \u2603 again"));
    tick();
    EXPECT_EQ(noticeMessages(*model).size(), 1);
}

TEST_F(Maintenance, ATabWithAQuestionWaitingIsNotAutosaved) {
    const QUrl url = writeFile(QStringLiteral("draft.txt"), "on disk");
    const int index = open(url);
    const QUuid tabID = tabAt(index).id;
    const auto writtenWhileAsked = [&](const std::function<void()>& ask,
                                       const std::function<void()> answer) {
        edit(index, QStringLiteral("edits"));
        ask();
        tick();
        const bool written = readFile(url.toLocalFile()) != QByteArray("on disk");
        answer();
        return written;
    };
    // "Close without saving?": Don't Save still means the file keeps what it had.
    EXPECT_FALSE(writtenWhileAsked([&] { TabClosing(*model).requestCloseTab(tabID); },
                                   [&] { TabClosing(*model).keepPendingTab(); }));
    EXPECT_FALSE(writtenWhileAsked([&] { TabClosing(*model).requestCloseAllTabs(); },
                                   [&] {
                                       model->update([](EditorWindowState& state) {
                                           state.decisions.showCloseAllAlert = false;
                                       });
                                   }));
    EXPECT_FALSE(writtenWhileAsked([&] { DocumentReloading(*model).requestReloadKeyboardTab(); },
                                   [&] {
                                       model->update([](EditorWindowState& state) {
                                           state.decisions.showReloadConfirmation = false;
                                           state.decisions.reloadConfirmationTabID.reset();
                                       });
                                   }));
    // Closing the window asks while its answer is pending.
    person.deferAnswers = true;
    EXPECT_FALSE(writtenWhileAsked([&] { askBeforeClosing(*model, [](bool) {}); },
                                   [&] { person.releasePending(); }));
    person.deferAnswers = false;
    // With every question answered, the next tick writes the edits.
    tick();
    EXPECT_EQ(readFile(url.toLocalFile()), QByteArray("edits"));
}

// A reload the person asked for takes the file as it is then; until its read is shown, neither
// the poll nor autosave judges the tab, and keys given meanwhile land on the file's text.
TEST_F(Maintenance, AReloadUnderWayIsNotJudgedAndKeysGivenMeanwhileLandOnTheFilesText) {
    const QUrl url = writeFile(QStringLiteral("log.txt"), "one\n");
    const int index = open(url);
    const QUuid tabID = tabAt(index).id;
    const std::shared_ptr<TextStorage> storage =
        model->textStorageRegistry().textStorage(tabID, tabAt(index).document.text);

    // Modified, then reloaded as its confirmation does; a tick comes before the read is shown.
    edit(index, QStringLiteral("dropped"));
    writeFile(QStringLiteral("log.txt"), "one\ntwo\n");
    DocumentReloading(*model).reloadKeyboardTab();
    tick();
    EXPECT_FALSE(tabAt(index).hasExternalChanges);
    EXPECT_EQ(readFile(url.toLocalFile()), QByteArray("one\ntwo\n"));
    waitForOpening(*model);
    EXPECT_EQ(tabAt(index).document.text, QStringLiteral("one\ntwo\n"));
    EXPECT_FALSE(tabIsModified(tabAt(index)));
    EXPECT_FALSE(tabAt(index).hasExternalChanges);
    EXPECT_FALSE(model->state().decisions.externalChangeTabID);

    // Flagged and asked about before the reload: the reload answers the question too.
    writeFile(QStringLiteral("log.txt"), "one\ntwo\nthree\n");
    tick();
    ASSERT_EQ(model->state().decisions.externalChangeTabID, tabID);
    DocumentReloading(*model).reloadKeyboardTab();
    waitForOpening(*model);
    EXPECT_FALSE(model->state().decisions.externalChangeTabID);

    // A key given right after asking, and a tick, before the read is shown.
    writeFile(QStringLiteral("log.txt"), "one\ntwo\nthree\nfour\n");
    DocumentReloading(*model).reloadKeyboardTab();
    storage->deferInput([&] { edit(index, QStringLiteral("word ") + tabAt(index).document.text); });
    tick();
    EXPECT_FALSE(tabAt(index).hasExternalChanges);
    waitForOpening(*model);
    EXPECT_EQ(tabAt(index).document.text, QStringLiteral("word one\ntwo\nthree\nfour\n"));
    EXPECT_EQ(tabAt(index).savedSnapshot, QStringLiteral("one\ntwo\nthree\nfour\n"));
    EXPECT_FALSE(model->state().decisions.externalChangeTabID);
    // The next tick writes the key into the file.
    tick();
    EXPECT_FALSE(tabAt(index).hasExternalChanges);
    EXPECT_EQ(readFile(url.toLocalFile()), QByteArray("word one\ntwo\nthree\nfour\n"));
}

TEST_F(Maintenance, WithAutosaveOffChangesAreStillNoticedAndNothingIsWritten) {
    model->settings().setAutoSaveEnabled(false);
    const QUrl first = writeFile(QStringLiteral("first.txt"), "1");
    const QUrl second = writeFile(QStringLiteral("second.txt"), "2");
    const int firstIndex = open(first);
    const int secondIndex = open(second);
    edit(secondIndex, QStringLiteral("edited"));
    writeFile(QStringLiteral("second.txt"), "22");
    QFile::remove(first.toLocalFile()); // vanished
    WindowSession::of(*model).maintenance().checkExternalChanges();
    tick();
    EXPECT_TRUE(tabAt(firstIndex).hasExternalChanges);
    EXPECT_TRUE(tabAt(secondIndex).hasExternalChanges);
    // The first changed tab is the one asked about.
    EXPECT_EQ(model->state().decisions.externalChangeTabID, tabAt(firstIndex).id);
    EXPECT_EQ(readFile(second.toLocalFile()), QByteArray("22"));

    // The loop runs only once per window and stops with it.
    WindowSession::of(*model).maintenance().startMaintenanceLoop();
    WindowSession::of(*model).maintenance().startMaintenanceLoop();
    EXPECT_TRUE(WindowSession::of(*model).maintenance().isRunning());
    WindowSession::of(*model).cancelWindowTasks();
    EXPECT_FALSE(WindowSession::of(*model).maintenance().isRunning());
}

TEST_F(Persistence, ClosingAsksOnlyWhenNeitherCopyCouldBeWrittenAndNamesBoth) {
    edit(0, QStringLiteral("draft"));
    // The record's place is taken by a folder: the recovery copy keeps the draft.
    ASSERT_TRUE(QDir().mkpath(recordFile()));
    EXPECT_FALSE(closingLosesUnsavedWork(*model));
    EXPECT_EQ(decodeSessionRecord(readFile(recoveryFile())).tabs.first().draftText,
              QStringLiteral("draft"));

    // The record written, the recovery folder impossible: the record keeps it.
    ASSERT_TRUE(QDir(recordFile()).removeRecursively());
    ASSERT_TRUE(QDir(recoveryDirectory()).removeRecursively());
    writeFile(QStringLiteral("Recovery"), "not a folder");
    edit(0, QStringLiteral("draft 2"));
    EXPECT_FALSE(closingLosesUnsavedWork(*model));
    EXPECT_EQ(decodeSessionRecord(readFile(recordFile())).tabs.first().draftText,
              QStringLiteral("draft 2"));

    // Neither: the close loses the draft, and the question says which copies failed.
    QFile::remove(recordFile());
    ASSERT_TRUE(QDir().mkpath(recordFile()));
    edit(0, QStringLiteral("draft 3"));
    const ClosingLoss loss = closingLosesUnsavedWork(*model);
    ASSERT_TRUE(loss);
    ASSERT_EQ(loss.unwrittenCopies.size(), 2);
    EXPECT_TRUE(loss.unwrittenCopies.at(0).contains(recordFile()));
    EXPECT_TRUE(loss.unwrittenCopies.at(1).contains(recoveryFile()));
    person.deferAnswers = true;
    askBeforeClosing(
        *model, [](bool) {}, loss.unwrittenCopies);
    ASSERT_EQ(person.alerts.size(), 1);
    EXPECT_TRUE(person.alerts.first().message.contains(recordFile()));
    EXPECT_TRUE(person.alerts.first().message.contains(recoveryFile()));
    person.releasePending();
}

TEST_F(Maintenance, AutosaveWritesOffTheMainThreadTheTextTheTickFound) {
    const QUrl url = writeFile(QStringLiteral("crlf.txt"), "first\r\n");
    const int index = open(url);
    edit(index, QStringLiteral("first\nsecond"));
    MaintenanceTick& maintenance = WindowSession::of(*model).maintenance();
    {
        // While the file cannot be written the tick still returns: the writing happens aside.
        const AtomicWriteHold hold(url.toLocalFile());
        maintenance.maintenanceTick();
        EXPECT_TRUE(maintenance.isAutosaving());
        EXPECT_EQ(readFile(url.toLocalFile()), QByteArray("first\r\n"));
        // Typing goes on meanwhile; a second tick leaves the first one's writing alone.
        edit(index, QStringLiteral("first\nsecond\nthird"));
        maintenance.maintenanceTick();
    }
    maintenance.waitForAutosaves();
    EXPECT_FALSE(maintenance.isAutosaving());
    // The file holds the text the tick found, in its line ending; the later keys stay unsaved.
    EXPECT_EQ(readFile(url.toLocalFile()), QByteArray("first\r\nsecond"));
    EXPECT_EQ(tabAt(index).savedSnapshot, QStringLiteral("first\nsecond"));
    EXPECT_TRUE(tabIsModified(tabAt(index)));
    EXPECT_EQ(tabAt(index).lastKnownModificationDate, fileModificationDate(url.toLocalFile()));
    EXPECT_FALSE(tabAt(index).hasExternalChanges);
    // The session saved after the autosave knows what the file holds.
    flush();
    EXPECT_EQ(decodeSessionRecord(readFile(recordFile())).tabs.at(index).savedSnapshot,
              QStringLiteral("first\nsecond"));

    // The next tick writes the rest, and sees no change on disk in its own write.
    tick();
    EXPECT_EQ(readFile(url.toLocalFile()), QByteArray("first\r\nsecond\r\nthird"));
    EXPECT_FALSE(tabIsModified(tabAt(index)));
    EXPECT_FALSE(tabAt(index).hasExternalChanges);
    EXPECT_FALSE(model->state().decisions.externalChangeTabID);
}

TEST_F(Maintenance, AnAutosaveNeverWritesOverASaveMadeWhileItWaited) {
    const QUrl url = writeFile(QStringLiteral("notes.txt"), "on disk");
    const int index = open(url);
    edit(index, QStringLiteral("autosaved draft"));
    MaintenanceTick& maintenance = WindowSession::of(*model).maintenance();
    bool saved = false;
    {
        HeldWrites disk;
        maintenance.maintenanceTick();
        ASSERT_TRUE(maintenance.isAutosaving());
        ASSERT_TRUE(disk.reached(1));
        // The person saves newer text before the autosave could write.
        edit(index, QStringLiteral("saved by hand"));
        model->saving().saveTab(index, [&saved](bool ok) { saved = ok; });
    }
    maintenance.waitForAutosaves();
    EXPECT_TRUE(saved);
    EXPECT_EQ(readFile(url.toLocalFile()), QByteArray("saved by hand"));
    EXPECT_FALSE(tabIsModified(tabAt(index)));
    // Nor is the person asked about a change on disk that was their own save.
    EXPECT_FALSE(tabAt(index).hasExternalChanges);
    EXPECT_FALSE(model->state().decisions.externalChangeTabID);
    EXPECT_TRUE(noticeMessages(*model).isEmpty());
    tick();
    EXPECT_FALSE(tabAt(index).hasExternalChanges);
}

TEST_F(Maintenance, AWindowGoingAwayWhileAFileIsAutosavedSavesTheSessionAfterTheWrite) {
    const QUrl url = writeFile(QStringLiteral("notes.txt"), "on disk");
    const int index = open(url);
    edit(index, QStringLiteral("autosaved"));
    {
        const AtomicWriteHold hold(url.toLocalFile());
        WindowSession::of(*model).maintenance().maintenanceTick();
    }
    WindowSession::of(*model).saveSessionOnDisappear();
    flush();
    EXPECT_EQ(readFile(url.toLocalFile()), QByteArray("autosaved"));
    // The stored tab knows the file as written: the next start sees no change on disk.
    const SessionTab stored = decodeSessionRecord(readFile(recordFile())).tabs.at(index);
    EXPECT_EQ(stored.savedSnapshot, QStringLiteral("autosaved"));
    EXPECT_EQ(stored.lastKnownFileSize, 9);
    std::unique_ptr<EditorWindowModel> next = restoredModel();
    WindowSession::of(*next).maintenance().checkExternalChanges();
    EXPECT_FALSE(next->state().tabs.at(index).hasExternalChanges);
    EXPECT_FALSE(tabIsModified(next->state().tabs.at(index)));
}

TEST_F(Maintenance, BytesAFailedAutosaveLeftAreTheTabsOwnAtTheNextTick) {
    const QUrl url = writeFile(QStringLiteral("notes.txt"), "on disk");
    const int index = open(url);
    edit(index, QStringLiteral("first draft"));
    {
        // The new bytes replace the file, but the folder's sync fails.
        const FailingSyncs disk(AtomicWriteSync::Folder);
        tick();
    }
    EXPECT_EQ(readFile(url.toLocalFile()), QByteArray("first draft"));
    EXPECT_EQ(noticeMessages(*model).size(), 1);
    EXPECT_TRUE(tabIsModified(tabAt(index)));
    // Those bytes are the tab's own: the next tick neither flags nor refuses the tab.
    edit(index, QStringLiteral("second draft"));
    tick();
    EXPECT_FALSE(tabAt(index).hasExternalChanges);
    EXPECT_FALSE(model->state().decisions.externalChangeTabID);
    EXPECT_EQ(readFile(url.toLocalFile()), QByteArray("second draft"));
    EXPECT_TRUE(noticeMessages(*model).isEmpty());
}

TEST_F(Maintenance, AGoodSaveEndsAFailedAutosavesNewsWhenItIsWritten) {
    const QUrl other = writeFile(QStringLiteral("other.txt"), "on disk");
    const int otherIndex = open(other);
    edit(otherIndex, QStringLiteral("other draft"));
    {
        // Nothing replaces the file: the disk refused the new bytes.
        const FailingSyncs disk(AtomicWriteSync::FileData);
        tick();
    }
    ASSERT_EQ(noticeMessages(*model).size(), 1);
    // The tab's save ends the news when it is written, not at the next tick.
    bool saved = false;
    model->saving().saveTab(otherIndex, [&saved](bool ok) { saved = ok; });
    model->saving().writes().waitForWrites();
    EXPECT_TRUE(saved);
    EXPECT_EQ(readFile(other.toLocalFile()), QByteArray("other draft"));
    EXPECT_TRUE(noticeMessages(*model).isEmpty());
}
