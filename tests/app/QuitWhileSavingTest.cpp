// Quitting, or closing a window, waits until everything is on disk, and on a slow disk that
// takes a while: the window keeps painting meanwhile and says that it is saving, and what is
// typed then is kept too. Each stored copy is written once unless something changed.
#include "ProgramDriving.h"
#include "app/ApplicationActions.h"
#include "app/EditorMenuBar.h"
#include "app/EditorWindowChrome.h"
#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "chrome/WindowLayout.h"
#include "chrome/WindowStatusLine.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "platform/AtomicFileWrite.h"
#include "platform/Localization.h"
#include "session/SessionWriter.h"
#include "session/WindowSession.h"
#include "text/EditorTab.h"
#include "window/DocumentOpening.h"
#include "window/ScriptedInteraction.h"
#include "window/WindowDerivedValues.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

// A disk that holds every sync until the test lets go (or a few seconds have passed, so that a
// quit waiting for it on the window's thread still ends).
struct SlowDisk {
    std::mutex mutex;
    std::condition_variable released;
    bool holding = false;
    int held = 0;
};
SlowDisk& slowDisk() {
    static SlowDisk disk;
    return disk;
}
void holdSync() {
    SlowDisk& disk = slowDisk();
    std::unique_lock lock(disk.mutex);
    ++disk.held;
    disk.released.wait_for(lock, std::chrono::seconds(4), [&] { return !disk.holding; });
    --disk.held;
}
int syncsHeld() {
    std::lock_guard lock(slowDisk().mutex);
    return slowDisk().held;
}
void releaseSyncs() {
    {
        std::lock_guard lock(slowDisk().mutex);
        slowDisk().holding = false;
    }
    slowDisk().released.notify_all();
}

// A person typing on while the disk is slow: before each sync, the window's thread is given one
// more letter to type into the editor, and the sync waits until it has had its turn (or a few
// seconds, should that thread be held). A letter given while the window was on screen and not
// taken is lost.
struct TypingOn {
    std::mutex mutex;
    std::condition_variable turned;
    QPointer<ShortcutTextView> editor;
    std::atomic<bool> shown = true;
    // The editor's text after each letter was given.
    QString seen;
    int turns = 0;
    int given = 0;
    int lost = 0;
};
TypingOn& typingOn() {
    static TypingOn typing;
    return typing;
}
void typeOneLetterFirst() {
    TypingOn& typing = typingOn();
    int turn = 0;
    {
        std::lock_guard lock(typing.mutex);
        turn = typing.turns;
        ++typing.given;
    }
    QMetaObject::invokeMethod(
        qApp,
        [&typing, shown = typing.shown.load()] {
            const QString before = typing.seen;
            if (typing.editor) {
                typeText(typing.editor, QStringLiteral("k"));
                typing.seen = typing.editor->toPlainText();
            }
            std::lock_guard lock(typing.mutex);
            typing.lost += shown && typing.seen == before ? 1 : 0;
            ++typing.turns;
            typing.turned.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(typing.mutex);
    typing.turned.wait_for(lock, std::chrono::seconds(4), [&] { return typing.turns > turn; });
}

class QuitWhileSaving : public ProgramFixture {
protected:
    void TearDown() override {
        releaseSyncs();
        beforeAtomicWriteSyncForTesting(nullptr);
        // A window closed by the quit no longer counts as an editor window, but it is still
        // there and reads the settings the fixture is about to let go.
        QList<QPointer<QWidget>> windows;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (qobject_cast<EditorWindowView*>(widget))
                windows.append(widget);
        for (const QPointer<QWidget>& window : windows)
            delete window.data();
        ProgramFixture::TearDown();
    }

    // A launched window with "first line\n" open, the keyboard in its text, and `typed` typed.
    ShortcutTextView* launchAndType(std::unique_ptr<DunmossNotepadApp>& app,
                                    QPointer<EditorWindowView>& window, const QString& typed) {
        window = launchOn(app, dir.filePath(QStringLiteral("notes.txt")), "first line\n");
        if (!window)
            return nullptr;
        ShortcutTextView* editor =
            window->windowLayout().editorArea()->primaryPane()->editorView()->textView();
        editor->setFocus();
        typeText(editor, typed);
        settle();
        return editor;
    }

    // While the disk holds the end, the window goes on, stays up and says why.
    void expectPaintedSaying(const QPointer<EditorWindowView>& window, const char* message) {
        ASSERT_TRUE(QTest::qWaitFor([] { return syncsHeld() > 0; }));
        bool ticked = false;
        QTimer::singleShot(0, [&] { ticked = true; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return ticked; }));
        EXPECT_GT(syncsHeld(), 0);
        ASSERT_TRUE(window && window->isVisible());
        auto* status = window->findChild<WindowStatusLine*>();
        ASSERT_TRUE(status);
        EXPECT_TRUE(QTest::qWaitFor([&] { return status->isVisible(); }));
        EXPECT_EQ(status->message(), localizedString(QLatin1String(message)));
    }

    // Types on through a close or quit (`end`) on a slow disk: every letter the window took
    // must be in the copies the next start reads, each of which is written once while the
    // window takes keys and once more, for the letters typed meanwhile, from when it stops.
    void expectEveryLetterKeptThrough(const std::function<void()>& end) {
        std::unique_ptr<DunmossNotepadApp> app;
        QPointer<EditorWindowView> window;
        ShortcutTextView* editor = launchAndType(app, window, QStringLiteral("stored "));
        ASSERT_TRUE(editor);
        WindowSession::of(window->model()).persistence().persistSessionAndWait();
        const SessionStore& store = WindowSession::of(window->model()).store();
        const QString copies[] = {store.sessionRecordPath(), store.recoverySnapshotPath()};
        int writesBefore[2];
        for (int i = 0; i < 2; ++i)
            writesBefore[i] = SessionWriter::shared().writeCount(copies[i]);
        typingOn().editor = editor;
        typingOn().shown = true;
        typingOn().lost = 0;
        QObject::connect(window->windowHandle(), &QWindow::visibleChanged,
                         [](bool shown) { typingOn().shown = shown; });
        beforeAtomicWriteSyncForTesting(&typeOneLetterFirst);
        typeText(editor, QStringLiteral("typed then "));
        typingOn().seen = editor->toPlainText();
        end();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window; }, 20'000));
        SessionWriter::shared().waitUntilIdle();
        beforeAtomicWriteSyncForTesting(nullptr);
        // Every letter given has had its turn.
        EXPECT_TRUE(QTest::qWaitFor([] {
            std::lock_guard lock(typingOn().mutex);
            return typingOn().turns == typingOn().given;
        }));
        // Letters were typed while the first copies were written, and none given to the window
        // on screen was dropped.
        EXPECT_TRUE(typingOn().seen.contains(QLatin1String("typed then k")));
        EXPECT_EQ(typingOn().lost, 0);
        for (const QString& copy : copies) {
            QFile stored(copy);
            ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
            const QJsonArray tabs = QJsonDocument::fromJson(stored.readAll())
                                        .object()
                                        .value(QLatin1String("tabs"))
                                        .toArray();
            ASSERT_EQ(tabs.size(), 1) << copy.toStdString();
            EXPECT_EQ(tabs.at(0).toObject().value(QLatin1String("draftText")).toString(),
                      typingOn().seen)
                << copy.toStdString();
        }
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(SessionWriter::shared().writeCount(copies[i]) - writesBefore[i], 2)
                << copies[i].toStdString();
    }

    // Keys given while the tab's file is read again wait for its text; a close or quit (`end`)
    // meanwhile keeps them. The read is held until the close waits for it or the window is gone.
    void expectKeysHeldForAReloadKeptThrough(const std::function<void(EditorWindowView&)>& end) {
        std::unique_ptr<DunmossNotepadApp> app;
        QPointer<EditorWindowView> window;
        ShortcutTextView* editor = launchAndType(app, window, QString());
        ASSERT_TRUE(editor);
        QSemaphore gate;
        window->model().opening().beforeRead = [&gate](const QUrl&) { gate.acquire(); };
        const auto letGo = qScopeGuard([&] { gate.release(); });
        editorMenuBar(*window)->actionForKey(QStringLiteral("command.reload"))->trigger();
        typeText(editor, QStringLiteral("held key"));
        ASSERT_FALSE(editor->toPlainText().contains(QLatin1String("held key")));

        end(*window);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return !window ||
                       WindowSession::of(window->model()).closingSave().isWaitingForReads();
            },
            20'000));
        gate.release();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window; }, 20'000));
        SessionWriter::shared().waitUntilIdle();
        expectRecoveryHolds("\"held keyfirst line");
    }

    // The copy the next start reads holds `words`.
    void expectRecoveryHolds(const char* words) {
        QFile recovery(dir.filePath(QStringLiteral("Recovery/recovery.json")));
        ASSERT_TRUE(recovery.open(QIODevice::ReadOnly));
        const QByteArray stored = recovery.readAll();
        EXPECT_TRUE(stored.contains(words)) << stored.left(400).toStdString();
    }
};

TEST_F(QuitWhileSaving, TheWindowPaintsAndSaysSoWhileTheDiskHoldsTheQuit) {
    std::unique_ptr<DunmossNotepadApp> app;
    QPointer<EditorWindowView> window;
    ShortcutTextView* editor = launchAndType(app, window, QStringLiteral("typed before quitting "));
    ASSERT_TRUE(editor);

    slowDisk().holding = true;
    beforeAtomicWriteSyncForTesting(&holdSync);
    quitApplication();
    // The session's writer waits for the disk; the window goes on meanwhile.
    expectPaintedSaying(window, "app.quit.saving");
    typeText(editor, QStringLiteral("and while it saved"));

    releaseSyncs();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window; }, 20'000));
    // The quit still waited for everything: both words are in the copy the next start reads.
    expectRecoveryHolds("typed before quitting and while it saved");
}

TEST_F(QuitWhileSaving, TheCloseButtonPaintsAndSaysSoWhileTheDiskHoldsTheClose) {
    std::unique_ptr<DunmossNotepadApp> app;
    QPointer<EditorWindowView> window;
    ShortcutTextView* editor = launchAndType(app, window, QStringLiteral("typed before closing "));
    ASSERT_TRUE(editor);

    slowDisk().holding = true;
    beforeAtomicWriteSyncForTesting(&holdSync);
    // What the window manager's close button sends.
    window->close();
    expectPaintedSaying(window, "window.close.saving");
    typeText(editor, QStringLiteral("and while it saved"));

    releaseSyncs();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window; }, 20'000));
    expectRecoveryHolds("typed before closing and while it saved");
}

TEST_F(QuitWhileSaving, EveryLetterTypedThroughACloseOnASlowDiskIsKept) {
    expectEveryLetterKeptThrough([] {
        // What the window manager's close button sends.
        typingOn().editor->window()->close();
    });
}

TEST_F(QuitWhileSaving, EveryLetterTypedThroughAQuitOnASlowDiskIsKept) {
    expectEveryLetterKeptThrough([] { quitApplication(); });
}

TEST_F(QuitWhileSaving, KeysHeldForAReloadAreKeptThroughAClose) {
    expectKeysHeldForAReloadKeptThrough([](EditorWindowView& window) { window.close(); });
}

TEST_F(QuitWhileSaving, KeysHeldForAReloadAreKeptThroughAQuit) {
    expectKeysHeldForAReloadKeptThrough([](EditorWindowView&) { quitApplication(); });
}

// A quit kept at its question brings back every window it sealed for its last write, each
// taking keys again.
TEST_F(QuitWhileSaving, AQuitKeptAtItsQuestionBringsBackEveryWindowItSealed) {
    std::unique_ptr<DunmossNotepadApp> app;
    QPointer<EditorWindowView> first;
    ASSERT_TRUE(launchAndType(app, first, QStringLiteral("draft one ")));
    const QPointer<EditorWindowView> second = app->openEditorWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return second && second->hasCompletedStartUp(); }));
    test::ScriptedInteraction person;
    person.alertAnswers = {2}; // keep the window
    for (EditorWindowView* window : {first.data(), second.data()}) {
        window->model().setInteraction(&person);
        window->model().setTabText(activeTab(window->model().state()).id,
                                   QStringLiteral("unsaved draft"));
    }

    quitApplication();
    ASSERT_TRUE(QTest::qWaitFor([&] { return person.alerts.size() == 1; }, 20'000));
    settle();
    EXPECT_FALSE(isQuitting());
    for (const QPointer<EditorWindowView>& window : {first, second}) {
        ASSERT_TRUE(window);
        EXPECT_TRUE(window->isVisible());
        EXPECT_FALSE(window->isSealedForClosing());
        ShortcutTextView* editor =
            window->windowLayout().editorArea()->primaryPane()->editorView()->textView();
        typeText(editor, QStringLiteral("typed after"));
        EXPECT_TRUE(editor->toPlainText().contains(QLatin1String("typed after")));
        window->model().setInteraction(nullptr);
    }
}

// A quit while a save is still being written waits for it, then writes the session and the
// recovery copy, once each, holding what the save left.
TEST_F(QuitWhileSaving, AQuitWritesEachSessionCopyOnce) {
    std::unique_ptr<DunmossNotepadApp> app;
    const QString path = dir.filePath(QStringLiteral("notes.txt"));
    QPointer<EditorWindowView> window = launchOn(app, path, "first line\n");
    ASSERT_TRUE(window);
    ShortcutTextView* editor =
        window->windowLayout().editorArea()->primaryPane()->editorView()->textView();
    editor->setFocus();
    typeText(editor, QStringLiteral("saved then quit"));
    settle();
    SessionWriter::shared().waitUntilIdle();
    const SessionStore& store = WindowSession::of(window->model()).store();
    const QString copies[] = {store.sessionRecordPath(), store.recoverySnapshotPath()};
    int writesBefore[2];
    for (int i = 0; i < 2; ++i)
        writesBefore[i] = SessionWriter::shared().writeCount(copies[i]);

    slowDisk().holding = true;
    beforeAtomicWriteSyncForTesting(&holdSync);
    editorMenuBar(*window)->actionForKey(QStringLiteral("command.save"))->trigger();
    ASSERT_TRUE(QTest::qWaitFor([] { return syncsHeld() > 0; }));
    quitApplication();
    QTest::qWait(50);
    releaseSyncs();
    ASSERT_TRUE(QTest::qWaitFor([] { return !hasVisibleEditorWindow(); }, 20'000));
    SessionWriter::shared().waitUntilIdle();
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(SessionWriter::shared().writeCount(copies[i]) - writesBefore[i], 1)
            << copies[i].toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("saved then quit"));
}

} // namespace
