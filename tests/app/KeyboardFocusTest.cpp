// The keyboard belongs to the active tab's editor: right after a launch with a file, after a new
// tab, after a click on an outline row and after the find bar closes, keys pressed on whatever has
// the focus reach the document.
#include "ProgramDriving.h"
#include "app/DunmossNotepadApp.h"
#include "app/EditorCommandsRegistry.h"
#include "app/EditorMenuBar.h"
#include "app/EditorWindowChrome.h"
#include "app/EditorWindowPresence.h"
#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "chrome/EditorWindowView.h"
#include "chrome/HeaderView.h"
#include "chrome/WindowLayout.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "platform/NotificationBus.h"
#include "tools/DocumentOutlinePanel.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QAbstractButton>
#include <QDialog>
#include <QFile>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWindow>
#include <gtest/gtest.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

class KeyboardFocus : public ProgramFixture {
protected:
    // Launched as the program is, on a file written first; returns once its tab is active.
    EditorWindowView* launch(const QString& name, const QByteArray& bytes) {
        path = dir.filePath(name);
        return launchOn(app, path, bytes);
    }
    static ShortcutTextView* editorOf(EditorWindowView* window) {
        return window->windowLayout().editorArea()->primaryPane()->editorView()->textView();
    }
    static const QString& activeText(EditorWindowView* window) {
        return activeTab(window->model().state()).document.text;
    }

    QString path;
    std::unique_ptr<DunmossNotepadApp> app;
};

} // namespace

TEST_F(KeyboardFocus, KeysTypedAfterLaunchAndAfterANewTabReachTheText) {
    EditorWindowView* window = launch(QStringLiteral("notes.txt"), "first line\n");
    ASSERT_TRUE(window);
    // No control of the header can hold the keyboard, so a space never runs one.
    for (QAbstractButton* control : window->header().findChildren<QAbstractButton*>())
        EXPECT_EQ(control->focusPolicy(), Qt::NoFocus) << control->objectName().toStdString();
    ASSERT_EQ(QApplication::focusWidget(), editorOf(window));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("typed at launch "));
    EXPECT_EQ(activeText(window), QStringLiteral("typed at launch first line\n"));
    EXPECT_EQ(window->model().state().tabs.size(), 1);

    // Ctrl+N from the keyboard: the new tab's text takes the keys.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::ControlModifier);
    settle();
    ASSERT_EQ(window->model().state().tabs.size(), 2);
    ASSERT_EQ(QApplication::focusWidget(), editorOf(window));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("new tab"));
    EXPECT_EQ(activeText(window), QStringLiteral("new tab"));
}

TEST_F(KeyboardFocus, AnOutlineRowClickAndAClosedFindBarLeaveTheKeyboardInTheText) {
    EditorWindowView* window =
        launch(QStringLiteral("notes.md"), "# One\nbody\n# Two\nmore text\n");
    ASSERT_TRUE(window);
    editorMenuBar(*window)->actionForKey(QStringLiteral("tools.document-outline"))->trigger();
    settle();
    auto* outline = window->findChild<DocumentOutlinePanel*>();
    ASSERT_TRUE(outline && outline->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return outline->items().size() == 2; }));
    settle();

    QListView* list = outline->list();
    const QRect row = list->visualRect(list->model()->index(1, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    settle();
    ASSERT_EQ(QApplication::focusWidget(), editorOf(window));
    // The row selected the heading's text; typing replaces it.
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("# Second"));
    EXPECT_EQ(activeText(window), QStringLiteral("# One\nbody\n# Second\nmore text\n"));

    // The find bar takes the keyboard while open and gives it back when closed.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
    settle();
    ASSERT_NE(QApplication::focusWidget(), editorOf(window));
    auto* bar = window->windowLayout().panel(WindowPanel::FindBar);
    QToolButton* close = nullptr;
    for (QToolButton* button : bar->findChildren<QToolButton*>())
        if (button->toolTip() == localizedString(QStringLiteral("find.close")))
            close = button;
    ASSERT_TRUE(close);
    QTest::mouseClick(close, Qt::LeftButton);
    settle();
    ASSERT_FALSE(bar->isVisible());
    ASSERT_EQ(QApplication::focusWidget(), editorOf(window));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("!"));
    EXPECT_EQ(activeText(window), QStringLiteral("# One\nbody\n# Second!\nmore text\n"));
}

// An alert about what was typed into a sheet belongs to the sheet: once it is closed the window
// manager hands the keyboard to the window it was raised on, which must be the sheet (and in it
// the field, though the mouse pressed its button) and not the main window the sheet blocks.
TEST_F(KeyboardFocus, AfterAnAlertAboutASheetsFieldTheKeysGoToThatField) {
    EditorWindowView* window = launch(QStringLiteral("notes.txt"), "one\ntwo\nthree\n");
    ASSERT_TRUE(window);
    // Keys go where the window system sends them: to the window that has the keyboard.
    const auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWindow* target = QGuiApplication::focusWindow();
        ASSERT_TRUE(target);
        QTest::keyClick(target, key, modifiers);
        settle();
    };
    const auto click = [](QWidget* parent, const char* name) {
        auto* button = parent->findChild<QPushButton*>(QLatin1String(name));
        ASSERT_TRUE(button);
        QTest::mouseClick(button, Qt::LeftButton);
        settle();
    };
    press(Qt::Key_L, Qt::ControlModifier);
    auto* sheet = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_TRUE(sheet && sheet->isVisible());
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet));
    press(Qt::Key_X);
    click(sheet, "confirmButton");
    QMessageBox* alert = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        alert = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        return alert && alert->isVisible();
    }));
    EXPECT_EQ(alert->text(), localizedString(QStringLiteral("tools.goto-line.invalid")));
    QWidget* raisedOn = alert->parentWidget() ? alert->parentWidget()->window() : window;
    QTest::mouseClick(alert->buttons().first(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeModalWidget() == sheet; }));
    // What the window manager does when a dialog goes.
    raisedOn->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(raisedOn));
    settle();

    // The number typed replaces the one refused, and Return goes to that line.
    press(Qt::Key_2);
    press(Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !QApplication::activeModalWidget(); }));
    const EditorTab& tab = activeTab(window->model().state());
    EXPECT_EQ(tab.selectedRange.location, 4);
    EXPECT_EQ(tab.selectedRange.length, 3);
    EXPECT_EQ(activeText(window), QStringLiteral("one\ntwo\nthree\n"));
}
