#include "chrome/NavigationViews.h"
#include "chrome/EditorArea.h"
#include "chrome/EditorWindowView.h"
#include "chrome/TestWindowOptions.h"
#include "chrome/WindowLayout.h"
#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "support/WaitForOpening.h"
#include "tools/QuickOpenPanel.h"
#include "tools/WelcomePanel.h"
#include "tools/Workspace.h"
#include "tools/WorkspaceListing.h"
#include "tools/WorkspacePanel.h"
#include "window/EditorWindowModel.h"
#include "window/WindowCommandTable.h"
#include "window/WindowDerivedValues.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace dunmoss::test {
namespace {

// The real window offscreen, with its palette sheet, sidebar and welcome panel.
class NavigationViewsTest : public ::testing::Test {
protected:
    void SetUp() override {
        defaults = std::make_unique<Defaults>(dir.filePath("settings.ini"));
        window = std::make_unique<EditorWindowView>(testWindowOptions(*defaults));
        window->resize(1000, 700);
        window->show();
        views = window->findChild<NavigationViews*>();
        ASSERT_NE(views, nullptr);
    }

    QUrl writeFile(const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return QUrl::fromLocalFile(file.fileName());
    }
    const EditorWindowState& state() const { return window->model().state(); }
    static QString l(const char* key) { return localizedString(QString::fromLatin1(key)); }
    void settle() {
        waitForOpening(window->model());
        window->refreshNow();
        QApplication::processEvents();
    }

    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;
    std::unique_ptr<EditorWindowView> window;
    NavigationViews* views = nullptr;
};

TEST_F(NavigationViewsTest, PaletteFiltersAsTypedAndReturnRunsTheFirstEntryOnTheNextTurn) {
    window->commandTable().makeWindowCommands().quickOpen();
    settle();
    QuickOpenPanel* palette = views->quickOpenPanel();
    ASSERT_NE(palette, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return palette->queryField()->hasFocus(); }));
    EXPECT_EQ(palette->list()->count(), 32);

    QTest::keyClicks(palette->queryField(), "outline");
    EXPECT_EQ(state().panels.quickOpenQuery, "outline");
    ASSERT_EQ(palette->list()->count(), 1);

    QTest::keyClick(palette->queryField(), Qt::Key_Return);
    EXPECT_FALSE(state().panels.showDocumentOutline) << "runs on the next turn, not at once";
    QApplication::processEvents();
    EXPECT_TRUE(state().panels.showDocumentOutline);
    EXPECT_FALSE(state().panels.showQuickOpen);
    settle();
    EXPECT_EQ(views->quickOpenPanel(), nullptr);

    // Nothing matches: the no-results state, and Return leaves the palette open.
    window->commandTable().makeWindowCommands().quickOpen();
    settle();
    palette = views->quickOpenPanel();
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(palette->queryField()->text(), "");
    QTest::keyClicks(palette->queryField(), "zzzz-no-match");
    EXPECT_TRUE(palette->showsNoResults());
    QTest::keyClick(palette->queryField(), Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_TRUE(state().panels.showQuickOpen);

    // Escape closes it and keeps the query.
    QTest::keyClick(palette->queryField(), Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_FALSE(state().panels.showQuickOpen);
    EXPECT_EQ(state().panels.quickOpenQuery, "zzzz-no-match");
}

// Every row fits the list's width: titles are cut with an ellipsis, nothing scrolls sideways.
TEST_F(NavigationViewsTest, ThePaletteNeverScrollsSideways) {
    window->commandTable().makeWindowCommands().quickOpen();
    settle();
    QuickOpenPanel* palette = views->quickOpenPanel();
    ASSERT_NE(palette, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(palette));
    settle();
    QListWidget* list = palette->list();
    ASSERT_GT(list->count(), 10);
    EXPECT_TRUE(list->verticalScrollBar()->isVisible());
    EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
    EXPECT_EQ(list->horizontalScrollBar()->maximum(), 0);
    for (int row = 0; row < list->count(); ++row)
        EXPECT_LE(list->visualItemRect(list->item(row)).right(), list->viewport()->width() - 1);
}

TEST_F(NavigationViewsTest, UpAndDownChooseThePaletteRowThatReturnRuns) {
    window->commandTable().makeWindowCommands().quickOpen();
    settle();
    QuickOpenPanel* palette = views->quickOpenPanel();
    ASSERT_NE(palette, nullptr);
    QTest::keyClicks(palette->queryField(), "view");
    QListWidget* list = palette->list();
    ASSERT_GE(list->count(), 3);
    ASSERT_EQ(list->item(0)->text(), l("tools.markdown-preview"));
    ASSERT_EQ(list->item(1)->text(), l("tools.split-view"));
    EXPECT_EQ(list->currentRow(), 0) << "the first row is the one Return runs";

    QTest::keyClick(palette->queryField(), Qt::Key_Up);
    EXPECT_EQ(list->currentRow(), 0) << "stays at the top";
    QTest::keyClick(palette->queryField(), Qt::Key_Down);
    QTest::keyClick(palette->queryField(), Qt::Key_Down);
    QTest::keyClick(palette->queryField(), Qt::Key_Up);
    EXPECT_EQ(list->currentRow(), 1);
    EXPECT_TRUE(palette->queryField()->hasFocus()) << "the keyboard stays in the query";
    for (int i = 0; i < list->count() + 2; ++i)
        QTest::keyClick(palette->queryField(), Qt::Key_Down);
    EXPECT_EQ(list->currentRow(), list->count() - 1) << "stops at the last row";

    // Typing lists anew from the first row.
    QTest::keyClick(palette->queryField(), Qt::Key_Backspace);
    EXPECT_EQ(list->currentRow(), 0);
    QTest::keyClick(palette->queryField(), Qt::Key_Down);
    QTest::keyClick(palette->queryField(), Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(state().split.splitMode, SplitEditorMode::Split) << "the chosen row ran";
    EXPECT_FALSE(state().panels.showMarkdownPreview) << "the first row did not";
    EXPECT_FALSE(state().panels.showQuickOpen);
}

TEST_F(NavigationViewsTest, TwoQuickReturnsRunTheCommandOnce) {
    window->commandTable().makeWindowCommands().quickOpen();
    settle();
    QuickOpenPanel* palette = views->quickOpenPanel();
    ASSERT_NE(palette, nullptr);
    QTest::keyClicks(palette->queryField(), "outline");
    ASSERT_EQ(palette->list()->count(), 1);
    // Both arrive before the first has run and closed the palette.
    QTest::keyClick(palette->queryField(), Qt::Key_Return);
    QTest::keyClick(palette->queryField(), Qt::Key_Return);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_TRUE(state().panels.showDocumentOutline) << "toggled once, not on and off again";
    EXPECT_FALSE(state().panels.showQuickOpen);
}

TEST_F(NavigationViewsTest, TheSidebarOpensFilesWithReturnAndARefreshKeepsOpenFolders) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("tree/src/lib"));
    writeFile("tree/src/lib/util.c", "int util;");
    writeFile("tree/src/main.c", "int main;");
    writeFile("tree/notes.md", "# notes");
    const QUrl folder = QUrl::fromLocalFile(dir.filePath("tree"));
    Workspace(window->model()).openWorkspaceRoot(folder);
    WorkspacePanel* sidebar = views->workspacePanel();
    auto* message = sidebar->findChild<QLabel*>("workspaceMessage");
    auto* noFiles = sidebar->findChild<QWidget*>("workspaceNoFiles");
    ASSERT_TRUE(message && noFiles);
    // The listing has not arrived: it says so, and not also that there are no files.
    EXPECT_EQ(message->text(), l("workspace.listing"));
    EXPECT_FALSE(noFiles->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !state().workspace.isListingWorkspace; }));
    settle();
    EXPECT_EQ(message->text(), "2 items");
    EXPECT_FALSE(noFiles->isVisible());

    QTreeWidget* tree = sidebar->tree();
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    QTreeWidgetItem* src = tree->topLevelItem(0);
    tree->expandItem(src);
    ASSERT_EQ(src->childCount(), 2);
    tree->expandItem(src->child(0)); // lib
    ASSERT_EQ(src->child(0)->childCount(), 1);
    tree->setFocus();
    tree->setCurrentItem(src->child(1)); // main.c
    QTest::keyClick(tree, Qt::Key_Return);
    settle();
    EXPECT_EQ(activeTab(state()).fileURL->fileName(), "main.c");

    // A new file, then Refresh: the new tree keeps the open folders and the chosen row.
    writeFile("tree/src/added.c", "int added;");
    QTest::mouseClick(sidebar->findChild<QToolButton*>("workspaceRefresh"), Qt::LeftButton);
    EXPECT_FALSE(noFiles->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !state().workspace.isListingWorkspace; }));
    settle();
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    src = tree->topLevelItem(0);
    EXPECT_TRUE(src->isExpanded());
    ASSERT_EQ(src->childCount(), 3);
    EXPECT_TRUE(src->child(0)->isExpanded()) << "lib stays open too";
    ASSERT_NE(tree->currentItem(), nullptr);
    EXPECT_EQ(tree->currentItem()->text(0), "main.c");

    // Return on a folder opens no file.
    const qsizetype tabs = state().tabs.size();
    tree->setCurrentItem(src->child(0));
    QTest::keyClick(tree, Qt::Key_Return);
    settle();
    EXPECT_EQ(state().tabs.size(), tabs);
}

TEST_F(NavigationViewsTest, AnEmptyFolderSaysSoOnlyOnceListed) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("empty"));
    Workspace(window->model()).openWorkspaceRoot(QUrl::fromLocalFile(dir.filePath("empty")));
    auto* noFiles = views->workspacePanel()->findChild<QWidget*>("workspaceNoFiles");
    ASSERT_NE(noFiles, nullptr);
    EXPECT_FALSE(noFiles->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !state().workspace.isListingWorkspace; }));
    settle();
    EXPECT_TRUE(noFiles->isVisible());
}

TEST_F(NavigationViewsTest, FilesAndAFolderDroppedTogether) {
    const QUrl first = writeFile("first.txt", "one");
    const QUrl second = writeFile("second.txt", "two");
    ASSERT_TRUE(QDir(dir.path()).mkpath("tree/src"));
    const QUrl folder = QUrl::fromLocalFile(dir.filePath("tree"));
    writeFile("tree/src/main.c", "int main;");
    writeFile("tree/notes.md", "# notes");

    QMimeData data;
    data.setUrls({first, folder, second});
    ASSERT_TRUE(window->handleFileDrop(data));
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return !WorkspaceListing::of(window->model()).isListing() && state().tabs.size() == 2;
    }));
    settle();
    EXPECT_EQ(state().tabs.at(0).fileURL, first);
    EXPECT_EQ(state().tabs.at(1).fileURL, second);
    EXPECT_EQ(state().workspace.workspaceRootURL, folder);
    EXPECT_EQ(window->windowLayout().editorArea()->shownElements().first(),
              EditorAreaElement::WorkspaceSidebar);

    QTreeWidget* tree = views->workspacePanel()->tree();
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), "src");
    tree->expandItem(tree->topLevelItem(0));
    ASSERT_EQ(tree->topLevelItem(0)->childCount(), 1);
    // A click on a file row opens it.
    emit tree->itemClicked(tree->topLevelItem(0)->child(0), 0);
    waitForOpening(window->model());
    EXPECT_EQ(activeTab(state()).fileURL->fileName(), "main.c");
    emit tree->itemClicked(tree->topLevelItem(0), 0);
    EXPECT_EQ(state().tabs.size(), 3) << "a folder row opens nothing";
}

TEST_F(NavigationViewsTest, WelcomePanelListsRecentFilesAndItsActionsWork) {
    settle();
    ASSERT_EQ(window->windowLayout().editorArea()->shownElements(),
              QList<EditorAreaElement>{EditorAreaElement::Welcome});
    WelcomePanel* welcome = views->welcomePanel();
    EXPECT_TRUE(welcome->findChild<QLabel*>("welcomeRecentEmpty")->isVisible());

    const QUrl recent = writeFile("recent.txt", "recent text");
    // The window's own recent files.
    window->model().recordRecentFile(recent);
    window->model().update([](EditorWindowState&) {});
    settle();
    EXPECT_FALSE(welcome->findChild<QLabel*>("welcomeRecentEmpty")->isVisible());
    QPushButton* row = welcome->findChild<QPushButton*>("welcomeRecent0");
    ASSERT_NE(row, nullptr);
    row->click();
    settle();
    EXPECT_EQ(activeTab(state()).fileURL, recent);
    EXPECT_EQ(window->windowLayout().editorArea()->shownElements(),
              QList<EditorAreaElement>{EditorAreaElement::EditorPane});
}

namespace {

// The file names the panel's recent rows show, in order.
QStringList recentRowNames(const WelcomePanel& panel) {
    QStringList names;
    for (int i = 0;; ++i) {
        const auto* row = panel.findChild<QPushButton*>(QStringLiteral("welcomeRecent%1").arg(i));
        if (!row)
            return names;
        names.append(row->findChildren<QLabel*>().at(1)->text());
    }
}

} // namespace

// A window with tabs open records a file at every open while its welcome panel is hidden: the
// rows are made once it is shown, for the newest list, and a shown panel follows at once.
TEST(WelcomePanelRows, AHiddenPanelMakesItsRecentRowsOnlyWhenShownForTheNewestList) {
    WelcomePanel panel;
    const QUrl a = QUrl::fromLocalFile(QStringLiteral("/tmp/w/a.txt"));
    const QUrl b = QUrl::fromLocalFile(QStringLiteral("/tmp/w/b.txt"));
    panel.setRecentFiles({a});
    panel.setRecentFiles({b, a});
    EXPECT_EQ(panel.recentFiles(), (QList<QUrl>{b, a}));
    EXPECT_TRUE(recentRowNames(panel).isEmpty());
    panel.show();
    QApplication::processEvents();
    EXPECT_EQ(recentRowNames(panel), (QStringList{"b.txt", "a.txt"}));
    EXPECT_FALSE(panel.findChild<QLabel*>("welcomeRecentEmpty")->isVisible());

    panel.setRecentFiles({a});
    EXPECT_EQ(recentRowNames(panel), QStringList{"a.txt"});
    // Emptied while hidden: shown again, it says there are none.
    panel.hide();
    panel.setRecentFiles({});
    panel.show();
    QApplication::processEvents();
    EXPECT_TRUE(recentRowNames(panel).isEmpty());
    EXPECT_TRUE(panel.findChild<QLabel*>("welcomeRecentEmpty")->isVisible());
}

TEST_F(NavigationViewsTest, WelcomeNewButtonHidesThePanelAndAddsATab) {
    settle();
    views->welcomePanel()->findChild<QPushButton*>("welcome.command.new")->click();
    settle();
    EXPECT_FALSE(state().panels.showWelcome);
    EXPECT_EQ(state().tabs.size(), 2);
}

// Text typed before anything was chosen starts the document; a button chosen with Tab still
// answers Return.
TEST_F(NavigationViewsTest, TypingOnTheWelcomePanelStartsTheDocument) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    settle();
    QApplication::processEvents();
    WelcomePanel* welcome = views->welcomePanel();
    ASSERT_EQ(QApplication::focusWidget(), welcome) << "the panel stands in for the editor";

    QTest::keyClick(welcome, Qt::Key_Tab);
    QWidget* chosen = QApplication::focusWidget();
    ASSERT_TRUE(chosen && welcome->isAncestorOf(chosen)) << "Tab walks the panel's buttons";
    QTest::keyClick(chosen, Qt::Key_H);
    for (const char key : QByteArray("i there\rok"))
        QTest::keyClick(QApplication::focusWidget(), key);
    settle();
    EXPECT_EQ(state().tabs.size(), 1);
    EXPECT_EQ(activeTab(state()).document.text, QStringLiteral("hi there\nok"));
    EXPECT_EQ(window->windowLayout().editorArea()->shownElements(),
              QList<EditorAreaElement>{EditorAreaElement::EditorPane});
}

TEST_F(NavigationViewsTest, ReturnOnAChosenWelcomeButtonPressesIt) {
    settle();
    auto* newButton = views->welcomePanel()->findChild<QPushButton*>("welcome.command.new");
    newButton->setFocus();
    QTest::keyClick(newButton, Qt::Key_Return);
    QTest::qWait(300); // the press shows before it clicks
    settle();
    EXPECT_EQ(state().tabs.size(), 2);
    EXPECT_TRUE(activeTab(state()).document.text.isEmpty());
}

} // namespace
} // namespace dunmoss::test
