#include "window/DocumentReloading.h"
#include "WindowFixture.h"
#include "editor/TextStorage.h"
#include "platform/FileStat.h"
#include "platform/Localization.h"
#include "support/WaitForOpening.h"
#include "window/DocumentOpening.h"
#include "window/DocumentSaving.h"
#include "window/DocumentWriteQueue.h"
#include "window/ExternalChanges.h"
#include "window/TabClosing.h"
#include "window/TabUndoRegistry.h"
#include "window/WindowAlerts.h"
#include "window/WindowDerivedValues.h"
#include "window/WindowNotices.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QTest>
#include <QThreadPool>
#include <QUndoStack>
#include <utime.h>

namespace dunmoss::test {
namespace {

class Reload : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        alerts = std::make_unique<WindowAlerts>(*model);
    }
    int open(const QUrl& url) {
        model->opening().openDocument(url, std::nullopt, std::nullopt, false);
        waitForOpening(*model);
        return model->activeTabIndex();
    }
    void type(int index, const QString& text) {
        // Through the one edit path, so the tab gets an undo step as typing would.
        model->replaceTabText(index, text, TextRange{0, 0}, QStringLiteral("find.replace"));
    }
    // Another program rewrites the file: new bytes and a modification date clearly apart.
    void changeOnDisk(const QUrl& url, const QByteArray& bytes) {
        writeFile(url.fileName(), bytes);
        const QByteArray native = QFile::encodeName(url.toLocalFile());
        utimbuf times{1'000'000'000, 1'000'000'000};
        ASSERT_EQ(::utime(native.constData(), &times), 0);
    }
    bool canUndo(int index) const {
        const QUndoStack* stack = model->undoRegistry().existingUndoStack(tabAt(index).id);
        return stack && stack->canUndo();
    }
    void answerQuestions() {
        alerts->presentPendingAlerts();
        QCoreApplication::processEvents();
        waitForOpening(*model);
    }
    std::unique_ptr<WindowAlerts> alerts;
};

TEST_F(Reload, TheSelectionIsClampedToTheNewText) {
    const QUrl url = writeFile(QStringLiteral("a.txt"), QByteArray(600, 'a'));
    const int index = open(url);
    model->setSelection(500, 20, index);
    changeOnDisk(url, QByteArray(510, 'b'));
    DocumentReloading(*model).reloadKeyboardTab();
    waitForOpening(*model);
    EXPECT_EQ(tabAt(index).selectedRange, (TextRange{500, 10}));
    EXPECT_EQ(tabAt(index).selectedRanges, (QList<TextRange>{{500, 10}}));

    model->setSelection(500, 20, index);
    changeOnDisk(url, QByteArray(400, 'c'));
    DocumentReloading(*model).reloadKeyboardTab();
    waitForOpening(*model);
    EXPECT_EQ(tabAt(index).selectedRange, (TextRange{400, 0}));
    EXPECT_EQ(tabAt(index).document.text, QString(400, QLatin1Char('c')));
    EXPECT_EQ(state().findMessage, localizedString(QStringLiteral("command.reload.done")));
    EXPECT_EQ(recentFiles.last(), url);
}

TEST_F(Reload, AModifiedTabAsksFirstAndEveryReloadForgetsTheUndoHistory) {
    const QUrl url = writeFile(QStringLiteral("b.txt"), "disk");
    const int index = open(url);
    model->update([&](EditorWindowState& s) { s.tabs[index].bookmarkedLines = {1, 3}; });
    type(index, QStringLiteral("mine"));
    ASSERT_TRUE(canUndo(index));

    DocumentReloading(*model).requestReloadKeyboardTab();
    EXPECT_TRUE(state().decisions.showReloadConfirmation);
    person.alertAnswers = {1};
    answerQuestions();
    EXPECT_EQ(tabAt(index).document.text, QStringLiteral("mine")) << "cancelled";
    EXPECT_FALSE(state().decisions.showReloadConfirmation);

    DocumentReloading(*model).requestReloadKeyboardTab();
    person.alertAnswers = {0};
    answerQuestions();
    EXPECT_EQ(tabAt(index).document.text, QStringLiteral("disk"));
    EXPECT_FALSE(tabIsModified(tabAt(index)));
    EXPECT_FALSE(canUndo(index));
    // Bookmarks stay on the lines the text still has.
    EXPECT_EQ(tabAt(index).bookmarkedLines, std::set<int>{1});

    // Not modified: no question.
    person.alerts.clear();
    DocumentReloading(*model).requestReloadKeyboardTab();
    answerQuestions();
    EXPECT_TRUE(person.alerts.isEmpty());
    EXPECT_EQ(state().findMessage, localizedString(QStringLiteral("command.reload.done")));
}

TEST_F(Reload, TheResultGivesWayToLaterNewsAndProgressAndGoesOnItsOwn) {
    const QUrl url = writeFile(QStringLiteral("a.txt"), "disk");
    open(url);
    const QString done = localizedString(QStringLiteral("command.reload.done"));
    const auto reload = [&] {
        DocumentReloading(*model).reloadKeyboardTab();
        waitForOpening(*model);
        ASSERT_EQ(state().findMessage, done);
    };

    // News on the message bar: the status line no longer says the reload came last.
    reload();
    model->presentNotice(autosaveNoticeCause(active().id), QStringLiteral("Autosave failed."));
    EXPECT_TRUE(state().findMessage.isEmpty());

    // A file opened afterwards, slowly enough to show its progress: the result does not return.
    reload();
    const QUrl slow = writeFile(QStringLiteral("slow.txt"), "slow");
    QSemaphore gate;
    model->opening().beforeRead = [&](const QUrl& read) {
        if (read == slow)
            gate.acquire();
    };
    person.openAnswers.push_back({slow});
    model->opening().openDocumentsFromPanel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return state().findMessage != done; }));
    gate.release();
    waitForOpening(*model);
    model->opening().beforeRead = nullptr;
    EXPECT_TRUE(state().findMessage.isEmpty()) << state().findMessage.toStdString();

    // Left alone, it goes after a while.
    reload();
    ASSERT_TRUE(model->passingMessageTimer().isActive());
    model->passingMessageTimer().start(0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return state().findMessage.isEmpty(); }));
}

TEST_F(Reload, TheConfirmationReloadsTheTabItAskedAboutAndOnlyWhileItExists) {
    const QUrl a = writeFile(QStringLiteral("a.txt"), "disk a");
    const QUrl b = writeFile(QStringLiteral("b.txt"), "disk b");
    const int first = open(a);
    type(first, QStringLiteral("mine "));
    // The question comes up while the other file loads; the answer is given once that file's
    // tab is in front.
    person.deferAnswers = true;
    person.alertAnswers = {0};
    DocumentReloading(*model).requestReloadKeyboardTab();
    // An open request brings another tab forward before the question is answered.
    const int second = open(b);
    type(second, QStringLiteral("also mine "));
    answerQuestions();
    person.deferAnswers = false;
    person.releasePending();
    waitForOpening(*model);
    EXPECT_EQ(tabAt(first).document.text, QStringLiteral("disk a"));
    EXPECT_EQ(tabAt(second).document.text, QStringLiteral("also mine "));

    // Asked about the second tab, which is closed before the question comes up: nothing asked,
    // nothing reloaded.
    DocumentReloading(*model).requestReloadKeyboardTab();
    const QUuid secondID = tabAt(second).id;
    TabClosing(*model).closeTab(secondID);
    person.alerts.clear();
    answerQuestions();
    EXPECT_TRUE(person.alerts.isEmpty());
    EXPECT_FALSE(state().decisions.showReloadConfirmation);
    EXPECT_EQ(tabAt(first).document.text, QStringLiteral("disk a"));
}

TEST_F(Reload, TheEncodingIsDetectedAgainAndAFailedReadChangesNothing) {
    const QUrl url = writeFile(QStringLiteral("c.txt"), "plain utf-8 \xC3\xA9");
    const int index = open(url);
    model->update([&](EditorWindowState& s) {
        s.tabs[index].document.encoding = TextFileEncoding::Utf16;
        s.tabs[index].savedEncoding = TextFileEncoding::Utf16;
    });
    DocumentReloading(*model).reloadKeyboardTab();
    waitForOpening(*model);
    EXPECT_EQ(tabAt(index).document.encoding, TextFileEncoding::Utf8);

    const int savesBefore = sessionSaves;
    model->setFindMessage(QString());
    QFile::remove(url.toLocalFile());
    DocumentReloading(*model).reloadKeyboardTab();
    waitForOpening(*model);
    EXPECT_TRUE(state().errors.errorMessage.has_value());
    EXPECT_EQ(tabAt(index).document.text, QStringLiteral("plain utf-8 é"));
    EXPECT_TRUE(state().findMessage.isEmpty());
    EXPECT_EQ(sessionSaves, savesBefore);

    EditorTab untitled = untitledTab();
    model->update([&](EditorWindowState& s) {
        s.tabs.append(untitled);
        s.activeTabID = untitled.id;
    });
    DocumentReloading(*model).requestReloadKeyboardTab();
    EXPECT_EQ(state().findMessage, localizedString(QStringLiteral("command.reload.no-file")));
}

TEST_F(Reload, AFileGrownPastTheLimitComesBackAsAReadOnlyPreview) {
    const QUrl url = writeFile(QStringLiteral("grow.log"), "small");
    const int index = open(url);
    changeOnDisk(url, QByteArray(5'000'001, 'x'));
    ExternalChanges(*model).checkExternalChanges();
    ExternalChanges(*model).externalChangeReload(tabAt(index).id);
    waitForOpening(*model);
    EXPECT_TRUE(tabAt(index).isReadOnly);
    EXPECT_TRUE(tabAt(index).isLargeFilePreview);
    EXPECT_EQ(tabAt(index).originalByteCount, 5'000'001);
}

TEST_F(Reload, ReopenWithAnotherEncoding) {
    // "é" in UTF-8 read as Latin-1 gives two characters.
    const QUrl url = writeFile(QStringLiteral("d.txt"), "caf\xC3\xA9");
    const int index = open(url);
    model->setSelection(4, 1, index);
    type(index, QStringLiteral("changed"));
    DocumentReloading(*model).reopenWithEncoding(TextFileEncoding::IsoLatin1);
    waitForOpening(*model);
    EXPECT_EQ(state().findMessage, localizedString(QStringLiteral("encoding.reopen.unsaved")));
    EXPECT_EQ(tabAt(index).document.text, QStringLiteral("changed"));

    model->replaceTabText(index, QStringLiteral("café"), TextRange{4, 0},
                          QStringLiteral("find.replace"));
    ASSERT_FALSE(tabIsModified(tabAt(index)));
    model->setSelection(3, 1, index);
    const int recentBefore = recentFiles.size();
    DocumentReloading(*model).reopenWithEncoding(TextFileEncoding::IsoLatin1);
    waitForOpening(*model);
    EXPECT_EQ(tabAt(index).document.text, QString::fromUtf8("caf\xC3\x83\xC2\xA9"));
    EXPECT_EQ(tabAt(index).document.encoding, TextFileEncoding::IsoLatin1);
    EXPECT_EQ(tabAt(index).savedEncoding, TextFileEncoding::IsoLatin1);
    EXPECT_FALSE(tabIsModified(tabAt(index)));
    EXPECT_FALSE(canUndo(index));
    EXPECT_EQ(tabAt(index).selectedRange, (TextRange{3, 1}));
    EXPECT_EQ(state().findMessage, localizedString(QStringLiteral("encoding.reopen.done")));
    EXPECT_EQ(recentFiles.size(), recentBefore) << "recent files are not touched";

    // Bytes the chosen encoding cannot decode: an error, the tab untouched.
    writeFile(QStringLiteral("d.txt"), "\xFF\xFE\xFD");
    DocumentReloading(*model).reopenWithEncoding(TextFileEncoding::Utf8);
    waitForOpening(*model);
    EXPECT_TRUE(state().errors.errorMessage.has_value());
    EXPECT_EQ(tabAt(index).document.encoding, TextFileEncoding::IsoLatin1);
}

TEST_F(Reload, AReadOnlyPreviewCanAlwaysBeReopened) {
    const QUrl url = writeFile(QStringLiteral("big.log"), QByteArray(5'000'001, 'y'));
    const int index = open(url);
    ASSERT_TRUE(tabAt(index).isReadOnly);
    model->update([&](EditorWindowState& s) { s.tabs[index].document.text = QStringLiteral("x"); });
    DocumentReloading(*model).reopenWithEncoding(TextFileEncoding::IsoLatin1);
    waitForOpening(*model);
    EXPECT_EQ(tabAt(index).document.encoding, TextFileEncoding::IsoLatin1);
    EXPECT_TRUE(tabAt(index).isReadOnly);
}

// The file is read on a pool thread; the tab takes it only while it exists and still holds the
// text it held when the reload was asked for.
TEST_F(Reload, AReadInProgressLosesNothingTypedOrClosedMeanwhile) {
    const QUrl a = writeFile(QStringLiteral("a.txt"), "disk a");
    const QUrl b = writeFile(QStringLiteral("b.txt"), "disk b");
    const int first = open(a);
    const int second = open(b);
    changeOnDisk(a, "new a");
    changeOnDisk(b, "new b");

    // Typed into after the reload was asked for: the typing stays, with its undo step.
    model->setActiveTabID(tabAt(first).id);
    DocumentReloading(*model).reloadKeyboardTab();
    type(first, QStringLiteral("typed meanwhile"));
    waitForOpening(*model);
    EXPECT_EQ(tabAt(first).document.text, QStringLiteral("typed meanwhile"));
    EXPECT_TRUE(canUndo(first));
    EXPECT_EQ(state().findMessage,
              localizedString(QStringLiteral("command.reload.edited-meanwhile.format"))
                  .arg(QStringLiteral("a.txt")));

    // Asked twice before the first read is shown: the second finds the file's text in place.
    DocumentReloading(*model).reloadTab(tabAt(second).id);
    DocumentReloading(*model).reloadTab(tabAt(second).id);
    waitForOpening(*model);
    EXPECT_EQ(tabAt(second).document.text, QStringLiteral("new b"));
    EXPECT_EQ(state().findMessage, localizedString(QStringLiteral("command.reload.done")));

    // Closed before its file was read: nothing is put anywhere, nothing is reported.
    changeOnDisk(b, "newest b");
    const QUuid secondID = tabAt(second).id;
    DocumentReloading(*model).reloadTab(secondID);
    TabClosing(*model).closeTab(secondID);
    model->setFindMessage(QString());
    waitForOpening(*model);
    EXPECT_EQ(model->tab(secondID), nullptr);
    ASSERT_EQ(state().tabs.size(), 1);
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("typed meanwhile"));
    EXPECT_TRUE(state().findMessage.isEmpty());
    EXPECT_FALSE(state().errors.errorMessage.has_value());

    // A window closed while a read is under way: the result finds nobody.
    DocumentReloading(*model).reopenWithEncoding(TextFileEncoding::IsoLatin1);
    alerts.reset();
    model.reset();
    QTest::qWait(50);
}

// The tab knows its file as it was read: another program's write before the text is shown is
// news afterwards, never taken as the tab's own.
TEST_F(Reload, AChangeAfterTheFileWasReadIsStillNews) {
    const QUrl url = writeFile(QStringLiteral("a.txt"), "one");
    const int index = open(url);
    changeOnDisk(url, "two");
    DocumentReloading(*model).reloadKeyboardTab();
    // The read is done; its text waits for the window's thread.
    QThreadPool::globalInstance()->waitForDone();
    writeFile(QStringLiteral("a.txt"), "three, later");
    waitForOpening(*model);
    ASSERT_EQ(tabAt(index).document.text, QStringLiteral("two"));
    ExternalChanges(*model).checkExternalChanges();
    EXPECT_TRUE(tabAt(index).hasExternalChanges);
    EXPECT_EQ(state().decisions.externalChangeTabID, tabAt(index).id);
}

// A long text changed throughout comes through a document filled on the pool thread: the tab's
// storage holds the new text, and a later small change is written into it.
TEST_F(Reload, ALongTextChangedThroughoutIsShownFromANewStorage) {
    const QByteArray line = "a line of a longer file\n";
    const QUrl url = writeFile(QStringLiteral("long.txt"), line.repeated(4000));
    const int index = open(url);
    const QUuid id = tabAt(index).id;
    // Held, so the new storage cannot take the old one's place in memory.
    const std::shared_ptr<TextStorage> before =
        model->textStorageRegistry().textStorage(id, tabAt(index).document.text);
    changeOnDisk(url, QByteArray("another ").append(line).repeated(4000));
    DocumentReloading(*model).reloadKeyboardTab();
    // A key given while the file is read waits, and lands on the new storage's text.
    before->deferInput([&] { type(index, QStringLiteral("key ") + tabAt(index).document.text); });
    waitForOpening(*model);
    const QString changed = QString::fromLatin1(QByteArray("another ").append(line).repeated(4000));
    EXPECT_EQ(tabAt(index).document.text, QStringLiteral("key ") + changed);
    EXPECT_EQ(tabAt(index).savedSnapshot, changed);
    const std::shared_ptr<TextStorage> after = model->textStorageRegistry().textStorage(id);
    EXPECT_NE(after, before);
    EXPECT_EQ(after->text(), QStringLiteral("key ") + changed);
    // Its counts came with it, those of the new text.
    ASSERT_TRUE(after->hasCounts());
    EXPECT_EQ(after->counts().lines().lineCount(), 4001);
    EXPECT_EQ(after->counts().clusterCount(), changed.size() + 4);

    changeOnDisk(url, QByteArray("first ").append(changed.toLatin1()));
    DocumentReloading(*model).reloadKeyboardTab();
    waitForOpening(*model);
    EXPECT_EQ(model->textStorageRegistry().textStorage(id), after);
    EXPECT_EQ(after->text(), tabAt(index).document.text);
    EXPECT_TRUE(after->text().startsWith(QStringLiteral("first another")));
}

class ExternalChange : public Reload {
protected:
    // Three files open, A and C changed on disk afterwards.
    void SetUp() override {
        Reload::SetUp();
        a = writeFile(QStringLiteral("a.txt"), "a1");
        b = writeFile(QStringLiteral("b.txt"), "b1");
        c = writeFile(QStringLiteral("c.txt"), "c1");
        open(a);
        open(b);
        open(c);
        changeOnDisk(a, "a2");
        changeOnDisk(c, "c2-longer");
    }
    const EditorTab& tabOf(const QUrl& url) const {
        for (const EditorTab& tab : state().tabs)
            if (tab.fileURL == url)
                return tab;
        return state().tabs.first();
    }
    QUrl a, b, c;
};

TEST_F(ExternalChange, ThePollFlagsChangedFilesAndAsksAboutTheFirst) {
    ExternalChanges(*model).checkExternalChanges();
    EXPECT_TRUE(tabOf(a).hasExternalChanges);
    EXPECT_FALSE(tabOf(b).hasExternalChanges);
    EXPECT_TRUE(tabOf(c).hasExternalChanges);
    EXPECT_EQ(state().decisions.externalChangeTabID, tabOf(a).id);
    // A flagged tab is not tested again, and the pending question stays on A.
    ExternalChanges(*model).checkExternalChanges();
    EXPECT_EQ(state().decisions.externalChangeTabID, tabOf(a).id);
}

TEST_F(ExternalChange, KeepThenReloadAreDecidedInTabOrderWithoutAnAlert) {
    model->update([&](EditorWindowState& s) { s.tabs[0].document.text = QStringLiteral("mine"); });
    model->setActiveTabID(tabOf(b).id);
    ExternalChanges(*model).checkExternalChanges();
    // News nobody asked for: the message bar tells it, no alert takes the keyboard.
    answerQuestions();
    EXPECT_TRUE(person.alerts.isEmpty());
    EXPECT_EQ(externalChangeAlertMessage(state()),
              localizedString(QStringLiteral("document.external-change.message.format"))
                  .arg(QStringLiteral("a.txt")));

    ExternalChanges(*model).externalChangeKeep(tabOf(a).id);
    EXPECT_EQ(tabOf(a).document.text, QStringLiteral("mine"));
    EXPECT_FALSE(tabOf(a).hasExternalChanges);
    EXPECT_TRUE(tabIsModified(tabOf(a)));
    EXPECT_EQ(tabOf(a).lastKnownModificationDate, fileModificationDate(a.toLocalFile()));
    // An answer leaves the person on the document they were in.
    EXPECT_EQ(state().activeTabID, tabOf(b).id);
    EXPECT_EQ(state().findMessage,
              localizedString(QStringLiteral("document.external-change.kept")));
    EXPECT_EQ(state().decisions.externalChangeTabID, tabOf(c).id);

    // A second click on A's answer, after the question moved on, decides nothing.
    ExternalChanges(*model).externalChangeReload(tabOf(a).id);
    waitForOpening(*model);
    EXPECT_EQ(tabOf(a).document.text, QStringLiteral("mine"));
    EXPECT_EQ(state().decisions.externalChangeTabID, tabOf(c).id);

    ExternalChanges(*model).externalChangeReload(tabOf(c).id);
    waitForOpening(*model);
    EXPECT_EQ(tabOf(c).document.text, QStringLiteral("c2-longer"));
    EXPECT_FALSE(tabOf(c).hasExternalChanges);
    EXPECT_EQ(state().activeTabID, tabOf(b).id);
    EXPECT_EQ(state().findMessage,
              localizedString(QStringLiteral("document.external-change.reloaded")));
    EXPECT_EQ(state().decisions.externalChangeTabID, std::nullopt);
    // The same change is not reported again.
    ExternalChanges(*model).checkExternalChanges();
    EXPECT_EQ(state().decisions.externalChangeTabID, std::nullopt);
}

// What an answer did is said, and then goes: it does not stay on the status line through later
// searches and saves, nor does the next question end it at once.
TEST_F(ExternalChange, WhatAnAnswerDidIsAPassingMessage) {
    ExternalChanges(*model).checkExternalChanges();
    const auto saidThenGone = [&](const char* key) {
        EXPECT_EQ(state().findMessage, localizedString(QString::fromLatin1(key)));
        ASSERT_TRUE(model->passingMessageTimer().isActive());
        model->passingMessageTimer().start(0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return state().findMessage.isEmpty(); }));
    };
    ExternalChanges(*model).externalChangeKeep(tabOf(a).id);
    EXPECT_EQ(state().decisions.externalChangeTabID, tabOf(c).id);
    saidThenGone("document.external-change.kept");
    ExternalChanges(*model).externalChangeReload(tabOf(c).id);
    waitForOpening(*model);
    saidThenGone("document.external-change.reloaded");
}

TEST_F(ExternalChange, AnAnswerActsOnItsTabOnlyWhileThatTabExists) {
    ExternalChanges(*model).checkExternalChanges();
    const QUuid aID = tabOf(a).id;
    const QUuid cID = tabOf(c).id;
    TabClosing(*model).closeTab(aID);
    EXPECT_EQ(state().decisions.externalChangeTabID, cID);
    // The answer given for the closed tab reaches nothing, and C is still asked about.
    ExternalChanges(*model).externalChangeReload(aID);
    waitForOpening(*model);
    ExternalChanges(*model).externalChangeKeep(aID);
    EXPECT_EQ(state().decisions.externalChangeTabID, cID);
    EXPECT_EQ(tabOf(c).document.text, QStringLiteral("c1"));
    EXPECT_TRUE(tabOf(c).hasExternalChanges);
}

TEST_F(ExternalChange, DismissingClearsTheQuestionAndDecidesNothing) {
    ExternalChanges(*model).checkExternalChanges();
    ExternalChanges(*model).dismissExternalChange();
    EXPECT_EQ(state().decisions.externalChangeTabID, std::nullopt);
    EXPECT_TRUE(tabOf(a).hasExternalChanges);
    EXPECT_TRUE(tabOf(c).hasExternalChanges);
}

TEST_F(ExternalChange, KeepOnADeletedFileMeansTheNextSaveWritesItAgain) {
    model->update([&](EditorWindowState& s) { s.tabs[0].document.text = QStringLiteral("mine"); });
    ExternalChanges(*model).checkExternalChanges();
    ExternalChanges(*model).externalChangeKeep(tabOf(a).id);
    QFile::remove(a.toLocalFile());
    // The poll notices the deletion and asks again; Keep answers it.
    ExternalChanges(*model).checkExternalChanges();
    ASSERT_TRUE(tabOf(a).hasExternalChanges);
    ExternalChanges(*model).externalChangeKeep(tabOf(a).id);
    EXPECT_FALSE(tabOf(a).hasExternalChanges);

    // The question does not come back while the file stays away.
    ExternalChanges(*model).checkExternalChanges();
    EXPECT_FALSE(tabOf(a).hasExternalChanges);
    bool saved = false;
    model->saving().saveTab(model->tabIndex(tabOf(a).id).value(), [&](bool ok) { saved = ok; });
    model->saving().writes().waitForWrites();
    EXPECT_TRUE(saved);
    EXPECT_EQ(readFile(a), QByteArray("mine"));
    EXPECT_FALSE(tabIsModified(tabOf(a)));

    // A file someone puts there afterwards is news again.
    QFile::remove(a.toLocalFile());
    ExternalChanges(*model).checkExternalChanges();
    ExternalChanges(*model).externalChangeKeep(tabOf(a).id);
    changeOnDisk(a, "theirs");
    ExternalChanges(*model).checkExternalChanges();
    EXPECT_TRUE(tabOf(a).hasExternalChanges);
}

TEST_F(ExternalChange, AFailedReloadKeepsTheTabFlaggedAndMovesOn) {
    ExternalChanges(*model).checkExternalChanges();
    QFile::remove(a.toLocalFile());
    ExternalChanges(*model).externalChangeReload(tabOf(a).id);
    waitForOpening(*model);
    EXPECT_TRUE(state().errors.errorMessage.has_value());
    EXPECT_TRUE(tabOf(a).hasExternalChanges);
    EXPECT_EQ(tabOf(a).document.text, QStringLiteral("a1"));
    EXPECT_EQ(state().decisions.externalChangeTabID, tabOf(c).id);
}

} // namespace
} // namespace dunmoss::test
