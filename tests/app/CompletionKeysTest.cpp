// The completion list is used from the keyboard as in any code editor: Up and Down move in it,
// Return and Tab take the highlighted entry, Escape closes it, typing narrows it. Keys are
// delivered to the window as the display server delivers them, so they reach the list while it
// is shown.
#include "ProgramDriving.h"
#include "app/DunmossNotepadApp.h"
#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "chrome/EditorWindowView.h"
#include "chrome/WindowLayout.h"
#include "editor/CodeEditorCoordinator.h"
#include "editor/CodeEditorView.h"
#include "editor/CompletionPopup.h"
#include "editor/ShortcutTextView.h"
#include "text/EditorTab.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <QWindow>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

class CompletionKeys : public ProgramFixture {
protected:
    // The program launched on a Python file whose text is `text`, the caret at its end.
    void launch(const QByteArray& text) {
        window = launchOn(app, dir.filePath(QStringLiteral("script.py")), text);
        ASSERT_TRUE(window);
        ASSERT_EQ(QApplication::focusWidget(), editor());
        key(Qt::Key_End, Qt::ControlModifier);
    }
    ShortcutTextView* editor() const {
        return window->windowLayout().editorArea()->primaryPane()->editorView()->textView();
    }
    CompletionPopup* list() const {
        return window->windowLayout()
            .editorArea()
            ->primaryPane()
            ->editorView()
            ->coordinator()
            .completionPopup();
    }
    const QString& text() const { return activeTab(window->model().state()).document.text; }
    // A key pressed on the keyboard, given to the window system as X gives it to the program:
    // to the sheet in front of the window, if any (the list takes keys given to the window).
    QWindow* keyboardWindow() const {
        QWidget* sheet = QApplication::activeModalWidget();
        return sheet ? sheet->windowHandle() : window->windowHandle();
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(keyboardWindow(), key, modifiers);
        settle();
    }
    void type(const QString& letters) {
        for (const QChar c : letters)
            QTest::keyClick(keyboardWindow(), c.toLatin1());
        settle();
    }
    // A click of the mouse, given to the window as X gives it: at `at` in `widget`.
    void click(QWidget* widget, QPoint at) {
        ASSERT_EQ(widget->window(), window);
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, widget->mapTo(window, at));
        settle();
    }
    void click(QWidget* widget) { click(widget, widget->rect().center()); }
    QListView* shownList() const {
        return editor()->findChild<QListView*>(QStringLiteral("completionList"));
    }
    // Types the start of a word and asks for completion.
    void complete(const QString& start) {
        type(start);
        key(Qt::Key_Space, Qt::ControlModifier);
        ASSERT_TRUE(list()->isVisible());
    }

    std::unique_ptr<DunmossNotepadApp> app;
    EditorWindowView* window = nullptr;
};

} // namespace

TEST_F(CompletionKeys, ReturnAndTabTakeTheHighlightedEntryWithoutALineBreakOrATab) {
    launch("sprint = 1\n");
    complete(QStringLiteral("pri"));
    EXPECT_EQ(list()->candidates(),
              (QStringList{QStringLiteral("print()"), QStringLiteral("sprint")}));
    key(Qt::Key_Return);
    EXPECT_EQ(text(), QStringLiteral("sprint = 1\nprint()"));
    EXPECT_FALSE(list()->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), editor());

    // Typing goes on after the word; Tab takes the entry just as Return does.
    key(Qt::Key_Return);
    complete(QStringLiteral("spr"));
    key(Qt::Key_Tab);
    EXPECT_EQ(text(), QStringLiteral("sprint = 1\nprint()\nsprint"));
    EXPECT_FALSE(list()->isVisible());
    type(QStringLiteral(" = 2"));
    EXPECT_EQ(text(), QStringLiteral("sprint = 1\nprint()\nsprint = 2"));
}

TEST_F(CompletionKeys, DownAndUpMoveInTheListAndTypingNarrowsIt) {
    launch("sprint = 1\nprinted = 2\n");
    complete(QStringLiteral("pri"));
    ASSERT_EQ(list()->candidates(),
              (QStringList{QStringLiteral("print()"), QStringLiteral("printed"),
                           QStringLiteral("sprint")}));
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    key(Qt::Key_Up);
    key(Qt::Key_Return);
    EXPECT_EQ(text(), QStringLiteral("sprint = 1\nprinted = 2\nprinted"));

    // Page Down goes to the last entry of the page, Page Up back to the first.
    key(Qt::Key_Return);
    complete(QStringLiteral("pri"));
    key(Qt::Key_PageDown);
    key(Qt::Key_Tab);
    EXPECT_EQ(text(), QStringLiteral("sprint = 1\nprinted = 2\nprinted\nsprint"));
    key(Qt::Key_Return);
    complete(QStringLiteral("pri"));
    key(Qt::Key_PageDown);
    key(Qt::Key_PageUp);
    key(Qt::Key_Tab);
    EXPECT_EQ(text(), QStringLiteral("sprint = 1\nprinted = 2\nprinted\nsprint\nprint()"));

    key(Qt::Key_Return);
    complete(QStringLiteral("p"));
    type(QStringLiteral("rinte"));
    EXPECT_TRUE(list()->isVisible());
    EXPECT_EQ(list()->candidates(), QStringList{QStringLiteral("printed")});
    key(Qt::Key_Return);
    EXPECT_EQ(text(), QStringLiteral("sprint = 1\nprinted = 2\nprinted\nsprint\nprint()\nprinted"));

    // A space ends the word, and the list with it.
    complete(QStringLiteral(" pri"));
    type(QStringLiteral(" "));
    EXPECT_FALSE(list()->isVisible());
    EXPECT_EQ(text(),
              QStringLiteral("sprint = 1\nprinted = 2\nprinted\nsprint\nprint()\nprinted pri "));
}

TEST_F(CompletionKeys, TheListShowsInTheEditorsColours) {
    launch("sprint = 1\n");
    window->model().settings().setThemeRawValue(QStringLiteral("midnight"));
    settle();
    complete(QStringLiteral("pri"));
    QListView* shown = shownList();
    ASSERT_TRUE(shown && shown->isVisible());
    EXPECT_EQ(shown->palette().color(QPalette::Base), editor()->palette().color(QPalette::Base));
    EXPECT_EQ(shown->palette().color(QPalette::Text), editor()->palette().color(QPalette::Text));
    EXPECT_NE(shown->palette().color(QPalette::Base),
              QApplication::palette().color(QPalette::Base));
}

TEST_F(CompletionKeys, EscapeClosesTheListAndTheTextStaysAsTyped) {
    launch("sprint = 1\n");
    complete(QStringLiteral("pri"));
    key(Qt::Key_Escape);
    EXPECT_FALSE(list()->isVisible());
    EXPECT_EQ(text(), QStringLiteral("sprint = 1\npri"));
    EXPECT_EQ(QApplication::focusWidget(), editor());
    // With the list closed the keys are the editor's again.
    key(Qt::Key_Return);
    type(QStringLiteral("x"));
    EXPECT_EQ(text(), QStringLiteral("sprint = 1\npri\nx"));
    EXPECT_FALSE(list()->isVisible());
}

// The list forwards the keys it does not use to the text view. Once a shortcut takes the
// keyboard elsewhere it must be gone: a letter meant for a field would land in the document.
TEST_F(CompletionKeys, AShortcutToAFieldClosesTheListAndTheFieldGetsEveryLetter) {
    launch("sprint = 1\n");
    struct Shortcut {
        Qt::KeyboardModifiers modifiers;
        const char* field;
    };
    for (const Shortcut& shortcut :
         {Shortcut{Qt::ControlModifier, "findQueryField"},
          Shortcut{Qt::ControlModifier | Qt::ShiftModifier, "folderSearchQuery"}}) {
        SCOPED_TRACE(shortcut.field);
        editor()->setFocus();
        settle();
        ASSERT_EQ(QApplication::focusWidget(), editor());
        const QString before = text();
        complete(QStringLiteral("pri"));
        key(Qt::Key_F, shortcut.modifiers);
        EXPECT_FALSE(list()->isVisible());
        type(QStringLiteral("zq"));
        EXPECT_EQ(text(), before + QStringLiteral("pri"));
        auto* field = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_TRUE(field);
        EXPECT_EQ(field->objectName(), QLatin1String(shortcut.field));
        EXPECT_TRUE(field->text().endsWith(QStringLiteral("zq")));
        // Back in the text, typing goes on where it was.
        editor()->setFocus();
        settle();
        key(Qt::Key_Return);
    }
}

// Escape opens the list where an input method keeps Ctrl+Space: it is the same list.
TEST_F(CompletionKeys, TheListOpenedWithEscapeClosesForTheFindField) {
    launch("sprint = 1\npri");
    key(Qt::Key_Escape);
    ASSERT_TRUE(list()->isVisible());
    key(Qt::Key_F, Qt::ControlModifier);
    EXPECT_FALSE(list()->isVisible());
    type(QStringLiteral("sp"));
    EXPECT_EQ(text(), QStringLiteral("sprint = 1\npri"));
    auto* field = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_TRUE(field);
    EXPECT_EQ(field->text(), QStringLiteral("sp"));
}

// The list takes neither the keyboard nor the mouse: a click elsewhere closes it and still does
// what it does. Clicked, a field takes the keys typed next; the document gets none of them.
TEST_F(CompletionKeys, AFieldClickedWhileTheListShowsTakesTheKeysTypedNext) {
    launch("sprint = 1\n");
    key(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    key(Qt::Key_F, Qt::ControlModifier);
    for (const char* name : {"findQueryField", "folderSearchQuery"}) {
        SCOPED_TRACE(name);
        auto* field = window->findChild<QLineEdit*>(QLatin1String(name));
        ASSERT_TRUE(field && field->isVisible());
        field->clear();
        click(editor()->viewport(), editor()->cursorRect().center());
        key(Qt::Key_End, Qt::ControlModifier);
        const QString before = text();
        complete(QStringLiteral(" pri"));
        click(field);
        EXPECT_FALSE(list()->isVisible());
        EXPECT_EQ(QApplication::focusWidget(), field);
        type(QStringLiteral("zq"));
        EXPECT_EQ(field->text(), QStringLiteral("zq"));
        EXPECT_EQ(text(), before + QStringLiteral(" pri"));
    }
}

TEST_F(CompletionKeys, TheMenuBarAndTheSaveButtonActOnTheClickThatClosesTheList) {
    launch("sprint = 1\n");
    complete(QStringLiteral("pri"));
    QMenuBar* bar = window->menuBar();
    QAction* edit = bar->actions().value(1);
    ASSERT_TRUE(edit && edit->menu());
    click(bar, bar->actionGeometry(edit).center());
    EXPECT_FALSE(list()->isVisible());
    EXPECT_EQ(QApplication::activePopupWidget(), edit->menu());
    key(Qt::Key_Escape);
    key(Qt::Key_Escape);
    ASSERT_EQ(QApplication::activePopupWidget(), nullptr);

    complete(QStringLiteral("nt"));
    auto* save = window->findChild<QToolButton*>(QStringLiteral("command.save"));
    ASSERT_TRUE(save);
    click(save);
    EXPECT_FALSE(list()->isVisible());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !tabIsModified(activeTab(window->model().state())); }));
    QFile file(dir.filePath(QStringLiteral("script.py")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("sprint = 1\nprint"));
}

TEST_F(CompletionKeys, AClickOnAnEntryTakesIt) {
    launch("sprint = 1\nprinted = 2\n");
    complete(QStringLiteral("pri"));
    QListView* shown = shownList();
    ASSERT_TRUE(shown);
    const QRect second = shown->visualRect(shown->model()->index(1, 0));
    QTest::mouseClick(shown->viewport(), Qt::LeftButton, {}, second.center());
    settle();
    EXPECT_FALSE(list()->isVisible());
    EXPECT_EQ(text(), QStringLiteral("sprint = 1\nprinted = 2\nprinted"));
    EXPECT_EQ(QApplication::focusWidget(), editor());
}
