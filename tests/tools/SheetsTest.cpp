#include "PanelFixture.h"
#include "tools/ColumnInsert.h"
#include "tools/ExternalCommand.h"
#include "tools/GoToLine.h"
#include "tools/HelpSheet.h"
#include "tools/OutlineNavigation.h"
#include "window/MenuShortcuts.h"
#include "window/WindowCommandHandlers.h"

#include <QSignalSpy>
#include <QTest>

namespace dunmoss::test {
namespace {

using SheetsTest = PanelFixture;

TEST_F(SheetsTest, GoToLineSelectsTheWholeLineClampedToTheText) {
    setTabs({{"a.txt", "ab\ncd\nef\n"}});
    const auto go = [&](const char* typed) {
        model->update([&](EditorWindowState& s) {
            s.panels.goToLineText = QString::fromUtf8(typed);
            s.panels.showGoToLineSheet = true;
        });
        GoToLine(*model).goToLine();
        return active().selectedRange;
    };
    EXPECT_EQ(go("2"), (TextRange{3, 2}));
    EXPECT_FALSE(state().panels.showGoToLineSheet);
    EXPECT_EQ(state().findMessage, text("tools.goto-line.done.format").arg(2));
    EXPECT_EQ(go("  +3\n"), (TextRange{6, 2}));
    EXPECT_EQ(go("0"), (TextRange{0, 2}));
    EXPECT_EQ(go("-3"), (TextRange{0, 2}));
    // Past the end: the empty last line after the final line feed, and its number.
    EXPECT_EQ(go("99"), (TextRange{9, 0}));
    EXPECT_EQ(state().findMessage, text("tools.goto-line.done.format").arg(4));
    EXPECT_EQ(go("9223372036854775807"), (TextRange{9, 0}));
    EXPECT_EQ(undoStack(active().id)->count(), 0);
}

TEST_F(SheetsTest, GoToLineRefusesWhatIsNotAWholeNumberAndKeepsTheSheet) {
    setTabs({{"a.txt", "ab\ncd"}});
    select(1);
    for (const char* typed : {"", "   ", "12abc", "1.5", "1 2", "0x10", "+", "٣",
                              "9223372036854775808", "-9223372036854775809"}) {
        model->update([&](EditorWindowState& s) {
            s.errors.errorMessage.reset();
            s.panels.goToLineText = QString::fromUtf8(typed);
            s.panels.showGoToLineSheet = true;
        });
        GoToLine(*model).goToLine();
        EXPECT_EQ(state().errors.errorMessage, text("tools.goto-line.invalid")) << typed;
        EXPECT_TRUE(state().panels.showGoToLineSheet) << typed;
        EXPECT_EQ(state().panels.goToLineText, QString::fromUtf8(typed));
    }
    EXPECT_EQ(active().selectedRange, (TextRange{1, 0}));
}

TEST_F(SheetsTest, GoToLineOpensWithTheCaretLine) {
    setTabs({{"a.txt", "ab\ncd\nef"}});
    select(4);
    WindowCommandHandlers(*model).presentGoToLine();
    EXPECT_EQ(state().panels.goToLineText, "2");
    EXPECT_TRUE(state().panels.showGoToLineSheet);
    GoToLine(*model).cancel();
    EXPECT_FALSE(state().panels.showGoToLineSheet);
}

TEST_F(SheetsTest, ColumnInsertPadsRaggedLinesAndStopsBeforeATabThatJumpsPast) {
    // Caret after one tab (column 5 at width 4); a short line, a tab reaching the column, and a
    // long line.
    setTabs({{"a.txt", "\tx\nab\nab\tcd\nabcdefgh"}});
    select(1, 14);
    ColumnInsert columns(*model);
    EXPECT_EQ(columns.caretVisualColumn(), 5);
    columns.setInsertText(QStringLiteral("|"));
    columns.applyColumnInsert();
    EXPECT_EQ(active().document.text, "\t|x\nab  |\nab\t|cd\nabcd|efgh");
    EXPECT_EQ(active().selectedRange, (TextRange{1, 1}));
    EXPECT_EQ(state().findMessage, "Inserted at column 5 on 4 lines.");
    EXPECT_FALSE(state().panels.showColumnInsertSheet);
    QUndoStack* stack = undoStack(active().id);
    ASSERT_EQ(stack->count(), 1);
    EXPECT_EQ(stack->undoText(), "Column Insert");
    stack->undo();
    EXPECT_EQ(active().document.text, "\tx\nab\nab\tcd\nabcdefgh");
    EXPECT_EQ(active().selectedRange, (TextRange{1, 14}));

    // Column 3: a tab that would jump past it gets the spaces and the text in front of it.
    setTabs({{"a.txt", "ab\na\tb"}});
    select(2, 3);
    columns.applyColumnInsert();
    EXPECT_EQ(active().document.text, "ab|\na |\tb");
    EXPECT_EQ(state().findMessage, "Inserted at column 3 on 2 lines.");
    // One line: the singular.
    select(1);
    columns.applyColumnInsert();
    EXPECT_EQ(state().findMessage, "Inserted at column 2 on 1 line.");
}

TEST_F(SheetsTest, ColumnInsertRefusesEmptyTextAndReadOnlyTabs) {
    setTabs({{"a.txt", "one\ntwo"}});
    select(4);
    WindowCommandHandlers(*model).presentColumnInsert();
    ColumnInsert columns(*model);
    columns.applyColumnInsert();
    EXPECT_EQ(state().findMessage, text("tools.column-insert.empty"));
    EXPECT_TRUE(state().panels.showColumnInsertSheet);
    // Spaces are text: only the caret's line changes.
    columns.setInsertText(QStringLiteral("  "));
    columns.applyColumnInsert();
    EXPECT_EQ(active().document.text, "one\n  two");

    model->update([](EditorWindowState& s) {
        s.tabs[0].isReadOnly = true;
        s.panels.showColumnInsertSheet = true;
    });
    columns.applyColumnInsert();
    EXPECT_EQ(active().document.text, "one\n  two");
    EXPECT_EQ(state().findMessage, text("large-file.read-only-edit-blocked"));
    EXPECT_FALSE(state().panels.showColumnInsertSheet);
}

TEST_F(SheetsTest, ExternalCommandRunsNothingAndReportsItLater) {
    setTabs({{"a.txt", "text"}});
    ExternalCommand command(*model);
    command.setCommandText(QStringLiteral("old"));
    command.presentExternalCommandSheet();
    EXPECT_EQ(state().panels.externalCommandText, QString());
    command.setCommandText(QStringLiteral(" \n\t"));
    command.runExternalCommand();
    EXPECT_EQ(state().findMessage, text("tools.external-command.empty"));
    EXPECT_TRUE(state().panels.showExternalCommandSheet);

    // The regular-expression option does not turn the failure into a pattern error.
    model->update([](EditorWindowState& s) { s.find.findOptions.isRegex = true; });
    command.setCommandText(QStringLiteral("rm -rf /tmp/x"));
    command.runExternalCommand();
    EXPECT_FALSE(state().panels.showExternalCommandSheet);
    EXPECT_EQ(state().findMessage, text("tools.external-command.empty"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return state().findMessage == text("tools.external-command.unsupported"); }));
    EXPECT_EQ(active().document.text, "text");
    EXPECT_EQ(state().panels.externalCommandText, "rm -rf /tmp/x");
}

TEST_F(SheetsTest, OutlineItemsSelectClampedRangesAndDescribeTheirLine) {
    setTabs({{"a.txt", "abcdef"}});
    OutlineNavigation(*model).openOutlineItem({QUuid::createUuid(), "f", "", 1, {2, 3}});
    EXPECT_EQ(active().selectedRange, (TextRange{2, 3}));
    OutlineNavigation(*model).openOutlineItem({QUuid::createUuid(), "g", "", 9, {40, 3}});
    EXPECT_EQ(active().selectedRange, (TextRange{6, 0}));

    const QString line = text("folder-search.line.format").arg(12);
    EXPECT_EQ(outlineItemDetailLine({{}, "f", "", 12, {}}), line);
    EXPECT_EQ(outlineItemDetailLine({{}, "f", "func", 12, {}}), "func \u00B7 " + line);

    model->setFindMessage(QStringLiteral("kept"));
    WindowCommandHandlers(*model).toggleDocumentOutlinePanel();
    OutlineNavigation(*model).closeDocumentOutline();
    EXPECT_FALSE(state().panels.showDocumentOutline);
    EXPECT_EQ(state().findMessage, QStringLiteral("kept"));
}

TEST_F(SheetsTest, HelpListsTheMenusShortcutsWithThisSystemsKeyNames) {
    MenuShortcuts::record(QStringLiteral("command.new"), QKeySequence(Qt::CTRL | Qt::Key_N));
    MenuShortcuts::record(QStringLiteral("tools.folder-search"),
                          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    const QList<HelpShortcut> rows = helpSheetShortcuts();
    ASSERT_EQ(rows.size(), 8);
    EXPECT_EQ(rows[0].titleKey, "command.new");
    EXPECT_EQ(rows[0].keyText, "Ctrl+N");
    EXPECT_EQ(rows[5].titleKey, "tools.folder-search");
    EXPECT_EQ(rows[5].keyText, "Ctrl+Shift+F");
    EXPECT_EQ(rows[7].titleKey, "command.print");
}

} // namespace
} // namespace dunmoss::test
