// The two stored copies of a session and the restore that picks between them.
#include "SessionFixture.h"
#include "platform/Bookmark.h"
#include "platform/Localization.h"
#include "session/BookmarksAside.h"
#include "session/SessionRecord.h"
#include "session/SessionWriter.h"
#include "session/StrictJson.h"
#include "support/FailingSyncs.h"
#include "support/KilledInPlaceWrite.h"
#include "support/TestFiles.h"
#include "text/OwnWriteRecord.h"
#include "text/TextFileLoader.h"
#include "window/DocumentReloading.h"
#include "window/DocumentSaving.h"
#include "window/DocumentWriteQueue.h"

#include <QTest>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

class SessionStoreTest : public SessionFixture {
protected:
    RestoredSession sessionWith(const QString& draft, std::optional<double> savedAt) {
        EditorTab tab;
        tab.document.text = draft;
        RestoredSession session = makeSessionRecord({tab}, tab.id, 14);
        session.savedAt = savedAt;
        return session;
    }
    void storeRecord(const RestoredSession& session) {
        QFile file(recordFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(encodeSessionRecord(session, SessionRecordFormat::Compact));
    }
    void storeSnapshot(const QByteArray& bytes) {
        QDir().mkpath(recoveryDirectory());
        QFile file(recoveryFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QString restoredDraft() { return restoredModel()->state().tabs.first().document.text; }
};

} // namespace

TEST_F(SessionStoreTest, TheNewerCopyWinsAndTheSnapshotWinsTies) {
    const RestoredSession older = sessionWith(QStringLiteral("old"), 100);
    const RestoredSession newer = sessionWith(QStringLiteral("new"), 200);
    const RestoredSession untimed = sessionWith(QStringLiteral("untimed"), std::nullopt);
    EXPECT_EQ(newerSession(older, newer), newer);
    EXPECT_EQ(newerSession(newer, older), newer);
    EXPECT_EQ(newerSession(older, older), older);
    EXPECT_EQ(newerSession(untimed, older), older);
    EXPECT_EQ(newerSession(older, untimed), older);
    EXPECT_EQ(newerSession(untimed, untimed), untimed);
    EXPECT_EQ(newerSession(std::nullopt, older), older);
    EXPECT_FALSE(newerSession(std::nullopt, std::nullopt));

    // Through the restore: equal times give the snapshot's tabs.
    RestoredSession inFile = sessionWith(QStringLiteral("from the file"), 150);
    storeRecord(sessionWith(QStringLiteral("from the settings"), 150));
    storeSnapshot(encodeSessionRecord(inFile, SessionRecordFormat::PrettySorted));
    EXPECT_EQ(restoredDraft(), QStringLiteral("from the file"));
    storeRecord(sessionWith(QStringLiteral("from the settings"), 151));
    EXPECT_EQ(restoredDraft(), QStringLiteral("from the settings"));
}

TEST_F(SessionStoreTest, SavingWritesBothCopiesAndOnlyAChangeWritesAgain) {
    model->settings().setAutoSaveEnabled(false);
    const QUrl url = writeFile(QStringLiteral("a.txt"), "on disk");
    const int index = open(url);
    edit(index, QStringLiteral("typed\nline 2\nline 3"));
    model->update([](EditorWindowState& s) { s.tabs[0].bookmarkedLines = {3, 1}; });
    model->persistSession();
    flush();
    const QByteArray first = readFile(recordFile());
    const RestoredSession record = decodeSessionRecord(first);
    EXPECT_EQ(decodeSessionRecord(readFile(recoveryFile())).tabs, record.tabs);
    ASSERT_EQ(record.tabs.size(), 1);
    EXPECT_EQ(record.tabs[0].filePath, url.toLocalFile());
    EXPECT_TRUE(record.tabs[0].fileBookmark);
    EXPECT_EQ(record.tabs[0].bookmarkedLines, (QList<qint64>{1, 3}));
    EXPECT_EQ(record.schemaVersion, 3);
    const int writes = WindowSession::of(*model).store().writeCount();
    EXPECT_EQ(writes, 2);

    // An idle window (ticks, saves, snapshots) writes nothing, though the time moves on.
    QTest::qWait(5);
    for (int i = 0; i < 3; ++i)
        WindowSession::of(*model).maintenance().maintenanceTick();
    WindowSession::of(*model).persistence().scheduleRecoverySnapshot();
    for (int i = 0; i < 100 && WindowSession::of(*model).persistence().hasPendingSnapshot(); ++i)
        QTest::qWait(50);
    flush();
    EXPECT_EQ(WindowSession::of(*model).store().writeCount(), writes);
    EXPECT_EQ(readFile(recordFile()), first);

    // Nor does a window restarted on the same files.
    model.reset();
    model = restoredModel();
    WindowSession::of(*model).maintenance().maintenanceTick();
    flush();
    EXPECT_EQ(WindowSession::of(*model).store().writeCount(), writes);
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("typed\nline 2\nline 3"));

    edit(0, QStringLiteral("typed again"));
    model->persistSession();
    flush();
    EXPECT_EQ(WindowSession::of(*model).store().writeCount(), writes + 2);
    EXPECT_EQ(decodeSessionRecord(readFile(recordFile())).tabs[0].draftText,
              QStringLiteral("typed again"));
}

TEST_F(SessionStoreTest, ARecordInTheSettingsMovesToItsOwnFileAndTheSettingsStaySmall) {
    // Where an older version kept it.
    const QString key = QString::fromLatin1(kSessionRecordKey);
    defaults->setValue(key, encodeSessionRecord(sessionWith(QStringLiteral("from before"), 10),
                                                SessionRecordFormat::Compact));
    EXPECT_EQ(restoredDraft(), QStringLiteral("from before"));
    EXPECT_FALSE(defaults->contains(key));
    EXPECT_EQ(decodeSessionRecord(readFile(recordFile())).tabs.first().draftText,
              QStringLiteral("from before"));
    EXPECT_EQ(restoredDraft(), QStringLiteral("from before"));

    // A large draft goes to the session's files, never into the settings.
    edit(0, QString(300'000, QLatin1Char('x')));
    model->persistSession();
    flush();
    defaults->synchronize();
    EXPECT_GT(QFileInfo(recordFile()).size(), 300'000);
    EXPECT_LT(QFileInfo(defaults->filePath()).size(), 64 * 1024);
}

TEST_F(SessionStoreTest, ARecordMovedOutOfTheSettingsIsWrittenByTheWriterBeforeTheKeyGoes) {
    const QString key = QString::fromLatin1(kSessionRecordKey);
    const QByteArray bytes = encodeSessionRecord(sessionWith(QStringLiteral("from before"), 10),
                                                 SessionRecordFormat::Compact);
    const auto moved = [] {
        SessionWriter::shared().waitUntilIdle();
        QCoreApplication::processEvents();
    };
    bool corrupt = false;
    {
        // The disk did not take it: the key stays, and the next start moves it again.
        const FailingSyncs disk(AtomicWriteSync::FileData);
        defaults->setValue(key, bytes);
        EXPECT_TRUE(store().takeRecordFromSettings(corrupt));
        moved();
    }
    EXPECT_TRUE(defaults->contains(key));
    EXPECT_FALSE(QFile::exists(recordFile()));

    // The window's thread hands the file over and goes on.
    std::promise<void> release = keepTheWriterBusy();
    EXPECT_TRUE(store().takeRecordFromSettings(corrupt));
    EXPECT_FALSE(QFile::exists(recordFile()));
    EXPECT_TRUE(defaults->contains(key));
    release.set_value();
    moved();
    EXPECT_EQ(readFile(recordFile()), bytes);
    EXPECT_FALSE(defaults->contains(key));
    EXPECT_FALSE(corrupt);
}

TEST_F(SessionStoreTest, AnEncodingChosenByHandComesBackWhileTheFileIsUnchanged) {
    // UTF-8 bytes that detection reads as UTF-8; the person chose Latin-1.
    const QUrl url = writeFile(QStringLiteral("cafe.txt"), "caf\xc3\xa9\n");
    open(url);
    DocumentReloading(*model).reopenWithEncoding(TextFileEncoding::IsoLatin1);
    waitForOpening(*model);
    ASSERT_EQ(tabAt(0).document.text, QStringLiteral("caf\u00c3\u00a9\n"));
    model->persistSession();
    flush();
    model = restoredModel();
    EXPECT_EQ(tabAt(0).document.encoding, TextFileEncoding::IsoLatin1);
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("caf\u00c3\u00a9\n"));
    EXPECT_FALSE(tabIsModified(tabAt(0)));

    // Changed on disk meanwhile: read by detection again.
    writeFile(QStringLiteral("cafe.txt"), "caf\xc3\xa9 au lait\n");
    model = restoredModel();
    EXPECT_EQ(tabAt(0).document.encoding, TextFileEncoding::Utf8);
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("caf\u00e9 au lait\n"));
}

TEST_F(SessionStoreTest, UndecodableCopiesAreKeptAsideReportedOnceAndTheRestStillRestores) {
    const QByteArray badRecord = "{\"activeTabID\":\"x\",";
    const QByteArray badSnapshot = "{\"activeTabID\":7,\"fontSize\":14,\"tabs\":[]}";
    defaults->setValue(QString::fromLatin1(kSessionRecordKey), badRecord);
    storeSnapshot(badSnapshot);
    defaults->setValue(QString::fromLatin1(kSessionSaveFailedNoticeKey),
                       QStringLiteral("last save failed"));

    std::unique_ptr<EditorWindowModel> window = restoredModel();
    EXPECT_TRUE(sessionCorruption().savedSessionWasCorrupt);
    EXPECT_TRUE(sessionCorruption().recoverySnapshotWasCorrupt);
    const QStringList copies = corruptCopies();
    ASSERT_EQ(copies.size(), 2);
    EXPECT_TRUE(copies[0].startsWith(QStringLiteral("corrupt-recovery-")));
    EXPECT_TRUE(copies[1].startsWith(QStringLiteral("corrupt-session-")));
    EXPECT_EQ(readFile(recoveryDirectory() + QLatin1Char('/') + copies[0]), badSnapshot);
    EXPECT_EQ(readFile(recoveryDirectory() + QLatin1Char('/') + copies[1]), badRecord);
    // Nothing is deleted (the record moved from the settings to its file); one notice for
    // both, then the save-failure message, on the message bar: keys typed right after the
    // launch go to the text, not into an alert.
    EXPECT_EQ(readFile(recoveryFile()), badSnapshot);
    EXPECT_EQ(readFile(recordFile()), badRecord);
    EXPECT_EQ(noticeMessages(*window),
              (QStringList{localizedString(QStringLiteral("session.corrupt-snapshot.notice")),
                           QStringLiteral("last save failed")}));
    EXPECT_FALSE(window->state().errors.errorMessage);
    EXPECT_EQ(window->state().tabs.size(), 1); // the window keeps its first tab

    // A good snapshot beside a bad record is restored, with the notice.
    storeSnapshot(encodeSessionRecord(sessionWith(QStringLiteral("kept"), 5),
                                      SessionRecordFormat::PrettySorted));
    sessionCorruption() = SessionCorruption{};
    std::unique_ptr<EditorWindowModel> second = restoredModel();
    EXPECT_EQ(second->state().tabs.first().document.text, QStringLiteral("kept"));
    EXPECT_EQ(noticeMessages(*second),
              QStringList{localizedString(QStringLiteral("session.corrupt-snapshot.notice"))});
}

TEST_F(SessionStoreTest, EmptyOrForeignCopiesAreNoSessionAndNotCorrupt) {
    RestoredSession empty = sessionWith(QStringLiteral("x"), 1);
    empty.tabs.clear();
    storeRecord(empty);
    storeSnapshot(encodeSessionRecord(empty, SessionRecordFormat::PrettySorted));
    EXPECT_FALSE(store().loadSavedSession());
    EXPECT_FALSE(store().readRecoverySnapshot());
    defaults->setValue(QString::fromLatin1(kSessionRecordKey), QStringLiteral("text, not data"));
    EXPECT_FALSE(store().loadSavedSession());
    // A FIFO in place of the recovery file is never opened (it would block the start).
    QFile::remove(recoveryFile());
    ASSERT_EQ(::mkfifo(QFile::encodeName(recoveryFile()).constData(), 0600), 0);
    EXPECT_FALSE(store().readRecoverySnapshot());
    EXPECT_FALSE(sessionCorruption().savedSessionWasCorrupt);
    EXPECT_FALSE(sessionCorruption().recoverySnapshotWasCorrupt);
    EXPECT_TRUE(corruptCopies().isEmpty());
}

TEST_F(SessionStoreTest, RestoreClampsFontRepairsTheActiveTabAndDecidesTheWelcome) {
    RestoredSession session = sessionWith(QString(), 1);
    session.fontSize = 8;
    session.activeTabID = QUuid::createUuid(); // names no tab
    storeRecord(session);
    std::unique_ptr<EditorWindowModel> window = restoredModel();
    EXPECT_EQ(window->settings().fontSize(), 10);
    EXPECT_EQ(window->state().activeTabID, window->state().tabs.first().id);
    EXPECT_TRUE(window->state().panels.showWelcome); // one untitled empty tab

    session = sessionWith(QStringLiteral("text"), 2);
    session.fontSize = 40;
    storeRecord(session);
    window = restoredModel();
    EXPECT_EQ(window->settings().fontSize(), 28);
    EXPECT_FALSE(window->state().panels.showWelcome);
    session.fontSize = 12.5;
    storeRecord(session);
    EXPECT_EQ(restoredModel()->settings().fontSize(), 12.5);

    // Restored once per window.
    storeRecord(sessionWith(QStringLiteral("later"), 3));
    WindowSession::of(*window).restore().restoreSession();
    waitForOpening(*window);
    EXPECT_EQ(window->state().tabs.first().document.text, QStringLiteral("text"));
}

// The tabs' files are read on a pool thread. Until the tabs are shown the window writes no
// session, so a window closed meanwhile leaves the stored one as it was; they come back in their
// stored order, and a tab typed into meanwhile stays, last and still active.
TEST_F(SessionStoreTest, ARestoreUnderWayKeepsTheStoredOrderAndLosesNothing) {
    // Long enough to be shown through documents filled on the pool thread.
    const QByteArray longText = QByteArray("a line of a long file\n").repeated(4000);
    const QUrl a = writeFile(QStringLiteral("a.txt"), longText);
    const QUrl b = writeFile(QStringLiteral("b.txt"), "b " + longText);
    EditorTab draft;
    draft.document.text = QStringLiteral("draft");
    const QList<EditorTab> tabs{makeTabForLoadedFile(a, loadTextFile(a)), draft,
                                makeTabForLoadedFile(b, loadTextFile(b))};
    RestoredSession session = makeSessionRecord(tabs, draft.id, 14);
    session.savedAt = 4e9; // newer than anything the fixture's window writes
    storeRecord(session);
    const QByteArray stored = readFile(recordFile());

    {
        std::unique_ptr<EditorWindowModel> closing = makeModel();
        WindowSession::of(*closing).restore().restoreSession();
        closing->persistSession();
        WindowSession::of(*closing).saveSessionOnDisappear();
    }
    QTest::qWait(50);
    EXPECT_EQ(readFile(recordFile()), stored);

    model = makeModel();
    WindowSession::of(*model).restore().restoreSession();
    const QUuid first = tabAt(0).id;
    edit(0, QStringLiteral("typed meanwhile"));
    waitForOpening(*model);
    ASSERT_EQ(model->state().tabs.size(), 4);
    EXPECT_EQ(tabAt(0).id, tabs.at(0).id);
    EXPECT_EQ(tabAt(0).document.text, QString::fromLatin1(longText));
    // A tab not shown takes its filled document a turn later.
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->textStorageRegistry().contains(tabs[0].id); }));
    const std::shared_ptr<TextStorage> restored =
        model->textStorageRegistry().textStorage(tabs[0].id);
    EXPECT_EQ(restored->text(), QString::fromLatin1(longText));
    // Counted where the document was filled.
    ASSERT_TRUE(restored->hasCounts());
    EXPECT_EQ(restored->counts().length(), longText.size());
    EXPECT_EQ(restored->counts().lines().lineCount(),
              TextCounts(restored->text()).lines().lineCount());
    EXPECT_EQ(tabAt(1).document.text, QStringLiteral("draft"));
    EXPECT_EQ(tabAt(2).id, tabs.at(2).id);
    EXPECT_EQ(tabAt(3).document.text, QStringLiteral("typed meanwhile"));
    EXPECT_EQ(model->state().activeTabID, first);

    // Nobody typing: the window's first tab gives way and the stored active tab is in front.
    model = restoredModel();
    ASSERT_EQ(model->state().tabs.size(), 3);
    EXPECT_EQ(tabAt(2).id, tabs.at(2).id);
    EXPECT_EQ(model->state().activeTabID, draft.id);

    // A file of the session asked for while the restore is under way comes after it: its
    // restored tab is brought forward, not opened a second time.
    model = makeModel();
    WindowSession::of(*model).restore().restoreSession();
    model->opening().openDocument(a, std::nullopt, std::nullopt, false);
    waitForOpening(*model);
    ASSERT_EQ(model->state().tabs.size(), 3);
    EXPECT_EQ(model->state().activeTabID, tabs.at(0).id);
}

TEST_F(SessionStoreTest, StoredTabsComeBackWithDraftsFallbacksAndOnlyTrustedPaths) {
    const QUrl url = writeFile(QStringLiteral("file.txt"), "line one\nline two\n");
    SessionTab tab;
    tab.id = QUuid::createUuid();
    tab.filePath = url.toLocalFile();
    tab.draftText = QStringLiteral("changed\ndraft");
    tab.savedSnapshot = QStringLiteral("line one\nline two\n");
    tab.selectedLocation = -4;
    tab.selectedLength = 3;
    tab.encodingKey = QStringLiteral("big5");
    tab.lineEndingKey = QStringLiteral("CR");
    tab.bookmarkedLines = QList<qint64>{2, 0, -3, 2, 9'000'000'000LL};
    EditorTab restored = makeTabFromSessionTab(tab);
    EXPECT_EQ(restored.document.text, QStringLiteral("changed\ndraft"));
    EXPECT_EQ(restored.document.encoding, TextFileEncoding::Big5);
    EXPECT_EQ(restored.savedEncoding, TextFileEncoding::Big5); // falls back to the current one
    EXPECT_EQ(restored.document.lineEnding, TextLineEnding::LineFeed);
    EXPECT_EQ(restored.selectedRange, (TextRange{0, 3}));
    EXPECT_EQ(restored.selectedRanges, (QList<TextRange>{{0, 3}}));
    EXPECT_EQ(restored.bookmarkedLines, (std::set<int>{2}));
    EXPECT_FALSE(restored.isReadOnly);

    // An unchanged draft takes the file as it is now.
    tab.draftText = tab.savedSnapshot;
    tab.encodingKey = QStringLiteral("utf8");
    tab.lineEndingKey = QStringLiteral("lf");
    writeFile(QStringLiteral("file.txt"), "newer on disk");
    EXPECT_EQ(makeTabFromSessionTab(tab).document.text, QStringLiteral("newer on disk"));

    // A relative or empty stored path is never read against the working folder.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    for (const QString& stored : {QStringLiteral("file.txt"), QString()}) {
        tab.filePath = stored;
        restored = makeTabFromSessionTab(tab);
        EXPECT_FALSE(restored.fileURL) << stored.toStdString();
        EXPECT_EQ(restored.document.text, tab.draftText);
    }
    QDir::setCurrent(previous);
}

TEST_F(SessionStoreTest, AMissingFileIsLookedForAgainOnceTheTabKnowsSomethingNewOfIt) {
    EditorTab tab;
    tab.fileURL = QUrl::fromLocalFile(dir.filePath(QStringLiteral("later.txt")));
    const QString path = tab.fileURL->toLocalFile();
    SessionTab stored = makeSessionTab(tab);
    EXPECT_EQ(stored.filePath, path);
    EXPECT_FALSE(stored.fileBookmark);
    EXPECT_TRUE(missingBookmarkFiles().contains(path));

    // The file appears while the tab knows nothing new of it: the next records keep its path
    // and do not look for it again.
    writeFile(QStringLiteral("later.txt"), "written");
    stored = makeSessionTab(tab);
    EXPECT_EQ(stored.filePath, path);
    EXPECT_FALSE(stored.fileBookmark);

    // Saved (or seen changed) by the tab: it is looked for again and bookmarked.
    for (const bool external : {false, true}) {
        EditorTab known = tab;
        if (external)
            known.hasExternalChanges = true;
        else
            known.lastKnownFileSize = 7;
        missingBookmarkFiles().insert(path, MissingBookmarkFile{});
        bookmarkCache().clear();
        stored = makeSessionTab(known);
        ASSERT_TRUE(stored.fileBookmark) << external;
        EXPECT_EQ(resolveBookmark(*stored.fileBookmark)->path, path);
        EXPECT_FALSE(missingBookmarkFiles().contains(path));
    }
}

TEST_F(SessionStoreTest, BookmarksMadeAsideAreThoseTheRecordWouldMake) {
    const auto fileTab = [&](const QString& name) {
        EditorTab tab;
        tab.fileURL = QUrl::fromLocalFile(dir.filePath(name));
        return tab;
    };
    const EditorTab present = fileTab(QStringLiteral("present.txt"));
    const EditorTab missing = fileTab(QStringLiteral("missing.txt"));
    const EditorTab learnt = fileTab(QStringLiteral("learnt.txt"));
    writeFile(QStringLiteral("present.txt"), "here");
    writeFile(QStringLiteral("learnt.txt"), "here too");
    const QList<EditorTab> tabs{present, missing, learnt, untitledTab()};
    const auto pathOf = [](const EditorTab& tab) { return tab.fileURL->toLocalFile(); };

    BookmarksAside aside;
    aside.prepare(tabs);
    EXPECT_TRUE(aside.isPreparing());
    // Meanwhile the main thread learns of one of the files itself: that stays.
    const QByteArray ownBookmark = makeBookmark(pathOf(present));
    bookmarkCache().insert(pathOf(learnt), ownBookmark);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !aside.isPreparing(); }, 10'000));

    EXPECT_EQ(bookmarkCache().value(pathOf(present)), makeBookmark(pathOf(present)));
    EXPECT_EQ(bookmarkCache().value(pathOf(learnt)), ownBookmark);
    EXPECT_FALSE(bookmarkCache().contains(pathOf(missing)));
    EXPECT_TRUE(missingBookmarkFiles().contains(pathOf(missing)));
    for (const EditorTab& tab : tabs)
        if (tab.fileURL) {
            EXPECT_TRUE(isTabFileBookmarkKnown(pathOf(tab), tab));
        }
    EXPECT_EQ(makeSessionTab(present).fileBookmark, makeBookmark(pathOf(present)));
    EXPECT_FALSE(makeSessionTab(missing).fileBookmark);

    // Everything known: nothing more to make.
    aside.prepare(tabs);
    EXPECT_FALSE(aside.isPreparing());
}

TEST_F(SessionStoreTest, AStaleBookmarkStillFindsTheFileAndIsMadeAfresh) {
    const QUrl url = writeFile(QStringLiteral("moved.txt"), "content");
    EditorTab tab;
    tab.fileURL = url;
    const SessionTab stored = makeSessionTab(tab);
    ASSERT_TRUE(stored.fileBookmark);
    // The file is replaced by another one at the same path: the bookmark is stale.
    const QUrl other = writeFile(QStringLiteral("other.txt"), "replaced");
    ASSERT_EQ(::rename(QFile::encodeName(other.toLocalFile()).constData(),
                       QFile::encodeName(url.toLocalFile()).constData()),
              0);
    EXPECT_EQ(makeTabFromSessionTab(stored).fileURL, url);
    EXPECT_FALSE(bookmarkCache().contains(url.toLocalFile()));
    EXPECT_NE(makeSessionTab(tab).fileBookmark, stored.fileBookmark);
}

TEST_F(SessionStoreTest, AFileHoldingAStoredTextAfterAKillIsNotChangedOnDisk) {
    const QUrl url = writeFile(QStringLiteral("notes.txt"), "saved text\n");
    edit(open(url), QStringLiteral("draft text\n"));
    model->persistSession();
    flush();
    // What the session knew when the process was killed: the draft, the saved text, and the
    // file's date and size from before.
    const QByteArray record = readFile(recordFile());
    const QByteArray recovery = readFile(recoveryFile());
    const QDateTime known = QFileInfo(url.toLocalFile()).lastModified();
    model.reset();
    SessionWriter::shared().waitUntilIdle();
    // The file holds these bytes at a date the session does not know; the window comes back.
    const auto restoredWith = [&](const QByteArray& bytes) {
        storeRecord(decodeSessionRecord(record));
        storeSnapshot(recovery);
        writeFile(QStringLiteral("notes.txt"), bytes);
        QFile file(url.toLocalFile());
        EXPECT_TRUE(file.open(QIODevice::ReadWrite));
        EXPECT_TRUE(file.setFileTime(known.addSecs(5), QFileDevice::FileModificationTime));
        file.close();
        std::unique_ptr<EditorWindowModel> window = restoredModel();
        const EditorTab tab = window->state().tabs.first();
        window.reset();
        SessionWriter::shared().waitUntilIdle();
        EXPECT_EQ(tab.fileURL, url);
        return tab;
    };

    // The save landed, the session did not: the tab is saved at its draft.
    EditorTab tab = restoredWith("draft text\n");
    EXPECT_FALSE(tab.hasExternalChanges);
    EXPECT_FALSE(tabIsModified(tab));
    EXPECT_EQ(tab.document.text, QStringLiteral("draft text\n"));
    EXPECT_EQ(tab.lastKnownModificationDate, fileModificationDate(url.toLocalFile()));

    // The file holds the saved text: nothing changed it, and the draft is still to be saved.
    tab = restoredWith("saved text\n");
    EXPECT_FALSE(tab.hasExternalChanges);
    EXPECT_TRUE(tabIsModified(tab));
    EXPECT_EQ(tab.document.text, QStringLiteral("draft text\n"));
    EXPECT_EQ(tab.savedSnapshot, QStringLiteral("saved text\n"));
    EXPECT_EQ(tab.lastKnownModificationDate, fileModificationDate(url.toLocalFile()));

    // Only the exact bytes count: other line breaks, or other text, are a change on disk.
    for (const QByteArray& other : {QByteArray("draft text\r\n"), QByteArray("other text\n")}) {
        tab = restoredWith(other);
        EXPECT_TRUE(tab.hasExternalChanges) << other.toStdString();
        EXPECT_EQ(tab.document.text, QStringLiteral("draft text\n"));
        EXPECT_EQ(tab.savedSnapshot, QStringLiteral("saved text\n"));
    }
}

// A kill after a save or autosave replaced the file, before the session heard of it: the window
// going away without hearing of the write stands for it (its writer still finishes, as the
// kernel keeps a rename already made).
TEST_F(SessionStoreTest, AFileOurLastWriteReplacedComesBackAsTheTabsOwnAfterAKill) {
    const auto killAndRestore = [this] {
        model.reset();
        model = restoredModel();
    };
    const QString stored = QStringLiteral("stored draft\n");
    const QString last = QStringLiteral("stored draft\nand the last keys\n");
    const std::function<void(int)> save = [this](int index) { model->saving().saveTab(index); };
    const std::function<void(int)> autosave = [this](int) {
        WindowSession::of(*model).maintenance().maintenanceTick();
    };
    for (const auto& [name, write] : {std::pair(QStringLiteral("saved.txt"), save),
                                      std::pair(QStringLiteral("autosaved.txt"), autosave)}) {
        const QUrl url = writeFile(name, "on disk\n");
        const int index = open(url);
        edit(index, stored);
        model->persistSession();
        flush();
        edit(index, last);
        write(index);
        killAndRestore();
        EXPECT_EQ(readFile(url.toLocalFile()), last.toUtf8());
        // The write took newer text than the stored draft: the tab shows it, saved.
        EXPECT_FALSE(tabAt(index).hasExternalChanges) << name.toStdString();
        EXPECT_EQ(tabAt(index).document.text, last);
        EXPECT_FALSE(tabIsModified(tabAt(index)));
        WindowSession::of(*model).maintenance().checkExternalChanges();
        EXPECT_FALSE(tabAt(index).hasExternalChanges);
    }

    // The session stored after the save was handed over holds newer keys: they stay, and the
    // file is the tab's saved text.
    const QUrl url = writeFile(QStringLiteral("typed-on.txt"), "on disk\n");
    const int index = open(url);
    edit(index, QStringLiteral("saved\n"));
    model->saving().saveTab(index);
    edit(index, QStringLiteral("saved\nand typed after\n"));
    model->persistSession();
    flush();
    killAndRestore();
    EXPECT_FALSE(tabAt(index).hasExternalChanges);
    EXPECT_EQ(tabAt(index).document.text, QStringLiteral("saved\nand typed after\n"));
    EXPECT_EQ(tabAt(index).savedSnapshot, QStringLiteral("saved\n"));
    EXPECT_EQ(tabAt(index).lastKnownModificationDate, fileModificationDate(url.toLocalFile()));

    // Other bytes put there since are someone else's change.
    model->saving().saveTab(index);
    edit(index, QStringLiteral("saved\nand typed after\nmore\n"));
    model->persistSession();
    flush();
    model.reset();
    writeFile(QStringLiteral("typed-on.txt"), "someone else's\n");
    // A tab closed before that session was stored leaves a note nobody needs.
    const QString notes = ownWriteRecordFolder(recoveryDirectory());
    ASSERT_TRUE(storeOwnWriteRecord(
        notes, QUuid::createUuid(),
        OwnWriteRecord{path(QStringLiteral("closed.txt")), ownWriteDigest("closed"), 6,
                       TextFileEncoding::Utf8, TextLineEnding::LineFeed, 1.0}));
    model = restoredModel();
    EXPECT_TRUE(tabAt(index).hasExternalChanges);
    EXPECT_EQ(tabAt(index).document.text, QStringLiteral("saved\nand typed after\nmore\n"));
    EXPECT_EQ(QDir(notes).entryList(QDir::Files).size(), 3);
}

// A note stands only for writes after all the session knew: once the tab read another program's
// text, a file that holds the noted bytes again (a checkout putting them back) is not the tab's
// save, even where the note outlived the reload.
TEST_F(SessionStoreTest, ANoteOlderThanAReloadNeverTakesAnotherProgramsFileForTheTabsSave) {
    const QString notes = ownWriteRecordFolder(recoveryDirectory());
    const QUrl url = writeFile(QStringLiteral("tracked.txt"), "v0\n");
    const int index = open(url);
    const QUuid id = tabAt(index).id;
    edit(index, QStringLiteral("v1\n"));
    model->saving().saveTab(index);
    model->saving().writes().waitForWrites();
    const QString notePath =
        notes + QLatin1Char('/') + id.toString(QUuid::WithoutBraces) + QStringLiteral(".json");
    const QByteArray note = readFile(notePath);
    ASSERT_FALSE(note.isEmpty());

    writeFile(QStringLiteral("tracked.txt"), "v2, from elsewhere\n");
    DocumentReloading(*model).reloadTab(id);
    waitForOpening(*model);
    ASSERT_EQ(tabAt(index).document.text, QStringLiteral("v2, from elsewhere\n"));
    model->saving().writes().waitForWrites();
    EXPECT_FALSE(readOwnWriteRecord(notes, id));
    edit(index, QStringLiteral("v2, from elsewhere\ntyped\n"));
    model->persistSession();
    flush();
    model.reset();

    writeFile(QStringLiteral("tracked.txt"), "v1\n");
    writeFile(QStringLiteral("Recovery/Writes/") + QFileInfo(notePath).fileName(), note);
    model = restoredModel();
    EXPECT_TRUE(tabAt(index).hasExternalChanges);
    EXPECT_EQ(tabAt(index).document.text, QStringLiteral("v2, from elsewhere\ntyped\n"));
    WindowSession::of(*model).maintenance().maintenanceTick();
    model->saving().writes().waitForWrites();
    EXPECT_EQ(readFile(url.toLocalFile()), QByteArray("v1\n"));
}

// A write refused because the file changed on its way to the disk notes nothing: the note still
// names the last bytes the tab did write.
TEST_F(SessionStoreTest, AWriteRefusedOnItsWayLeavesTheNoteOfTheLastWrite) {
    const QString notes = ownWriteRecordFolder(recoveryDirectory());
    const QUrl url = writeFile(QStringLiteral("raced.txt"), "v0\n");
    const int index = open(url);
    const QUuid id = tabAt(index).id;
    edit(index, QStringLiteral("v1\n"));
    model->saving().saveTab(index);
    model->saving().writes().waitForWrites();
    const std::optional<OwnWriteRecord> noted = readOwnWriteRecord(notes, id);
    ASSERT_TRUE(noted);

    edit(index, QStringLiteral("v2\n"));
    DocumentWriteQueue::setBeforeSyncHook(
        [&](const QString& written) { dunmoss::test::writeFile(written, "theirs\n"); });
    model->saving().saveTab(index);
    model->saving().writes().waitForWrites();
    DocumentWriteQueue::setBeforeSyncHook({});
    EXPECT_EQ(readFile(url.toLocalFile()), QByteArray("theirs\n"));
    EXPECT_TRUE(tabAt(index).hasExternalChanges);
    EXPECT_EQ(readOwnWriteRecord(notes, id), noted);
}

// A file system that keeps whole seconds cannot date a same-size rewrite within the second: the
// restore compares the text it read with the saved text whatever the date says.
TEST_F(SessionStoreTest, ASameSizeRewriteThatKeepsTheDateIsAChangeAtTheRestore) {
    const QUrl url = writeFile(QStringLiteral("coarse.txt"), "saved\n");
    const int index = open(url);
    edit(index, QStringLiteral("saved\ntyped\n"));
    model->persistSession();
    flush();
    model.reset();
    rewriteKeepingDate(url.toLocalFile(), "other\n", false);
    model = restoredModel();
    EXPECT_TRUE(tabAt(index).hasExternalChanges);
    EXPECT_EQ(tabAt(index).document.text, QStringLiteral("saved\ntyped\n"));
    WindowSession::of(*model).maintenance().maintenanceTick();
    model->saving().writes().waitForWrites();
    EXPECT_EQ(readFile(url.toLocalFile()), QByteArray("other\n"));
}

// A kill while a file with two names was written in place: the restart puts the old bytes back,
// and the tab shows them or keeps the text typed as unsaved, never the torn bytes as saved.
TEST_F(SessionStoreTest, AFileLeftTornByAKilledSaveComesBackWhole) {
    QByteArray old;
    for (int i = 0; i < 3000; ++i)
        old += "the line as it was " + QByteArray::number(i) + '\n';
    const QByteArray typed = old.mid(old.size() / 3);
    for (const bool typedStored : {false, true}) {
        const QString name = typedStored ? QStringLiteral("typed.txt") : QStringLiteral("kept.txt");
        const QUrl url = writeFile(name, old);
        ASSERT_EQ(::link(QFile::encodeName(path(name)).constData(),
                         QFile::encodeName(path(name + QStringLiteral(".link"))).constData()),
                  0);
        const int index = open(url);
        if (typedStored)
            edit(index, QString::fromUtf8(typed));
        model->persistSession();
        flush();
        const QUuid id = tabAt(index).id;
        model.reset();
        SessionWriter::shared().waitUntilIdle();
        ASSERT_TRUE(storeOwnWriteRecord(
            ownWriteRecordFolder(recoveryDirectory()), id,
            OwnWriteRecord{path(name), ownWriteDigest(typed), typed.size(), TextFileEncoding::Utf8,
                           TextLineEnding::LineFeed, orderedSecondsSinceEpoch()}));
        ASSERT_TRUE(writeKilledAt(KilledAt::HalfWritten, path(name), typed));
        model = restoredModel();
        EXPECT_EQ(readFile(path(name)), old);
        EXPECT_EQ(tabAt(index).document.text.toUtf8(), typedStored ? typed : old);
        EXPECT_EQ(tabIsModified(tabAt(index)), typedStored);
        EXPECT_FALSE(tabAt(index).hasExternalChanges);
        EXPECT_TRUE(QDir(dir.path())
                        .entryList({QStringLiteral(".*dunmoss*")}, QDir::Files | QDir::Hidden)
                        .isEmpty());
    }
}

// A kill while a file with two names was written in place, then another program's fix: the
// restart keeps the fix, shows it as the file, and says where the earlier bytes went.
TEST_F(SessionStoreTest, AFixWrittenAfterAKilledSaveStaysAndTheRestoredTabSaysSo) {
    QByteArray old;
    for (int i = 0; i < 3000; ++i)
        old += "the line as it was " + QByteArray::number(i) + '\n';
    const QUrl url = writeFile(QStringLiteral("a.txt"), old);
    ASSERT_EQ(::link(QFile::encodeName(path(QStringLiteral("a.txt"))).constData(),
                     QFile::encodeName(path(QStringLiteral("a.txt.link"))).constData()),
              0);
    const int index = open(url);
    model->persistSession();
    flush();
    model.reset();
    SessionWriter::shared().waitUntilIdle();
    ASSERT_TRUE(writeKilledAt(KilledAt::HalfWritten, path(QStringLiteral("a.txt")),
                              old.mid(old.size() / 3)));
    const QByteArray fix = "fixed by hand\n" + old;
    writeFile(QStringLiteral("a.txt.link"), fix);
    model = restoredModel();
    EXPECT_EQ(readFile(path(QStringLiteral("a.txt"))), fix);
    EXPECT_EQ(tabAt(index).document.text.toUtf8(), fix);
    ASSERT_EQ(model->state().notices.shown.size(), 1);
    const std::optional<KeptCopyOffer>& offer = model->state().notices.shown.first().putBack;
    ASSERT_TRUE(offer);
    EXPECT_EQ(readFile(offer->copy), old);
}
