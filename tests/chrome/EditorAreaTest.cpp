#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "window/WindowFixture.h"

#include <QApplication>
#include <QLabel>
#include <QTest>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

using E = EditorAreaElement;

EditorTab textTab(const QString& text) {
    EditorTab tab = untitledTab();
    tab.fileURL = QUrl::fromLocalFile(QStringLiteral("/tmp/area.txt"));
    tab.document.text = text;
    tab.savedSnapshot = text;
    return tab;
}

class EditorAreaWidget : public WindowFixture {};

} // namespace

TEST(EditorAreaElements, WelcomeThenEditorAndFullRowOrder) {
    EditorWindowState state;
    EXPECT_EQ(editorAreaElements(state), QList<E>{E::Welcome});
    state.tabs = {textTab(QStringLiteral("a")), textTab(QStringLiteral("b"))};
    EXPECT_EQ(editorAreaElements(state), QList<E>{E::EditorPane});
    state.workspace.showWorkspace = true;
    state.panels.showDocumentOutline = true;
    state.panels.showMarkdownPreview = true;
    state.split.showCompareView = true;
    state.split.splitMode = SplitEditorMode::Split;
    EXPECT_EQ(editorAreaElements(state),
              (QList<E>{E::WorkspaceSidebar, E::Divider, E::EditorPane, E::Divider, E::SecondPane,
                        E::Divider, E::Outline, E::Divider, E::MarkdownPreview, E::Divider,
                        E::ComparePanel}));
}

TEST_F(EditorAreaWidget, CentreShowsTheWelcomePanelWhenInstalled) {
    EditorArea area(*model);
    area.refresh({});
    // No welcome panel yet: the lone tab itself is shown.
    EXPECT_EQ(area.shownElements(), QList<E>{E::EditorPane});
    area.setPanel(EditorAreaPanel::Welcome, new QLabel(QStringLiteral("welcome")));
    area.refresh({});
    EXPECT_EQ(area.shownElements(), QList<E>{E::Welcome});
    model->update([](EditorWindowState& s) { s.panels.showWelcome = false; });
    area.refresh({});
    EXPECT_EQ(area.shownElements(), QList<E>{E::EditorPane});
}

TEST_F(EditorAreaWidget, SplitWithOneTabShowsItTwiceAndKeepsItsWidth) {
    EditorArea area(*model);
    model->update([](EditorWindowState& s) {
        s.tabs = {textTab(QStringLiteral("shared text"))};
        s.split.splitMode = SplitEditorMode::Split;
        s.panels.showWelcome = false;
    });
    area.resize(500, 400);
    area.refresh({});
    area.show();
    QApplication::processEvents();
    EXPECT_EQ(area.shownElements(), (QList<E>{E::EditorPane, E::Divider, E::SecondPane}));
    EXPECT_GE(area.secondPaneContainer()->width(), EditorArea::kSecondPaneMinimumWidth);
    EXPECT_EQ(area.secondaryPane()->editorView()->textView()->toPlainText(),
              QStringLiteral("shared text"));
}

TEST_F(EditorAreaWidget, CloneModeEditsOneDocumentFromBothPanes) {
    EditorArea area(*model);
    model->update([](EditorWindowState& s) {
        s.tabs = {textTab(QStringLiteral("abc"))};
        s.split.splitMode = SplitEditorMode::Clone;
        s.panels.showWelcome = false;
    });
    area.resize(900, 400);
    area.refresh({});
    area.show();
    QApplication::processEvents();
    ShortcutTextView* left = area.primaryPane()->editorView()->textView();
    ShortcutTextView* right = area.secondaryPane()->editorView()->textView();
    right->setFocus();
    QTest::keyClick(right, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(right, "XY");
    QApplication::processEvents();
    EXPECT_EQ(model->state().tabs.first().document.text, QStringLiteral("abcXY"));
    EXPECT_EQ(left->toPlainText(), QStringLiteral("abcXY"));
}
