// Split view: every command that acts on "the document" (tools, undo and redo, save, reload, the
// header's menus, the sheets, bookmarks and macros) acts on the pane that has the keyboard, and
// the header and the status bar describe that pane's document.
#include "SplitPaneWindow.h"
#include "app/EditorCommandsRegistry.h"
#include "app/EditorMenuBar.h"
#include "app/EditorWindowChrome.h"
#include "app/EditorWindowPresence.h"
#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "chrome/EditorWindowView.h"
#include "chrome/HeaderView.h"
#include "chrome/StatusBarView.h"
#include "chrome/TestWindowOptions.h"
#include "chrome/ToolbarPopover.h"
#include "chrome/ToolbarPopoverRows.h"
#include "chrome/WindowLayout.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "text/EditorTab.h"
#include "window/EditorWindowModel.h"

#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

class SplitPaneCommands : public SplitPaneWindow {
protected:
    void SetUp() override {
        openSplit(QStringLiteral("left one\nleft two\n"),
                  QStringLiteral("right one\nright two\nright three\n"));
    }

    void run(const char* key) {
        QAction* action = editorMenuBar(*window)->actionForKey(QLatin1String(key));
        ASSERT_TRUE(action) << key;
        action->trigger();
        written();
    }
    const EditorTab& tab(int index) const { return window->model().state().tabs.at(index); }
    // Opens one of the header's popovers and clicks its row with the key; `last` takes the last
    // row of that key (the encoding popover lists the encodings twice: set, then reopen).
    void choose(HeaderView::Popover popover, const char* key, bool last = false) {
        HeaderView& header = window->header();
        QTest::mouseClick(header.trigger(popover), Qt::LeftButton);
        settle();
        ToolbarPopoverContainer* container = header.trigger(popover)->popover();
        ASSERT_TRUE(container && container->isVisible()) << key;
        const QList<ToolbarPopoverRowButton*> rows =
            container->contentWidget()->findChildren<ToolbarPopoverRowButton*>(QLatin1String(key));
        ASSERT_FALSE(rows.isEmpty()) << key;
        QWidget* row = last ? rows.last() : rows.first();
        QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(row->width() - 4, row->height() / 2));
        settle();
    }
    // The window-modal sheet with the object name, once it is on screen.
    QDialog* sheet(const char* name) const {
        QDialog* found = nullptr;
        EXPECT_TRUE(QTest::qWaitFor([&] {
            found = window->findChild<QDialog*>(QLatin1String(name));
            return found && found->isVisible();
        })) << name;
        return found;
    }
    const QString& text(int index) const {
        return window->model().state().tabs.at(index).document.text;
    }
    QString statusLines() const { return window->windowLayout().statusBar()->texts().lines; }
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

TEST_F(SplitPaneCommands, SaveSaveAsReloadAndCloseActOnThePaneWithTheKeyboard) {
    const QString leftPath = dir.filePath(QStringLiteral("left.txt"));
    const QString rightPath = dir.filePath(QStringLiteral("right.txt"));
    clickInto(false);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("L "));
    clickInto(true);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("R "));

    run("command.save");
    EXPECT_EQ(readFile(rightPath), "R right one\nright two\nright three\n");
    EXPECT_EQ(readFile(leftPath), "left one\nleft two\n");
    EXPECT_FALSE(tabIsModified(tab(1)));
    EXPECT_TRUE(tabIsModified(tab(0)));

    // Reload reads the second pane's file again, not the first pane's.
    writeFile(rightPath, "changed on disk\n");
    run("command.reload");
    ASSERT_TRUE(QTest::qWaitFor([&] { return text(1) == QStringLiteral("changed on disk\n"); }));
    EXPECT_EQ(text(0), QStringLiteral("L left one\nleft two\n"));

    // Save As offers the second pane's file and writes its text.
    run("command.save-as");
    QFileDialog* panel = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        panel = window->findChild<QFileDialog*>();
        return panel && panel->isVisible();
    }));
    ASSERT_FALSE(panel->selectedFiles().isEmpty());
    EXPECT_TRUE(panel->selectedFiles().first().endsWith(QStringLiteral("right.txt")));
    const QString copyPath = dir.filePath(QStringLiteral("copy.txt"));
    auto* name = panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(name);
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral("copy.txt"));
    ASSERT_EQ(panel->selectedFiles(), QStringList{copyPath});
    panel->QDialog::accept(); // as the Save button does, without its overwrite check
    ASSERT_TRUE(QTest::qWaitFor([&] { return tab(1).fileURL == QUrl::fromLocalFile(copyPath); }));
    EXPECT_EQ(readFile(copyPath), "changed on disk\n");
    EXPECT_EQ(tab(0).fileURL, QUrl::fromLocalFile(leftPath));

    // Close Tab closes the second pane's document, not the modified one beside it.
    run("command.close-tab");
    ASSERT_EQ(window->model().state().tabs.size(), 1);
    EXPECT_EQ(tab(0).fileURL, QUrl::fromLocalFile(leftPath));
    EXPECT_FALSE(window->model().state().decisions.showDiscardAlert);
}

TEST_F(SplitPaneCommands, TheHeaderShowsAndChangesThePaneWithTheKeyboard) {
    using P = HeaderView::Popover;
    writeFile(dir.filePath(QStringLiteral("right.txt")), "caf\xC3\xA9\n");
    window->model().update([](EditorWindowState& s) {
        s.tabs[1].document.text = s.tabs[1].savedSnapshot = QStringLiteral("caf\u00E9\n");
    });
    clickInto(true);
    EXPECT_EQ(window->header().titleText(), QStringLiteral("right.txt"));

    // Reopened as Latin-1, the file's two UTF-8 bytes read as two letters.
    choose(P::Encoding, "encoding.iso-latin-1", true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return text(1) == QStringLiteral("caf\u00C3\u00A9\n"); }));
    EXPECT_EQ(tab(1).document.encoding, TextFileEncoding::IsoLatin1);
    EXPECT_EQ(tab(0).document.encoding, TextFileEncoding::Utf8);

    choose(P::Encoding, "encoding.utf16-le");
    EXPECT_EQ(tab(1).document.encoding, TextFileEncoding::Utf16LittleEndian);
    choose(P::Encoding, "line-ending.crlf");
    EXPECT_EQ(tab(1).document.lineEnding, TextLineEnding::CarriageReturnLineFeed);
    choose(P::Language, "language.python");
    EXPECT_EQ(tab(1).languageOverride, EditorLanguage::Python);
    EXPECT_EQ(window->header().languageText(), localizedString(QStringLiteral("language.python")));
    EXPECT_TRUE(window->header().showsUnsavedBadge());

    const EditorTab& left = tab(0);
    EXPECT_EQ(left.document.encoding, TextFileEncoding::Utf8);
    EXPECT_EQ(left.document.lineEnding, TextLineEnding::LineFeed);
    EXPECT_FALSE(left.languageOverride);
    // The keyboard stayed in the second pane through the popovers.
    EXPECT_EQ(QApplication::focusWidget(), pane(true));

    clickInto(false);
    EXPECT_EQ(window->header().titleText(), QStringLiteral("left.txt"));
    EXPECT_FALSE(window->header().showsUnsavedBadge());
}

TEST_F(SplitPaneCommands, SheetsAndBookmarksActOnThePaneWithTheKeyboard) {
    clickInto(true);
    // Go to Line offers the second pane's lines and selects there.
    run("tools.goto-line");
    QDialog* goTo = sheet("tools.goto-line");
    ASSERT_TRUE(goTo);
    const QString range = localizedString(QStringLiteral("tools.goto-line.range.format")).arg(4);
    bool hinted = false;
    for (const QLabel* label : goTo->findChildren<QLabel*>())
        hinted = hinted || label->text() == range;
    EXPECT_TRUE(hinted) << "the hint counts the second pane's lines";
    auto* field = goTo->findChild<QLineEdit*>(QStringLiteral("sheetField"));
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("3"));
    QTest::mouseClick(goTo->findChild<QPushButton*>(QStringLiteral("confirmButton")),
                      Qt::LeftButton);
    settle();
    EXPECT_EQ(tab(1).selectedRange, (TextRange{20, 11}));
    EXPECT_EQ(tab(0).selectedRange, (TextRange{0, 0}));
    // The window, active again once the sheet is gone, gives the keyboard back to the second pane.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    settle();
    EXPECT_EQ(QApplication::focusWidget(), pane(true));

    // Bookmarks: line 3 of the second pane's tab, found again from line 1.
    run("tools.bookmark.toggle");
    EXPECT_EQ(tab(1).bookmarkedLines, (std::set<int>{3}));
    QTest::keyClick(pane(true), Qt::Key_Home, Qt::ControlModifier);
    settle();
    run("tools.bookmark.next");
    EXPECT_EQ(tab(1).selectedRange, (TextRange{20, 11}));
    QTest::keyClick(pane(true), Qt::Key_Home, Qt::ControlModifier);
    settle();
    run("tools.bookmark.previous");
    EXPECT_EQ(tab(1).selectedRange, (TextRange{20, 11}));
    EXPECT_TRUE(tab(0).bookmarkedLines.empty());
    run("tools.bookmark.clear");
    EXPECT_TRUE(tab(1).bookmarkedLines.empty());

    // Column Insert at the second pane's caret.
    QTest::keyClick(pane(true), Qt::Key_Home, Qt::ControlModifier);
    settle();
    run("tools.column-insert");
    QDialog* insert = sheet("tools.column-insert");
    ASSERT_TRUE(insert);
    QTest::keyClicks(insert->findChild<QLineEdit*>(QStringLiteral("sheetField")),
                     QStringLiteral("> "));
    QTest::mouseClick(insert->findChild<QPushButton*>(QStringLiteral("confirmButton")),
                      Qt::LeftButton);
    settle();
    EXPECT_EQ(text(1), QStringLiteral("> right one\nright two\nright three\n"));
    EXPECT_EQ(text(0), QStringLiteral("left one\nleft two\n"));
}

TEST_F(SplitPaneCommands, MacrosRecordAndPlayInThePaneWithTheKeyboard) {
    using P = HeaderView::Popover;
    clickInto(true);
    choose(P::Tools, "tools.macro.record");
    ASSERT_TRUE(window->model().state().macros.isRecordingMacro);
    run("tools.line.duplicate");
    choose(P::Tools, "tools.macro.stop-recording");
    EXPECT_EQ(text(1), QStringLiteral("right one\nright one\nright two\nright three\n"));

    choose(P::Tools, "tools.macro.play-recorded");
    EXPECT_EQ(text(1), QStringLiteral("right one\nright one\nright one\nright two\nright three\n"));
    EXPECT_EQ(text(0), QStringLiteral("left one\nleft two\n"));
    EXPECT_EQ(QApplication::focusWidget(), pane(true));
}
