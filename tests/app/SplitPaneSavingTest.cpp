// Split view: saving, a refused save and the changed-on-disk notice leave each pane on its
// document and the keyboard where it was; the window's title names the document being typed in.
#include "SplitPaneWindow.h"
#include "app/EditorCommandsRegistry.h"
#include "app/EditorWindowChrome.h"
#include "app/EditorWindowPresence.h"
#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "chrome/EditorWindowView.h"
#include "chrome/HeaderView.h"
#include "chrome/MessageBar.h"
#include "chrome/TestWindowOptions.h"
#include "chrome/WindowLayout.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "text/EditorTab.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QAbstractButton>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

const QString kLeft = QStringLiteral("left one\nleft two\n");
const QString kRight = QStringLiteral("right one\nright two\n");

class SplitPaneSaving : public SplitPaneWindow {
protected:
    void SetUp() override { openSplit(kLeft, kRight); }

    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }

    void press(Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        written();
    }
    const EditorTab& tabWith(const QUuid& id) const { return *window->model().tab(id); }
    // Pane 1 shows the left file, pane 2 the right one, and the keys go on into pane 2.
    void expectPanesAsTheyWere(const QString& leftText, const QString& rightText) {
        const EditorWindowState& state = window->model().state();
        EXPECT_EQ(state.activeTabID, left.id);
        EXPECT_EQ(pane(false)->toPlainText(), leftText);
        EXPECT_EQ(pane(true)->toPlainText(), rightText);
        EXPECT_EQ(keyboardTab(state).id, right.id);
        EXPECT_EQ(QApplication::focusWidget(), pane(true));
    }
    // Clicks the answer of the message bar's question.
    void answer(const char* key) {
        MessageBar* bar = window->windowLayout().messageBar();
        ASSERT_FALSE(bar->isEmpty());
        const QString title = localizedString(QLatin1String(key));
        for (QAbstractButton* button : bar->buttons(0))
            if (button->text() == title) {
                QTest::mouseClick(button, Qt::LeftButton);
                settle();
                return;
            }
        FAIL() << key;
    }
};

} // namespace

TEST_F(SplitPaneSaving, ARefusedSaveAndItsNoticeLeaveThePanesAndTheKeyboardWhereTheyWere) {
    clickInto(true);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("R "));
    const QString mine = QStringLiteral("R ") + kRight;
    writeFile(path("right.txt"), "someone else's longer text\n");

    press(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(readFile(path("right.txt")), "someone else's longer text\n");
    EXPECT_TRUE(tabWith(right.id).hasExternalChanges);
    EXPECT_EQ(window->model().state().decisions.externalChangeTabID, right.id);
    expectPanesAsTheyWere(kLeft, mine);

    // Keeping the editor's text: nothing moves, and the next Ctrl+S writes it.
    answer("document.external-change.keep");
    expectPanesAsTheyWere(kLeft, mine);
    press(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(readFile(path("right.txt")), mine.toUtf8());

    // Reloading the file: pane 2 takes the file's text, pane 1 keeps its own.
    writeFile(path("right.txt"), "from disk\n");
    press(Qt::Key_S, Qt::ControlModifier);
    answer("document.external-change.reload");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return tabWith(right.id).document.text == QStringLiteral("from disk\n"); }));
    settle();
    expectPanesAsTheyWere(kLeft, QStringLiteral("from disk\n"));
    // The keys typed next land in the reloaded document.
    press(Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("x"));
    EXPECT_EQ(tabWith(right.id).document.text, QStringLiteral("from disk\nx"));
    EXPECT_EQ(tabWith(left.id).document.text, kLeft);
}

TEST_F(SplitPaneSaving, SaveAllWritesEveryTabAndLeavesThePanesAndTheKeyboardWhereTheyWere) {
    EditorTab hidden = fileTab(QStringLiteral("hidden.txt"), QStringLiteral("hidden\n"));
    hidden.document.text = QStringLiteral("hidden, edited\n");
    EditorTab draft = untitledTab();
    draft.document.text = QStringLiteral("a draft\n");
    window->model().update([&](EditorWindowState& s) {
        s.tabs.append(hidden);
        s.tabs.append(draft);
    });
    settle();
    clickInto(false);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("L "));
    clickInto(true);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("R "));

    // Ctrl+Alt+S: the untitled tab asks where it goes, a question the person asked for.
    press(Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
    QFileDialog* panel = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        panel = window->findChild<QFileDialog*>();
        return panel && panel->isVisible();
    }));
    // Asked about, the draft is on screen in pane 2, which has the keyboard; pane 1 keeps its own.
    EXPECT_EQ(pane(true)->toPlainText(), draft.document.text);
    EXPECT_EQ(pane(false)->toPlainText(), QStringLiteral("L ") + kLeft);
    EXPECT_EQ(window->windowTitle(), displayTitle(draft));
    auto* name = panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(name);
    name->selectAll();
    QTest::keyClicks(name, path("draft.txt"));
    ASSERT_EQ(panel->selectedFiles(), QStringList{path("draft.txt")});
    panel->QDialog::accept(); // as the Save button does, without its overwrite check
    ASSERT_TRUE(QTest::qWaitFor([&] { return readFile(path("draft.txt")) == "a draft\n"; }));
    written();
    EXPECT_EQ(readFile(path("left.txt")), "L " + kLeft.toUtf8());
    EXPECT_EQ(readFile(path("right.txt")), "R " + kRight.toUtf8());
    EXPECT_EQ(readFile(path("hidden.txt")), "hidden, edited\n");
    for (const EditorTab& tab : window->model().state().tabs)
        EXPECT_FALSE(tabIsModified(tab)) << displayTitle(tab).toStdString();

    // The window, active again once the panel is gone, gives the keyboard back to pane 2.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    settle();
    expectPanesAsTheyWere(QStringLiteral("L ") + kLeft, QStringLiteral("R ") + kRight);
    press(Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("x"));
    EXPECT_EQ(tabWith(right.id).document.text, QStringLiteral("R ") + kRight + QLatin1Char('x'));
}

// Save All shows each untitled tab it asks about in the pane the person works in, never moving a
// document to the other pane, and puts back what that pane showed once answered.
TEST_F(SplitPaneSaving, SaveAllShowsTheUntitledTabItAsksAboutInThePaneWithTheKeyboard) {
    EditorTab draft = untitledTab();
    draft.document.text = QStringLiteral("a draft\n");
    window->model().update([&](EditorWindowState& s) { s.tabs.append(draft); });
    settle();
    const auto saveAllAndCancel = [&](const QString& first, const QString& second) {
        press(Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
        QFileDialog* panel = nullptr;
        ASSERT_TRUE(QTest::qWaitFor([&] {
            panel = window->findChild<QFileDialog*>();
            return panel && panel->isVisible();
        }));
        EXPECT_EQ(pane(false)->toPlainText(), first);
        EXPECT_EQ(pane(true)->toPlainText(), second);
        EXPECT_EQ(window->windowTitle(), displayTitle(draft));
        panel->reject();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !panel->isVisible(); }));
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        settle();
        EXPECT_TRUE(tabIsModified(tabWith(draft.id)));
    };

    // The keyboard in pane 1: it shows the draft, pane 2 keeps the right file.
    clickInto(false);
    saveAllAndCancel(draft.document.text, kRight);
    EXPECT_EQ(window->model().state().activeTabID, left.id);
    EXPECT_EQ(pane(false)->toPlainText(), kLeft);
    EXPECT_EQ(pane(true)->toPlainText(), kRight);
    EXPECT_EQ(QApplication::focusWidget(), pane(false));

    // The keyboard in pane 2: pane 2 shows it, pane 1 keeps the left file.
    clickInto(true);
    saveAllAndCancel(kLeft, draft.document.text);
    expectPanesAsTheyWere(kLeft, kRight);

    // One pane: the draft is the tab on screen while it is asked about.
    window->model().update([](EditorWindowState& s) {
        s.split.splitMode = SplitEditorMode::Single;
        s.split.secondaryTabID.reset();
    });
    settle();
    clickInto(false);
    press(Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
    QFileDialog* panel = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        panel = window->findChild<QFileDialog*>();
        return panel && panel->isVisible();
    }));
    EXPECT_EQ(window->model().state().activeTabID, draft.id);
    EXPECT_EQ(pane(false)->toPlainText(), draft.document.text);
    panel->reject();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !panel->isVisible(); }));
    settle();
    EXPECT_EQ(window->model().state().activeTabID, left.id);
}

TEST_F(SplitPaneSaving, TheWindowTitleNamesTheDocumentWithTheKeyboard) {
    clickInto(true);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("right.txt"));
    EXPECT_EQ(window->windowTitle(), window->header().titleText());
    clickInto(false);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("left.txt"));
    EXPECT_EQ(window->windowTitle(), window->header().titleText());

    // Back in one pane, the title names the active tab again.
    clickInto(true);
    window->model().update(
        [](EditorWindowState& s) { s.split.splitMode = SplitEditorMode::Single; });
    settle();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("left.txt"));
}
