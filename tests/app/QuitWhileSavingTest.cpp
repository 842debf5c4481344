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

#include <QPointer>
#include <QTimer>
#include <chrono>
#include <condition_variable>
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

class QuitWhileSaving : public ProgramFixture {
protected:
    void TearDown() override {
        releaseSyncs();
        beforeAtomicWriteSyncForTesting(nullptr);
        // A window closed by the quit no longer counts as an editor window, but it is still
        // there and reads the settings the fixture is about to let go.
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (qobject_cast<EditorWindowView*>(widget))
                delete widget;
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
    ASSERT_TRUE(QTest::qWaitFor([] { return !hasVisibleEditorWindow(); }, 20'000));
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window || !window->isVisible(); }, 20'000));
    expectRecoveryHolds("typed before closing and while it saved");
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
