// Settings that cannot be written are told in a window, once, and the program goes on.
#include "ProgramDriving.h"
#include "app/DunmossNotepadApp.h"
#include "app/EditorCommandsRegistry.h"
#include "app/EditorWindowPresence.h"
#include "chrome/EditorWindowView.h"
#include "platform/Defaults.h"
#include "platform/NotificationBus.h"
#include "window/EditorWindowModel.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThreadPool>
#include <gtest/gtest.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

// On the message bar, which leaves the keyboard alone; never in an alert.
int timesTold(const EditorWindowState& state, const QString& path) {
    EXPECT_FALSE(state.errors.errorMessage);
    int count = 0;
    for (const WindowNotice& notice : state.notices.shown)
        count += notice.message.contains(path) ? 1 : 0;
    return count;
}

} // namespace

TEST(SettingsWriteFailure, IsToldInTheWindowOnce) {
    EditorCommandsRegistry::shared().reset();
    resetEditorWindowPresence();
    NotificationBus::shared().reset();
    QTemporaryDir dir;
    // A folder stands where the settings file should be.
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    ASSERT_TRUE(QDir().mkpath(path));
    Defaults defaults(path);
    {
        DunmossNotepadApp app({QStringLiteral("dunmoss-notepad")}, defaults);
        app.setRecoveryDirectory(dir.filePath(QStringLiteral("Recovery")));
        EditorWindowView* window = app.start({});
        QSignalSpy started(window, &EditorWindowView::startUpCompleted);
        ASSERT_TRUE(window->hasCompletedStartUp() || started.wait(5000));
        // The file is written on a pool thread soon after the change; the failure comes back.
        QSignalSpy failed(&defaults, &Defaults::writeFailed);
        defaults.setValue(QStringLiteral("editor.fontSize"), 15);
        ASSERT_TRUE(failed.wait(10'000));
        settle();
        EXPECT_EQ(timesTold(window->model().state(), path), 1);
        defaults.setValue(QStringLiteral("editor.fontSize"), 16);
        settle();
        QThreadPool::globalInstance()->waitForDone(10'000);
        settle();
        EXPECT_EQ(failed.count(), 1);
        EXPECT_EQ(timesTold(window->model().state(), path), 1);
        EXPECT_EQ(defaults.integer(QStringLiteral("editor.fontSize")), 16);
        for (QWidget* widget : editorWindows())
            delete widget;
        settle();
    }
    EditorCommandsRegistry::shared().reset();
    resetEditorWindowPresence();
    NotificationBus::shared().reset();
}
