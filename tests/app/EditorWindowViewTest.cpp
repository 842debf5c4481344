// An editor window composed as the application composes it: its menu bar and its place in the
// command slot, from first show to close.
#include "chrome/EditorWindowView.h"
#include "app/ApplicationActions.h"
#include "app/EditorCommandsRegistry.h"
#include "app/EditorMenuBar.h"
#include "app/EditorWindowChrome.h"
#include "app/EditorWindowPresence.h"
#include "chrome/HeaderView.h"
#include "chrome/ToolbarPopover.h"
#include "chrome/ToolbarPopoverRows.h"
#include "platform/Defaults.h"
#include "session/WindowSession.h"
#include "support/WaitForOpening.h"
#include "window/EditorWindowModel.h"
#include "window/ScriptedInteraction.h"
#include "window/WindowCommandTable.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

class WindowView : public ::testing::Test {
protected:
    void SetUp() override {
        reset();
        defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("settings.ini")));
    }
    void TearDown() override {
        for (const QPointer<EditorWindowView>& window : windows)
            delete window.data();
        QApplication::processEvents();
        reset();
    }
    static void reset() {
        EditorCommandsRegistry::shared().reset();
        resetEditorWindowPresence();
        setPendingEditorCommand(PendingEditorCommand::None);
    }

    EditorWindowView* makeWindow(bool sceneHosted = true, const QStringList& arguments = {
                                                              QStringLiteral("dunmoss-notepad")}) {
        EditorWindowView::Options options;
        options.isSceneHosted = sceneHosted;
        options.defaults = defaults.get();
        options.processArguments = arguments;
        options.recoveryDirectory = dir.filePath(QStringLiteral("Recovery"));
        auto* window = new EditorWindowView(options);
        std::function<void()> openWindow;
        if (sceneHosted)
            openWindow = [this] { showWindow(makeWindow()); };
        installApplicationChrome(*window, *defaults, openWindow);
        windows.append(window);
        return window;
    }
    static void showWindow(EditorWindowView* window) {
        window->resize(1060, 720);
        window->show();
    }
    static void waitForStartUp(EditorWindowView* window) {
        if (!window->hasCompletedStartUp()) {
            QSignalSpy spy(window, &EditorWindowView::startUpCompleted);
            ASSERT_TRUE(spy.wait(2000));
        }
        // The session's tabs are read in the window's queue of reads.
        test::waitForOpening(window->model());
    }

    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;
    QList<QPointer<EditorWindowView>> windows;
};

} // namespace

TEST_F(WindowView, ShownWindowTakesTheSlotAndPublishesTheOpenAction) {
    EditorWindowView* first = makeWindow();
    EXPECT_TRUE(EditorCommandsRegistry::shared().isEmpty());
    showWindow(first);
    EXPECT_EQ(EditorCommandsRegistry::shared().owner(), first);
    EXPECT_TRUE(bool(openEditorWindowAction()));
    waitForStartUp(first);

    EditorWindowView* second = makeWindow();
    showWindow(second);
    EXPECT_EQ(EditorCommandsRegistry::shared().owner(), second); // before it becomes active

    QApplication::setActiveWindow(first);
    QApplication::processEvents();
    if (first->isActiveWindow()) {
        EXPECT_EQ(EditorCommandsRegistry::shared().owner(), first);
    }
}

TEST_F(WindowView, FallbackWindowLeavesTheOpenActionAlone) {
    EditorWindowView* fallback = makeWindow(false);
    showWindow(fallback);
    EXPECT_EQ(EditorCommandsRegistry::shared().owner(), fallback);
    EXPECT_FALSE(bool(openEditorWindowAction()));
}

TEST_F(WindowView, PendingNewRunsOnceInTheWindowThatComesUp) {
    openEditorWindowAction() = [this] { showWindow(makeWindow()); };
    EditorMenuBar menu(EditMenuContext{}, *defaults);
    menu.actionForKey(QStringLiteral("command.new"))->trigger();
    ASSERT_EQ(windows.size(), 1);
    EditorWindowView* window = windows.first();
    waitForStartUp(window);
    EXPECT_EQ(window->model().state().tabs.size(), 2);
    EXPECT_EQ(pendingEditorCommand(), PendingEditorCommand::None);

    // A later window restores the session the first one saved, and runs no command.
    EditorWindowView* later = makeWindow();
    showWindow(later);
    waitForStartUp(later);
    EXPECT_EQ(later->model().state().tabs.size(), 2);
}

TEST_F(WindowView, StartUpStepsRunBeforeThePendingCommand) {
    EditorWindowView* window = makeWindow();
    QStringList order;
    window->addStartUpStep([&] { order << QStringLiteral("restore"); });
    window->commandTable().handlers().showHelp = [&] { order << QStringLiteral("help"); };
    setPendingEditorCommand(PendingEditorCommand::ShowHelp);
    showWindow(window);
    EXPECT_TRUE(order.isEmpty()); // never inside the show itself
    waitForStartUp(window);
    EXPECT_EQ(order, (QStringList{QStringLiteral("restore"), QStringLiteral("help")}));
}

TEST_F(WindowView, ClosedWindowIsNoLongerReachedByTheMenu) {
    EditorWindowView* first = makeWindow();
    showWindow(first);
    waitForStartUp(first);
    EditorWindowView* second = makeWindow();
    showWindow(second);
    waitForStartUp(second);
    EXPECT_EQ(EditorCommandsRegistry::shared().owner(), second);
    // The session is written before the window goes, off its thread.
    const QPointer<EditorWindowView> closing = second;
    second->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !closing || !closing->isVisible(); }));
    EXPECT_EQ(EditorCommandsRegistry::shared().owner(), first);
    performRegisteredCommand(&EditorCommands::newDocument);
    EXPECT_EQ(first->model().state().tabs.size(), 2);

    const QPointer<EditorWindowView> last = first;
    first->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !last || !last->isVisible(); }));
    QApplication::processEvents();
    EXPECT_TRUE(EditorCommandsRegistry::shared().isEmpty());
    EXPECT_FALSE(hasEditorWindow());
    int opened = 0;
    openEditorWindowAction() = [&] { ++opened; };
    performCommandOrOpenWindow(&EditorCommands::newDocument, PendingEditorCommand::NewDocument);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(pendingEditorCommand(), PendingEditorCommand::NewDocument);
}

// Two doors to the external-command sheet, the Tools menu and the header's tools popover, open
// the same sheet with an empty field.
TEST_F(WindowView, TheExternalCommandSheetOpensFromTheToolsMenuAndTheToolsPopover) {
    EditorWindowView* window = makeWindow();
    showWindow(window);
    waitForStartUp(window);
    const auto sheet = [window]() -> QDialog* {
        QApplication::processEvents();
        auto* dialog = window->findChild<QDialog*>(QStringLiteral("tools.external-command"));
        return dialog && dialog->isVisible() ? dialog : nullptr;
    };
    const auto cancel = [&] {
        QTest::keyClick(sheet(), Qt::Key_Escape);
        QApplication::processEvents();
        EXPECT_FALSE(window->model().state().panels.showExternalCommandSheet);
    };

    EditorMenuBar* menu = editorMenuBar(*window);
    ASSERT_NE(menu, nullptr);
    QAction* item = menu->actionForKey(QStringLiteral("tools.external-command.open"));
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(menu->toolsActions().contains(item));
    item->trigger();
    EXPECT_TRUE(window->model().state().panels.showExternalCommandSheet);
    QDialog* opened = sheet();
    ASSERT_NE(opened, nullptr);
    QTest::keyClicks(opened->findChild<QLineEdit*>(QStringLiteral("sheetField")), "make");
    EXPECT_EQ(window->model().state().panels.externalCommandText, "make");
    cancel();

    HeaderView& header = window->header();
    QTest::mouseClick(header.trigger(HeaderView::Popover::Tools), Qt::LeftButton);
    QApplication::processEvents();
    ToolbarPopoverContainer* popover = header.trigger(HeaderView::Popover::Tools)->popover();
    ASSERT_TRUE(popover && popover->isVisible());
    auto* row = popover->contentWidget()->findChild<ToolbarPopoverRowButton*>(
        QStringLiteral("tools.external-command.open"));
    ASSERT_NE(row, nullptr);
    row->click();
    QApplication::processEvents();
    EXPECT_FALSE(header.isShowingPopover(HeaderView::Popover::Tools));
    EXPECT_TRUE(window->model().state().panels.showExternalCommandSheet);
    opened = sheet();
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->findChild<QLineEdit*>(QStringLiteral("sheetField"))->text(), "")
        << "each opening starts empty";
    cancel();
}

TEST_F(WindowView, ErrorsAreShownOneAfterAnother) {
    EditorWindowView* window = makeWindow();
    showWindow(window);
    window->model().presentError(QStringLiteral("first"));
    window->model().presentError(QStringLiteral("second"));
    window->model().presentError(QStringLiteral("second"));
    window->refreshNow();
    auto current = [window] {
        for (QMessageBox* box : window->findChildren<QMessageBox*>())
            if (box->isVisible())
                return box;
        return static_cast<QMessageBox*>(nullptr);
    };
    QMessageBox* alert = current();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), QStringLiteral("first"));
    alert->buttons().first()->click();
    QApplication::processEvents();
    window->refreshNow();
    alert = current();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), QStringLiteral("second"));
    alert->buttons().first()->click();
    QApplication::processEvents();
    window->refreshNow();
    EXPECT_EQ(current(), nullptr);
    EXPECT_FALSE(window->model().state().errors.errorMessage);
}

// While the session is not saved (interface testing), closing a window with unsaved edits asks
// first; keeping the window leaves it on screen and in the command slot, and a quit continues
// from window to window as the person lets each one close.
TEST_F(WindowView, UnsavedEditsAreNotClosedAwayWithoutAQuestion) {
    test::ScriptedInteraction person;
    person.deferAnswers = true;
    QList<QPointer<EditorWindowView>> shown;
    for (int i = 0; i < 2; ++i) {
        EditorWindowView* window = makeWindow(
            true, {QStringLiteral("dunmoss-notepad"), QStringLiteral("--dunmoss-ui-testing")});
        window->model().setInteraction(&person);
        showWindow(window);
        waitForStartUp(window);
        window->model().setTabText(window->model().state().tabs.first().id,
                                   QStringLiteral("draft %1").arg(i));
        EXPECT_FALSE(WindowSession::of(window->model()).maintenance().isRunning());
        shown << window;
    }

    // A single close, kept.
    person.alertAnswers = {2};
    EXPECT_FALSE(shown[1]->close());
    ASSERT_EQ(person.alerts.size(), 1);
    person.releasePending();
    QApplication::processEvents();
    EXPECT_TRUE(shown[1]->isVisible());
    EXPECT_EQ(EditorCommandsRegistry::shared().owner(), shown[1]);

    // Quit: the first window asked lets go, then the other one is asked and kept.
    person.alertAnswers = {1, 2};
    quitApplication();
    EXPECT_TRUE(isQuitting());
    ASSERT_EQ(person.alerts.size(), 2);
    person.releasePending();
    QApplication::processEvents();
    ASSERT_EQ(person.alerts.size(), 3);
    EXPECT_EQ(int(shown[0] && shown[0]->isVisible()) + int(shown[1] && shown[1]->isVisible()), 1);
    person.releasePending();
    QApplication::processEvents();
    EXPECT_FALSE(isQuitting());
    EXPECT_TRUE(hasVisibleEditorWindow());
    for (const QPointer<EditorWindowView>& window : shown)
        if (window)
            window->model().setInteraction(nullptr);
}

// A termination signal closes the window without a question, even while the question a quit
// raised is still waiting for its answer (the person may be gone: logout, shutdown).
TEST_F(WindowView, ClosingWithoutAskingEndsEvenAQuestionAlreadyAsked) {
    test::ScriptedInteraction person;
    person.deferAnswers = true;
    QPointer<EditorWindowView> window = makeWindow(
        true, {QStringLiteral("dunmoss-notepad"), QStringLiteral("--dunmoss-ui-testing")});
    window->model().setInteraction(&person);
    showWindow(window);
    waitForStartUp(window);
    window->model().setTabText(window->model().state().tabs.first().id, QStringLiteral("draft"));
    EXPECT_FALSE(window->close());
    ASSERT_EQ(person.alerts.size(), 1);

    window->closeWithoutAsking();
    QApplication::processEvents();
    EXPECT_EQ(person.alerts.size(), 1) << "asked again";
    EXPECT_FALSE(window && window->isVisible());
    EXPECT_FALSE(hasVisibleEditorWindow());
    if (window)
        window->model().setInteraction(nullptr);
}

// A window closed before its deferred start-up ran neither takes the slot back nor uses up the
// menu command that waits for a window.
TEST_F(WindowView, WindowClosedBeforeItsStartUpLeavesSlotAndPendingCommand) {
    EditorWindowView* first = makeWindow();
    showWindow(first);
    waitForStartUp(first);
    setPendingEditorCommand(PendingEditorCommand::NewDocument);
    EditorWindowView* second = makeWindow();
    showWindow(second);
    EXPECT_TRUE(second->close());
    EXPECT_EQ(EditorCommandsRegistry::shared().owner(), first);
    QApplication::processEvents(); // the start-up turn
    EXPECT_EQ(EditorCommandsRegistry::shared().owner(), first);
    EXPECT_EQ(pendingEditorCommand(), PendingEditorCommand::NewDocument);
    EXPECT_EQ(first->model().state().tabs.size(), 1);
}

namespace {

TEST_F(WindowView, TheContentNeverGetsSmallerThanItsMinimum) {
    EditorWindowView* window = makeWindow();
    showWindow(window);
    window->resize(300, 200);
    QApplication::processEvents();
    EXPECT_GE(window->centralWidget()->width(), EditorWindowView::kMinimumContentWidth);
    EXPECT_GE(window->centralWidget()->height(), EditorWindowView::kMinimumContentHeight);
}

} // namespace

// With the session saved, closing the last window keeps its drafts without a question and the
// next window brings them back; while another window stays open (it would overwrite the one
// shared session) a close with drafts still asks.
TEST_F(WindowView, TheSessionKeepsDraftsAcrossAClose) {
    test::ScriptedInteraction person;
    EditorWindowView* first = makeWindow();
    first->model().setInteraction(&person);
    showWindow(first);
    waitForStartUp(first);
    EXPECT_TRUE(WindowSession::of(first->model()).maintenance().isRunning());
    first->model().setTabText(first->model().state().tabs.first().id, QStringLiteral("kept"));
    EditorWindowView* second = makeWindow();
    second->model().setInteraction(&person);
    showWindow(second);
    waitForStartUp(second);

    // Each close writes the session first, off the window's thread, then goes on.
    person.alertAnswers = {2}; // keep the window
    EXPECT_FALSE(first->close());
    ASSERT_TRUE(QTest::qWaitFor([&] { return person.alerts.size() == 1; }));
    QApplication::processEvents();
    EXPECT_TRUE(first->isVisible());
    const QPointer<EditorWindowView> firstShown = first;
    const QPointer<EditorWindowView> secondShown = second;
    // A window goes once its last write is on disk.
    second->close(); // nothing unsaved there
    ASSERT_TRUE(QTest::qWaitFor([&] { return !secondShown; }));
    first->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !firstShown; }));
    EXPECT_EQ(person.alerts.size(), 1);
    QApplication::processEvents();

    EditorWindowView* later = makeWindow();
    showWindow(later);
    waitForStartUp(later);
    ASSERT_EQ(later->model().state().tabs.size(), 1);
    EXPECT_EQ(later->model().state().tabs.first().document.text, QStringLiteral("kept"));
}
