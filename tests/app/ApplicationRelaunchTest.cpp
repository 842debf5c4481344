// Restarting for a new interface language: this process ends only once its successor runs.
#include "app/ApplicationRelaunch.h"
#include "app/SingleInstance.h"
#include "chrome/EditorWindowView.h"
#include "platform/Defaults.h"
#include "platform/NotificationBus.h"
#include "session/WindowSession.h"
#include "window/EditorWindowModel.h"

#include <QFile>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

RelaunchSteps recorded(QStringList& steps, std::optional<QString> startFailure) {
    RelaunchSteps s;
    s.postWillTerminate = [&steps] { steps.append(QStringLiteral("post")); };
    s.releaseInstance = [&steps] { steps.append(QStringLiteral("release")); };
    s.reacquireInstance = [&steps] { steps.append(QStringLiteral("reacquire")); };
    s.startNewInstance = [&steps, startFailure] {
        steps.append(QStringLiteral("start"));
        return startFailure;
    };
    s.terminate = [&steps] { steps.append(QStringLiteral("terminate")); };
    return s;
}

} // namespace

TEST(ApplicationRelaunch, TerminatesOnlyAfterTheNewInstanceStarted) {
    QStringList steps;
    EXPECT_EQ(relaunchApplication(recorded(steps, std::nullopt)), std::nullopt);
    EXPECT_EQ(steps, (QStringList{"post", "release", "start", "terminate"}));

    steps.clear();
    EXPECT_EQ(relaunchApplication(recorded(steps, QStringLiteral("cannot start"))),
              QStringLiteral("cannot start"));
    EXPECT_EQ(steps, (QStringList{"post", "release", "start", "reacquire"}));
}

TEST(ApplicationRelaunch, AFailedStartKeepsTheInstanceServerAndSaysWhy) {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("instance.sock"));
    SingleInstance running(name);
    ASSERT_EQ(running.claim({}), SingleInstance::Role::Primary);
    setRunningInstance(&running);
    QSignalSpy willTerminate(&NotificationBus::shared(),
                             &NotificationBus::applicationWillTerminate);

    RelaunchSteps steps = processRelaunchSteps(dir.filePath(QStringLiteral("no-such-program")));
    bool terminated = false;
    steps.terminate = [&terminated] { terminated = true; };
    // While released, a launch waits for this process to end: it never runs beside it.
    steps.startNewInstance = [&name, &dir]() -> std::optional<QString> {
        {
            SingleInstance successor(name);
            successor.setAnswerTimeout(300);
            EXPECT_EQ(successor.claim({}), SingleInstance::Role::Unanswered);
            EXPECT_FALSE(successor.isListening());
        }
        return processRelaunchSteps(dir.filePath(QStringLiteral("no-such-program")))
            .startNewInstance();
    };
    const std::optional<QString> failure = relaunchApplication(steps);
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->contains(QStringLiteral("no-such-program")));
    EXPECT_FALSE(terminated);
    EXPECT_EQ(willTerminate.size(), 1);
    EXPECT_TRUE(running.isListening());
    setRunningInstance(nullptr);
}

TEST(ApplicationRelaunch, TheNewInstanceKeepsOnlyTheTestingFlag) {
    EXPECT_EQ(relaunchArguments({"dunmoss-notepad", "/tmp/a.txt"}), QStringList{});
    EXPECT_EQ(relaunchArguments({"dunmoss-notepad", "--dunmoss-ui-testing", "/tmp/a.txt"}),
              QStringList{"--dunmoss-ui-testing"});
}

TEST(ApplicationRelaunch, TheSessionIsOnDiskBeforeTheSuccessorStarts) {
    QTemporaryDir dir;
    Defaults defaults(dir.filePath(QStringLiteral("settings.ini")));
    EditorWindowView::Options options;
    options.defaults = &defaults;
    options.processArguments = {QStringLiteral("dunmoss-notepad")};
    options.recoveryDirectory = dir.filePath(QStringLiteral("Recovery"));
    auto window = std::make_unique<EditorWindowView>(options);
    EditorWindowModel& model = window->model();
    WindowSession::of(model).restore().restoreSession();
    model.setTabText(model.state().tabs.first().id, QStringLiteral("draft before the relaunch"));

    processRelaunchSteps(dir.filePath(QStringLiteral("no-such-program"))).postWillTerminate();
    // Read at once, with no turn of the event loop: the successor may start right now.
    QFile record(dir.filePath(QStringLiteral("session.json")));
    ASSERT_TRUE(record.open(QIODevice::ReadOnly));
    EXPECT_TRUE(record.readAll().contains("draft before the relaunch"));
    window.reset();
}
