#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "chrome/EditorWindowView.h"
#include "chrome/TestWindowOptions.h"
#include "chrome/WindowLayout.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "tools/ComparePanel.h"
#include "tools/DocumentOutlinePanel.h"
#include "tools/MarkdownPreviewPanel.h"
#include "window/WindowFixture.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

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

namespace {

// The whole window with outline, Markdown preview and compare beside the editor.
class EditorAreaPanels : public ::testing::Test {
protected:
    void SetUp() override {
        defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("settings.ini")));
        window = std::make_unique<EditorWindowView>(testWindowOptions(*defaults));
        const EditorTab notes = textTab(QStringLiteral("# One\ntext\n"));
        const EditorTab other = textTab(QStringLiteral("# Two\ntext\n"));
        window->model().update([&](EditorWindowState& s) {
            s.tabs = {notes, other};
            s.activeTabID = notes.id;
            s.panels.showWelcome = false;
            s.panels.showDocumentOutline = true;
            s.panels.showMarkdownPreview = true;
            s.split.showCompareView = true;
        });
        resize(1600);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        settle();
    }
    void resize(int width) {
        window->resize(width, 720);
        settle();
    }
    static void settle() {
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
    }
    EditorArea& area() const { return *window->windowLayout().editorArea(); }
    QWidget* panel(EditorAreaPanel which) const { return area().panel(which); }
    int editorWidth() const { return area().primaryPane()->width(); }
    // Every control of the panel lies inside the window.
    bool insideWindow(QWidget* widget) const {
        for (QWidget* child : widget->findChildren<QToolButton*>()) {
            const QRect box(child->mapTo(window.get(), QPoint(0, 0)), child->size());
            if (child->isVisibleTo(widget) && !window->rect().contains(box))
                return false;
        }
        return true;
    }

    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;
    std::unique_ptr<EditorWindowView> window;
};

} // namespace

TEST_F(EditorAreaPanels, StartAtTheirWidthsShrinkBeforeTheEditorAndGiveWayWhenTooNarrow) {
    EXPECT_EQ(panel(EditorAreaPanel::Outline)->width(), DocumentOutlinePanel::kWidth);
    EXPECT_EQ(panel(EditorAreaPanel::MarkdownPreview)->width(), MarkdownPreviewPanel::kWidth);
    EXPECT_EQ(panel(EditorAreaPanel::Compare)->width(), ComparePanel::kWidth);

    // The width the program opens with: all three stand, narrower, the editor keeps its room
    // and the compare panel's buttons are on screen.
    resize(1060);
    EXPECT_TRUE(area().panelsGivingWay().isEmpty());
    EXPECT_GE(editorWidth(), EditorArea::kEditorMinimumWidth);
    for (EditorAreaPanel which :
         {EditorAreaPanel::Outline, EditorAreaPanel::MarkdownPreview, EditorAreaPanel::Compare}) {
        EXPECT_TRUE(panel(which)->isVisible());
        EXPECT_GE(panel(which)->width(), EditorArea::kPanelMinimumWidth);
        EXPECT_TRUE(insideWindow(panel(which)));
    }

    // At the smallest window the panel shown longest gives way, never the editor.
    resize(EditorWindowView::kMinimumContentWidth);
    EXPECT_EQ(area().panelsGivingWay(), QList<EditorAreaElement>{EditorAreaElement::Outline});
    EXPECT_FALSE(panel(EditorAreaPanel::Outline)->isVisible());
    EXPECT_GE(editorWidth(), EditorArea::kEditorMinimumWidth);
    EXPECT_TRUE(insideWindow(panel(EditorAreaPanel::Compare)));
    EXPECT_TRUE(window->model().state().panels.showDocumentOutline);

    resize(1600);
    EXPECT_TRUE(area().panelsGivingWay().isEmpty());
    EXPECT_TRUE(panel(EditorAreaPanel::Outline)->isVisible());
}

TEST_F(EditorAreaPanels, ADragOnADividerResizesThePanelButNotPastTheEditorsMinimum) {
    QSplitter* splitter = area().splitter();
    QWidget* outline = panel(EditorAreaPanel::Outline);
    QSplitterHandle* handle = splitter->handle(splitter->indexOf(outline->parentWidget()));
    ASSERT_TRUE(handle && handle->isVisible());
    // Press, move and release as a mouse delivers them to the divider.
    const auto drag = [&](int dx) {
        const QPoint from = handle->rect().center();
        const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
            QMouseEvent event(type, at, handle->mapToGlobal(at),
                              type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, {});
            QApplication::sendEvent(handle, &event);
        };
        send(QEvent::MouseButtonPress, from, Qt::LeftButton);
        send(QEvent::MouseMove, from + QPoint(dx, 0), Qt::LeftButton);
        send(QEvent::MouseButtonRelease, from + QPoint(dx, 0), Qt::NoButton);
        settle();
    };
    const int before = outline->width();
    drag(-100);
    // The grab area reaches a few pixels past the one-pixel line.
    EXPECT_NEAR(outline->width(), before + 100, 3);
    drag(-2000);
    EXPECT_EQ(editorWidth(), EditorArea::kEditorMinimumWidth);
}
