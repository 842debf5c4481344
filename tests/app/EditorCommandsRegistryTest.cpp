#include "app/EditorCommandsRegistry.h"
#include "app/EditorWindowPresence.h"
#include "chrome/EditorWindowView.h"

#include <QApplication>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

using namespace dunmoss;

namespace {

// Counts the calls of every field for one pretend window.
struct CountingWindow {
    std::unique_ptr<QObject> object = std::make_unique<QObject>();
    QHash<QString, int> calls;

    EditorCommands record() {
        EditorCommands commands;
        for (const auto& info : allEditorCommandFields()) {
            const QString name = QString::fromLatin1(info.name);
            commands.*(info.field) = [this, name] { ++calls[name]; };
        }
        return commands;
    }
    void install() { EditorCommandsRegistry::shared().install(object.get(), record()); }
};

class CommandSlot : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset() {
        EditorCommandsRegistry::shared().reset();
        resetEditorWindowPresence();
        setPendingEditorCommand(PendingEditorCommand::None);
    }
};

// A top-level widget that counts as an editor window.
std::unique_ptr<QWidget> shownEditorWindow() {
    auto window = std::make_unique<QWidget>();
    window->setObjectName(QString::fromLatin1(kEditorWindowIdentifier));
    window->resize(200, 100);
    window->show();
    return window;
}

} // namespace

TEST_F(CommandSlot, RecordHasFortyNineFieldsInOrder) {
    const auto& fields = allEditorCommandFields();
    ASSERT_EQ(fields.size(), 49);
    EXPECT_STREQ(fields.first().name, "newDocument");
    EXPECT_STREQ(fields[8].name, "showHelp");
    EXPECT_STREQ(fields[23].name, "toggleWordWrap");
    EXPECT_STREQ(fields[33].name, "showExternalCommand");
    EXPECT_STREQ(fields.last().name, "toggleAlwaysOnTop");
}

TEST_F(CommandSlot, EmptySlotDoesNothing) {
    EXPECT_TRUE(EditorCommandsRegistry::shared().isEmpty());
    performRegisteredCommand(&EditorCommands::saveDocument);
    runPendingEditorCommand(PendingEditorCommand::NewDocument);
    EXPECT_TRUE(EditorCommandsRegistry::shared().isEmpty());
}

TEST_F(CommandSlot, LastWindowToInstallWins) {
    CountingWindow first, second;
    first.install();
    second.install();
    performRegisteredCommand(&EditorCommands::saveDocument);
    EXPECT_EQ(second.calls.value("saveDocument"), 1);
    EXPECT_EQ(first.calls.value("saveDocument"), 0);
    first.install(); // became active again
    performRegisteredCommand(&EditorCommands::saveDocument);
    EXPECT_EQ(first.calls.value("saveDocument"), 1);
}

TEST_F(CommandSlot, ClosedWindowHandsTheSlotToALiveOne) {
    CountingWindow first, second, third;
    first.install();
    second.install();
    third.install();
    second.install(); // the most recent install among the survivors after third goes
    third.object.reset();
    EXPECT_EQ(EditorCommandsRegistry::shared().owner(), second.object.get());
    performRegisteredCommand(&EditorCommands::toggleBookmark);
    EXPECT_EQ(second.calls.value("toggleBookmark"), 1);

    // Closing a window that is not the slot's leaves the slot alone.
    first.object.reset();
    EXPECT_EQ(EditorCommandsRegistry::shared().owner(), second.object.get());

    second.object.reset();
    EXPECT_TRUE(EditorCommandsRegistry::shared().isEmpty());
    EXPECT_EQ(EditorCommandsRegistry::shared().owner(), nullptr);
    performRegisteredCommand(&EditorCommands::toggleBookmark); // nothing left to reach
}

TEST_F(CommandSlot, WithdrawnWindowIsNoLongerReached) {
    CountingWindow first, second;
    first.install();
    second.install();
    EditorCommandsRegistry::shared().withdraw(second.object.get());
    performRegisteredCommand(&EditorCommands::printDocument);
    EXPECT_EQ(first.calls.value("printDocument"), 1);
    EXPECT_EQ(second.calls.value("printDocument"), 0);
    // Destroying it later does not disturb the slot again.
    second.object.reset();
    EXPECT_EQ(EditorCommandsRegistry::shared().owner(), first.object.get());
}

TEST_F(CommandSlot, PendingCommandWithNoWindowOpensOne) {
    int opened = 0;
    openEditorWindowAction() = [&] { ++opened; };
    performCommandOrOpenWindow(&EditorCommands::newDocument, PendingEditorCommand::NewDocument);
    EXPECT_EQ(pendingEditorCommand(), PendingEditorCommand::NewDocument);
    EXPECT_EQ(opened, 1);
    // A second request before any window shows replaces the first; the window group is asked
    // once within the wait.
    performCommandOrOpenWindow(&EditorCommands::quickOpen, PendingEditorCommand::QuickOpen);
    EXPECT_EQ(pendingEditorCommand(), PendingEditorCommand::QuickOpen);
    EXPECT_EQ(opened, 1);

    // The window that comes up installs its record, takes the command and runs it once.
    CountingWindow window;
    window.install();
    runPendingEditorCommand(takePendingEditorCommand());
    EXPECT_EQ(window.calls.value("quickOpen"), 1);
    EXPECT_EQ(window.calls.value("newDocument"), 0);
    EXPECT_EQ(pendingEditorCommand(), PendingEditorCommand::None);
    runPendingEditorCommand(takePendingEditorCommand());
    EXPECT_EQ(window.calls.value("quickOpen"), 1);
}

TEST_F(CommandSlot, WithoutAnyWindowActionTheFallbackOpens) {
    int fallbacks = 0;
    fallbackWindowAction() = [&] { ++fallbacks; };
    performCommandOrOpenWindow(&EditorCommands::showHelp, PendingEditorCommand::ShowHelp);
    EXPECT_EQ(fallbacks, 1);
    EXPECT_EQ(pendingEditorCommand(), PendingEditorCommand::ShowHelp);
}

TEST_F(CommandSlot, VisibleWindowRunsTheCommandAtOnce) {
    auto window = shownEditorWindow();
    CountingWindow record;
    record.install();
    int opened = 0;
    openEditorWindowAction() = [&] { ++opened; };
    performCommandOrOpenWindow(&EditorCommands::openDocument, PendingEditorCommand::OpenDocument);
    EXPECT_EQ(record.calls.value("openDocument"), 1);
    EXPECT_EQ(pendingEditorCommand(), PendingEditorCommand::None);
    EXPECT_EQ(opened, 0);
}

// The closed window's record must not keep answering: New goes the pending way and brings a
// window up instead of adding a tab to a window nobody can see.
TEST_F(CommandSlot, AfterTheLastWindowClosesNewTakesThePendingPath) {
    int opened = 0;
    openEditorWindowAction() = [&] { ++opened; };
    auto window = shownEditorWindow();
    CountingWindow record;
    record.object.reset(window.get()); // the window itself writes the slot
    record.install();
    window->hide();
    record.object.release();
    window.reset(); // destroyed
    performCommandOrOpenWindow(&EditorCommands::newDocument, PendingEditorCommand::NewDocument);
    EXPECT_TRUE(EditorCommandsRegistry::shared().isEmpty());
    EXPECT_EQ(record.calls.value("newDocument"), 0);
    EXPECT_EQ(pendingEditorCommand(), PendingEditorCommand::NewDocument);
    EXPECT_EQ(opened, 1);
}

TEST_F(CommandSlot, ShowMainWindowPrefersExistingWindows) {
    int opened = 0;
    openEditorWindowAction() = [&] { ++opened; };
    auto window = shownEditorWindow();
    window->hide();
    EXPECT_FALSE(hasEditorWindow());
    showMainWindow(); // a hidden editor window is shown again rather than a new one opened
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(hasVisibleEditorWindow());
    EXPECT_EQ(opened, 0);
    QWidget other;
    other.show(); // not an editor window
    EXPECT_EQ(editorWindows(), QList<QWidget*>{window.get()});
}

// A pending command whose window installs its record again while the command runs (it becomes
// active, say) must finish on a record that is still alive.
TEST_F(CommandSlot, PendingCommandSurvivesItsWindowReinstalling) {
    QObject window;
    auto token = std::make_shared<int>(7);
    std::weak_ptr<int> watched = token;
    bool tokenAliveAfterReinstall = false;
    EditorCommands record;
    record.newDocument = [token, &window, &watched, &tokenAliveAfterReinstall] {
        EditorCommandsRegistry::shared().install(&window, EditorCommands{});
        tokenAliveAfterReinstall = !watched.expired() && *token == 7;
    };
    EditorCommandsRegistry::shared().install(&window, record);
    record = EditorCommands{};
    token.reset(); // only the slot's copies hold it now
    runPendingEditorCommand(PendingEditorCommand::NewDocument);
    EXPECT_TRUE(tokenAliveAfterReinstall);
    EXPECT_TRUE(watched.expired()); // released once the command is over
}
