// Split view: the tools, the Edit menu's undo and redo and the status bar act on the document of
// the pane that has the keyboard.
#include "ProgramDriving.h"
#include "app/EditorCommandsRegistry.h"
#include "app/EditorMenuBar.h"
#include "app/EditorWindowChrome.h"
#include "app/EditorWindowPresence.h"
#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "chrome/EditorWindowView.h"
#include "chrome/StatusBarView.h"
#include "chrome/TestWindowOptions.h"
#include "chrome/WindowLayout.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "platform/Defaults.h"
#include "text/EditorTab.h"
#include "window/EditorWindowModel.h"

#include <QPointer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

class SplitPaneCommands : public ::testing::Test {
protected:
    void SetUp() override {
        defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("settings.ini")));
        window = new EditorWindowView(testWindowOptions(*defaults));
        installApplicationChrome(*window, *defaults);
        EditorTab left = untitledTab();
        left.document.text = QStringLiteral("left one\nleft two\n");
        EditorTab right = untitledTab();
        right.document.text = QStringLiteral("right one\nright two\nright three\n");
        window->model().update([&](EditorWindowState& s) {
            s.tabs = {left, right};
            s.activeTabID = left.id;
            s.panels.showWelcome = false;
            s.split.splitMode = SplitEditorMode::Split;
        });
        window->resize(1100, 600);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->hasCompletedStartUp(); }));
        settle();
    }
    void TearDown() override {
        delete window.data();
        settle();
        EditorCommandsRegistry::shared().reset();
        resetEditorWindowPresence();
    }

    ShortcutTextView* pane(bool second) const {
        EditorArea* area = window->windowLayout().editorArea();
        return (second ? area->secondaryPane() : area->primaryPane())->editorView()->textView();
    }
    // A click on the first line of the pane's text, then the keys to the focused widget.
    void clickInto(bool second) {
        ShortcutTextView* text = pane(second);
        QTest::mouseClick(text->viewport(), Qt::LeftButton, {}, QPoint(40, 8));
        settle();
        ASSERT_EQ(QApplication::focusWidget(), text);
    }
    void run(const char* key) {
        QAction* action = editorMenuBar(*window)->actionForKey(QLatin1String(key));
        ASSERT_TRUE(action) << key;
        action->trigger();
        settle();
    }
    const QString& text(int index) const {
        return window->model().state().tabs.at(index).document.text;
    }
    QString statusLines() const { return window->windowLayout().statusBar()->texts().lines; }

    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;
    QPointer<EditorWindowView> window;
};

} // namespace

TEST_F(SplitPaneCommands, ToolsUndoAndStatusFollowThePaneWithTheKeyboard) {
    clickInto(false);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("typed "));
    ASSERT_EQ(text(0), QStringLiteral("typed left one\nleft two\n"));
    const QString leftLines = statusLines();

    clickInto(true);
    EXPECT_NE(statusLines(), leftLines);
    run("tools.line.delete");
    EXPECT_EQ(text(1), QStringLiteral("right two\nright three\n"));
    EXPECT_EQ(text(0), QStringLiteral("typed left one\nleft two\n"));

    // Undo takes back the second pane's step, not the first pane's typing; redo repeats it.
    run("menu.edit.undo");
    EXPECT_EQ(text(1), QStringLiteral("right one\nright two\nright three\n"));
    EXPECT_EQ(text(0), QStringLiteral("typed left one\nleft two\n"));
    run("menu.edit.redo");
    EXPECT_EQ(text(1), QStringLiteral("right two\nright three\n"));

    // Back in the first pane, the same commands reach its document.
    clickInto(false);
    EXPECT_EQ(statusLines(), leftLines);
    run("menu.edit.undo");
    EXPECT_EQ(text(0), QStringLiteral("left one\nleft two\n"));
    EXPECT_EQ(text(1), QStringLiteral("right two\nright three\n"));
}
