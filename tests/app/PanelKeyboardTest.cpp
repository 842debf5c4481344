// Where the keyboard goes after working in a side or bottom panel: a file opened from the
// workspace sidebar takes it (as after an outline click), and after the folder panel's dialogs
// close it is back where it was before the button was pressed. Those dialogs start in the
// folder they are most likely to be answered with.
#include "ProgramDriving.h"
#include "app/DunmossNotepadApp.h"
#include "app/EditorMenuBar.h"
#include "app/EditorWindowChrome.h"
#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "chrome/EditorWindowView.h"
#include "chrome/WindowLayout.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "platform/Localization.h"
#include "search/FolderSearchPanel.h"
#include "search/SearchCenterPanel.h"
#include "text/FolderBackupRestore.h"
#include "text/FolderReplacementBackup.h"
#include "tools/Workspace.h"
#include "tools/WorkspacePanel.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <pwd.h>
#include <unistd.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

QString l(const char* key) {
    return localizedString(QString::fromLatin1(key));
}

// The home folder of the account running the tests, whatever HOME says.
QString accountHome() {
    const passwd* account = ::getpwuid(::getuid());
    return account ? QDir(QString::fromLocal8Bit(account->pw_dir)).canonicalPath() : QString();
}

class PanelKeyboard : public ProgramFixture {
protected:
    void write(const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray read(const QString& path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
    // The program with its real dialogs, launched on a file; returns once its tab is active.
    void launch() {
        window = launchOn(app, dir.filePath(QStringLiteral("notes.txt")), "notes\n");
        ASSERT_TRUE(window);
    }
    ShortcutTextView* editor() const {
        return window->windowLayout().editorArea()->primaryPane()->editorView()->textView();
    }
    const EditorTab& active() const { return activeTab(window->model().state()); }
    bool showsFile(const QString& path) const {
        return active().fileURL == QUrl::fromLocalFile(path);
    }
    // The sidebar on a folder holding "sub/", "a.txt" and "b.txt", listed in that order.
    QTreeWidget* sidebarTree() {
        project = dir.filePath(QStringLiteral("project"));
        write(project + QStringLiteral("/sub/inner.txt"), "inner\n");
        write(project + QStringLiteral("/a.txt"), "alpha\n");
        write(project + QStringLiteral("/b.txt"), "beta\n");
        Workspace(window->model()).openWorkspaceRoot(QUrl::fromLocalFile(project));
        auto* panel = window->findChild<WorkspacePanel*>();
        EXPECT_TRUE(panel);
        if (!panel)
            return nullptr;
        QTreeWidget* tree = panel->tree();
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return tree->isVisible() && tree->topLevelItemCount() == 3; }));
        settle();
        return tree;
    }
    void clickRow(QTreeWidget* tree, int row) {
        const QRect rect = tree->visualItemRect(tree->topLevelItem(row));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
        settle();
    }
    QMessageBox* waitForAlert() {
        QMessageBox* box = nullptr;
        EXPECT_TRUE(QTest::qWaitFor([&] {
            box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            return box && box->isVisible();
        }));
        return box;
    }
    QFileDialog* waitForFolderPanel() {
        QFileDialog* panel = nullptr;
        EXPECT_TRUE(QTest::qWaitFor([&] {
            panel = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            return panel && panel->isVisible();
        }));
        return panel;
    }
    // Chooses the folder the panel shows with its accepting button.
    void chooseShownFolder(QFileDialog* panel) {
        auto* buttons = panel->findChild<QDialogButtonBox*>();
        ASSERT_TRUE(buttons);
        QPushButton* choose = buttons->button(QDialogButtonBox::Open);
        ASSERT_TRUE(choose && choose->isEnabled());
        QTest::mouseClick(choose, Qt::LeftButton);
        settle();
    }
    void clickIn(QWidget* field) {
        QTest::mouseClick(field, Qt::LeftButton, {},
                          QPoint(field->width() / 2, field->height() / 2));
        settle();
    }
    // What the window manager does when a dialog goes: its window is active again.
    void dialogGone() {
        EXPECT_TRUE(QTest::qWaitFor([] { return !QApplication::activeModalWidget(); }));
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        settle();
    }
    // The backup folder of the replacement made in `root`, among those of every test.
    static QString backupOf(const QString& root) {
        const QDir backups(folderReplaceBackupsPath());
        for (const QString& name : backups.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QUrl run = QUrl::fromLocalFile(backups.filePath(name));
            try {
                if (QDir(readFolderReplacementManifest(run).rootPath) == QDir(root))
                    return run.toLocalFile();
            } catch (...) {
            }
        }
        return {};
    }
    bool folderOperationRuns() const {
        return window->model().state().folderSearch.isFolderSearchRunning;
    }

    std::unique_ptr<DunmossNotepadApp> app;
    EditorWindowView* window = nullptr;
    QString project;
};

} // namespace

TEST_F(PanelKeyboard, AFileClickedInTheSidebarTakesTheKeyboard) {
    launch();
    QTreeWidget* tree = sidebarTree();
    ASSERT_TRUE(tree);
    clickRow(tree, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return showsFile(project + QStringLiteral("/a.txt")); }));
    settle();
    ASSERT_EQ(QApplication::focusWidget(), editor());
    // Letters go to the file, not to the tree's type-ahead.
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("b"));
    EXPECT_EQ(active().document.text, QStringLiteral("balpha\n"));
    EXPECT_EQ(tree->currentItem(), tree->topLevelItem(1));
}

TEST_F(PanelKeyboard, AFileChosenInTheSidebarWithReturnTakesTheKeyboard) {
    launch();
    QTreeWidget* tree = sidebarTree();
    ASSERT_TRUE(tree);
    // A folder row opens nothing and leaves the keyboard in the tree, to walk it.
    clickRow(tree, 0);
    ASSERT_EQ(QApplication::focusWidget(), tree);
    QTest::keyClick(tree, Qt::Key_Down);
    QTest::keyClick(tree, Qt::Key_Down);
    QTest::keyClick(tree, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return showsFile(project + QStringLiteral("/b.txt")); }));
    settle();
    ASSERT_EQ(QApplication::focusWidget(), editor());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("a"));
    EXPECT_EQ(active().document.text, QStringLiteral("abeta\n"));
}

// Its shortcut opens the folder panel ready to type the query, as Ctrl+F does the find bar, and
// closes it again with the keyboard back in the text.
TEST_F(PanelKeyboard, TheFolderSearchShortcutPutsTheKeyboardInItsQuery) {
    launch();
    ASSERT_EQ(QApplication::focusWidget(), editor());
    QTest::keyClick(editor(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    settle();
    auto* panel = window->findChild<FolderSearchPanel*>();
    ASSERT_TRUE(panel && panel->isVisible());
    ASSERT_EQ(QApplication::focusWidget(), panel->queryField());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("foo"));
    settle();
    EXPECT_EQ(window->model().state().folderSearch.folderSearchQuery, QStringLiteral("foo"));
    EXPECT_EQ(active().document.text, QStringLiteral("notes\n"));

    QTest::keyClick(panel->queryField(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    settle();
    EXPECT_FALSE(panel->isVisible());
    ASSERT_EQ(QApplication::focusWidget(), editor());

    // Opened again from the text, the query it kept has the keyboard.
    QTest::keyClick(editor(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    settle();
    ASSERT_TRUE(panel->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), panel->queryField());
    EXPECT_EQ(panel->queryField()->text(), QStringLiteral("foo"));
}

// A folder search run again from the panel's own list, in a window of the first size: the search
// center comes back with the results, but the panel being typed in stays where it was with the
// keyboard, so the keys typed next refine the query. Where the panel does give way, to a panel
// opened while the person typed in the text, the shortcut brings it back at its first press.
TEST_F(PanelKeyboard, ResultsArrivingLeaveTheFolderPanelAndItsKeyboardInPlace) {
    const QString source = QStringLiteral("int main() {\n    return 0;\n}\n");
    window = launchOn(app, dir.filePath(QStringLiteral("main.cpp")), source.toUtf8());
    ASSERT_TRUE(window);
    ASSERT_EQ(window->size(),
              QSize(DunmossNotepadApp::kDefaultWidth, DunmossNotepadApp::kDefaultHeight));
    project = dir.filePath(QStringLiteral("project"));
    for (int i = 0; i < 8; ++i)
        write(project + QStringLiteral("/f%1.txt").arg(i), "alpha beta\nalpha beta\n");
    QTest::keyClick(editor(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    settle();
    auto* panel = window->findChild<FolderSearchPanel*>();
    ASSERT_TRUE(panel && panel->isVisible());
    QLineEdit* query = panel->queryField();
    for (QPushButton* button : panel->findChildren<QPushButton*>())
        if (button->text() == l("folder-search.choose-folder"))
            QTest::mouseClick(button, Qt::LeftButton);
    QFileDialog* folders = waitForFolderPanel();
    ASSERT_TRUE(folders);
    folders->setDirectory(project);
    chooseShownFolder(folders);
    dialogGone();
    const auto search = [&](const QString& text) {
        clickIn(query);
        QTest::keyClick(query, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(query, text);
        QTest::keyClick(query, Qt::Key_Return);
        EXPECT_TRUE(QTest::qWaitFor([&] {
            return !folderOperationRuns() &&
                   !window->model().state().folderSearch.folderSearchResults.isEmpty();
        }));
        settle();
        settle();
    };
    search(QStringLiteral("alpha"));
    auto* center = window->findChild<SearchCenterPanel*>();
    ASSERT_TRUE(center && center->isVisible());
    QToolButton* closeCenter = nullptr;
    for (QToolButton* button : center->findChildren<QToolButton*>())
        if (button->toolTip() == l("find.close"))
            closeCenter = button;
    ASSERT_TRUE(closeCenter);
    QTest::mouseClick(closeCenter, Qt::LeftButton);
    settle();
    ASSERT_TRUE(panel->resultsBlock()->isVisible());
    const QPoint spot = query->mapTo(window, query->rect().center());

    search(QStringLiteral("beta"));
    EXPECT_TRUE(center->isVisible());
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(query->mapTo(window, query->rect().center()), spot);
    EXPECT_EQ(QApplication::focusWidget(), query);
    ASSERT_TRUE(QApplication::focusWidget());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("zz"));
    settle();
    EXPECT_EQ(query->text(), QStringLiteral("betazz"));
    EXPECT_EQ(active().document.text, source);
    EXPECT_FALSE(tabIsModified(active()));

    // In a lower window the search center gives way to the panel being typed in, which lists the
    // results itself. The find bar, opened from the text, leaves no room for the panel; the
    // shortcut brings it back.
    window->resize(1060, 520);
    search(QStringLiteral("alpha"));
    EXPECT_FALSE(center->isVisible());
    EXPECT_TRUE(panel->resultsBlock()->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), query);
    clickIn(editor());
    QTest::keyClick(editor(), Qt::Key_F, Qt::ControlModifier);
    settle();
    ASSERT_FALSE(panel->isVisible());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F,
                    Qt::ControlModifier | Qt::ShiftModifier);
    settle();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), query);
}

TEST_F(PanelKeyboard, AfterTheFolderPanelsDialogsTheKeyboardIsWhereItWas) {
    launch();
    project = dir.filePath(QStringLiteral("project"));
    write(project + QStringLiteral("/a.txt"), "foo foo\n");
    editorMenuBar(*window)->actionForKey(QStringLiteral("tools.folder-search"))->trigger();
    settle();
    auto* panel = window->findChild<FolderSearchPanel*>();
    ASSERT_TRUE(panel && panel->isVisible());
    auto* query = panel->findChild<QLineEdit*>(QStringLiteral("folderSearchQuery"));
    ASSERT_TRUE(query);
    const auto button = [&](const char* key) {
        for (QPushButton* candidate : panel->findChildren<QPushButton*>())
            if (candidate->text() == l(key))
                return candidate;
        ADD_FAILURE() << key;
        return static_cast<QPushButton*>(nullptr);
    };

    // Choose Folder: the panel is chosen in, then the keyboard is back in the query.
    clickIn(query);
    QTest::keyClicks(query, QStringLiteral("foo"));
    QTest::mouseClick(button("folder-search.choose-folder"), Qt::LeftButton);
    QFileDialog* folders = waitForFolderPanel();
    ASSERT_TRUE(folders);
    folders->setDirectory(project);
    chooseShownFolder(folders);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return !folderOperationRuns() &&
               !window->model().state().folderSearch.folderSearchResults.isEmpty();
    }));
    dialogGone();
    EXPECT_EQ(QApplication::focusWidget(), query);

    // Replace All from the editor: after the confirmation the editor has the keyboard again.
    for (QLineEdit* field : panel->findChildren<QLineEdit*>())
        if (field->placeholderText() == l("folder-search.replace.placeholder")) {
            clickIn(field);
            QTest::keyClicks(field, QStringLiteral("bar"));
        }
    clickIn(editor());
    ASSERT_EQ(QApplication::focusWidget(), editor());
    QTest::mouseClick(button("folder-search.replace-all"), Qt::LeftButton);
    QMessageBox* confirm = waitForAlert();
    ASSERT_TRUE(confirm);
    QAbstractButton* replace = nullptr;
    for (QAbstractButton* candidate : confirm->buttons())
        if (candidate->text() == l("folder-search.replace-confirm.replace"))
            replace = candidate;
    ASSERT_TRUE(replace);
    QTest::mouseClick(replace, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return read(project + QStringLiteral("/a.txt")) == "bar bar\n" && !folderOperationRuns();
    }));
    dialogGone();
    EXPECT_EQ(QApplication::focusWidget(), editor());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("!"));
    EXPECT_EQ(active().document.text, QStringLiteral("!notes\n"));

    // Restore Backup from the query field: the keyboard is back in it afterwards.
    const QString run = backupOf(project);
    ASSERT_FALSE(run.isEmpty());
    clickIn(query);
    QTest::mouseClick(button("folder-search.restore-backup"), Qt::LeftButton);
    QFileDialog* backups = waitForFolderPanel();
    ASSERT_TRUE(backups);
    backups->setDirectory(run);
    chooseShownFolder(backups);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return read(project + QStringLiteral("/a.txt")) == "foo foo\n" && !folderOperationRuns();
    }));
    dialogGone();
    EXPECT_EQ(QApplication::focusWidget(), query);
    // The backup went to the tests' own folder, never to the account's data folder.
    EXPECT_FALSE(run.startsWith(accountHome() + QLatin1Char('/'))) << qPrintable(run);
    QDir(run).removeRecursively();
}

TEST_F(PanelKeyboard, TheFolderPanelsDialogsStartInTheFolderUsedLastAndInTheBackups) {
    launch();
    project = dir.filePath(QStringLiteral("project"));
    write(project + QStringLiteral("/a.txt"), "foo\n");
    QDir().mkpath(folderReplaceBackupsPath());
    editorMenuBar(*window)->actionForKey(QStringLiteral("tools.folder-search"))->trigger();
    settle();
    auto* panel = window->findChild<FolderSearchPanel*>();
    ASSERT_TRUE(panel && panel->isVisible());
    const auto click = [&](const char* key) {
        for (QPushButton* candidate : panel->findChildren<QPushButton*>())
            if (candidate->text() == l(key))
                QTest::mouseClick(candidate, Qt::LeftButton);
    };
    const auto shows = [](QFileDialog* dialog, const QString& folder) {
        return QDir(dialog->directory()).canonicalPath() == QDir(folder).canonicalPath();
    };

    // No folder used yet: the home folder, not the one the program was started in.
    ASSERT_NE(QDir::current().canonicalPath(), QDir::home().canonicalPath());
    click("folder-search.choose-folder");
    QFileDialog* folders = waitForFolderPanel();
    ASSERT_TRUE(folders);
    EXPECT_TRUE(shows(folders, QDir::homePath())) << folders->directory().path().toStdString();
    folders->setDirectory(project);
    chooseShownFolder(folders);
    dialogGone();

    click("folder-search.choose-folder");
    folders = waitForFolderPanel();
    ASSERT_TRUE(folders);
    EXPECT_TRUE(shows(folders, project)) << folders->directory().path().toStdString();
    folders->reject();
    dialogGone();

    click("folder-search.restore-backup");
    QFileDialog* backups = waitForFolderPanel();
    ASSERT_TRUE(backups);
    EXPECT_TRUE(shows(backups, folderReplaceBackupsPath()))
        << backups->directory().path().toStdString();
    backups->reject();
    dialogGone();
    EXPECT_FALSE(folderOperationRuns());
}
