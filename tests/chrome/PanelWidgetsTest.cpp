#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "chrome/PanelsInstaller.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "tools/ComparePanel.h"
#include "tools/DocumentOutlinePanel.h"
#include "tools/MarkdownPreviewPanel.h"
#include "tools/PanelFixture.h"
#include "tools/PanelSheets.h"
#include "tools/SplitViews.h"
#include "window/WindowCommandHandlers.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QTest>
#include <QTextBlock>

namespace dunmoss::test {
namespace {

using PanelWidgetsTest = PanelFixture;

TEST_F(PanelWidgetsTest, TypingInOneClonePaneShowsInBothWithOneUndoHistory) {
    const QList<QUuid> ids = setTabs({{"a.txt", "shared text"}, {"b.txt", "other"}});
    QWidget window;
    window.resize(1200, 600);
    EditorArea area(*model, &window);
    area.resize(1200, 600);
    installPanels(area, *model, &window);
    SplitViews(*model).cloneActiveView();
    area.refresh({});
    window.show();
    ShortcutTextView* primary = area.primaryPane()->editorView()->textView();
    ShortcutTextView* secondary = area.secondaryPane()->editorView()->textView();
    ASSERT_NE(primary, secondary);
    secondary->setFocus();
    QTextCursor cursor = secondary->textCursor();
    cursor.setPosition(0);
    secondary->setTextCursor(cursor);
    QTest::keyClicks(secondary, QStringLiteral("new "));
    QApplication::processEvents();
    EXPECT_EQ(tabWith(ids[0]).document.text, "new shared text");
    EXPECT_EQ(primary->toPlainText(), "new shared text");

    QUndoStack* stack = undoStack(ids[0]);
    ASSERT_GE(stack->count(), 1);
    while (stack->canUndo())
        stack->undo();
    QApplication::processEvents();
    EXPECT_EQ(tabWith(ids[0]).document.text, "shared text");
    EXPECT_EQ(primary->toPlainText(), "shared text");
    EXPECT_EQ(secondary->toPlainText(), "shared text");
    EXPECT_EQ(undoStack(ids[1])->count(), 0);

    // The header names the clone's tab; in split mode it offers every tab.
    auto* header = area.panel(EditorAreaPanel::SplitHeader);
    ASSERT_TRUE(header);
    SplitViews(*model).openSplitView();
    QApplication::processEvents();
    area.refresh({});
    EXPECT_EQ(area.secondaryPane()->editorView()->textView()->toPlainText(), "other");
    auto* picker = header->findChild<QComboBox*>();
    EXPECT_EQ(picker->count(), 2);

    // Choosing with the mouse leaves the keyboard in the text, so typed letters never pick tabs.
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    primary->setFocus();
    QTest::mouseClick(picker, Qt::LeftButton);
    picker->hidePopup();
    QApplication::processEvents();
    EXPECT_EQ(window.focusWidget(), primary);
}

TEST_F(PanelWidgetsTest, MarkdownPreviewRewritesOnlyChangedBlocksAndMatchesAFreshBuild) {
    setTabs({{"a.md", "# Title\npara\n- item\n```\ncode\n```"}});
    model->update([](EditorWindowState& s) { s.panels.showMarkdownPreview = true; });
    MarkdownPreviewPanel panel(*model);
    const auto shown = [&] {
        QStringList texts;
        for (QTextBlock b = panel.textView()->document()->begin(); b.isValid(); b = b.next())
            texts << b.text();
        return texts;
    };
    const auto edit = [&](const QString& text) {
        model->setTabText(activeTab(state()).id, text);
        panel.refresh();
        EXPECT_EQ(panel.shownBlocks(), parseMarkdownBlocks(text));
        MarkdownPreviewPanel fresh(*model);
        EXPECT_EQ(shown(), [&] {
            QStringList texts;
            for (QTextBlock b = fresh.textView()->document()->begin(); b.isValid(); b = b.next())
                texts << b.text();
            return texts;
        }()) << text.toStdString();
    };
    EXPECT_EQ(shown(), (QStringList{"Title", "para", "\u2022\u2002item", "code"}));
    edit(QStringLiteral("# Title\npara changed\n- item\n```\ncode\n```"));
    edit(QStringLiteral("first\n# Title\npara changed\n- item\n```\ncode\n```"));
    edit(QStringLiteral("first\n# Title\n- item\n```\ncode\n```"));
    edit(QStringLiteral("first\n# Title\n- item\n```\ncode\n```\nlast\nlast 2"));
    edit(QStringLiteral("first\n# Title"));
    edit(QStringLiteral("zero\nfirst\n# Title"));
    edit(QString());
    edit(QStringLiteral("back"));
}

TEST_F(PanelWidgetsTest, MarkdownPreviewShowsFrameMarkersAsTextInTheirOwnBlocks) {
    setTabs({{"a.md", "start"}});
    model->update([](EditorWindowState& s) { s.panels.showMarkdownPreview = true; });
    MarkdownPreviewPanel panel(*model);
    const auto shown = [&] {
        QStringList texts;
        for (QTextBlock b = panel.textView()->document()->begin(); b.isValid(); b = b.next())
            texts << b.text();
        return texts;
    };
    const auto show = [&](const QString& text) {
        model->setTabText(activeTab(state()).id, text);
        panel.refresh();
    };
    // U+FDD0 and U+FDD1 are a text document's frame markers: shown as the editor shows them.
    show(QStringLiteral("a\uFDD0b\n- x\uFDD1\n```\nc\uFDD0\n```\nend"));
    EXPECT_EQ(shown(), (QStringList{"a\uFFFDb", "\u2022\u2002x\uFFFD", "c\uFFFD", "end"}));
    show(QStringLiteral("ab\n- x\n```\nc\n```\nend"));
    EXPECT_EQ(shown(), (QStringList{"ab", "\u2022\u2002x", "c", "end"}));
    show(QStringLiteral("\uFDD1\uFDD0\nend"));
    EXPECT_EQ(shown(), (QStringList{"\uFFFD\uFFFD", "end"}));
}

TEST_F(PanelWidgetsTest, ComparePanelShowsRowsOrTheLimitMessage) {
    const QList<QUuid> ids = setTabs({{"left.txt", "a\nb\nc"}, {"right.txt", "a\nx\nc\nd"}});
    ComparePanel panel(*model);
    model->update([](EditorWindowState& s) { s.split.showCompareView = true; });
    panel.refresh();
    EXPECT_EQ(panel.rowsView()->model()->rowCount(), 4);
    EXPECT_EQ(panel.summaryLabel()->text(),
              text("compare.summary.format").arg(2).arg(1).arg(1).arg(0));
    EXPECT_EQ(panel.picker()->currentData().toUuid(), ids[1]);

    // Lines counted as the status bar counts them: the empty one after the last line feed too.
    model->setTabText(ids[1], QString(QStringLiteral("line\n")).repeated(2001));
    panel.refresh();
    EXPECT_TRUE(panel.summaryLabel()->isHidden());
    EXPECT_EQ(panel.messageLabel()->text(),
              text("compare.too-large.format").arg(3).arg(2002).arg(2000));
}

TEST_F(PanelWidgetsTest, OutlineListsItemsAndSelectsOnClick) {
    setTabs({{"a.md", "# One\ntext\n## Two\n"}});
    model->update([](EditorWindowState& s) { s.panels.showDocumentOutline = true; });
    DocumentOutlinePanel panel(*model);
    ASSERT_EQ(panel.items().size(), 2);
    panel.openRow(1);
    EXPECT_EQ(active().selectedRange, panel.items().at(1).range);
    model->setTabText(active().id, QStringLiteral("plain"));
    panel.refresh();
    EXPECT_TRUE(panel.items().isEmpty());

    // A large text is outlined off the main thread; only the latest text's items arrive.
    const QString filler = QString(QStringLiteral("text\n")).repeated(30'000);
    model->setTabText(active().id, QStringLiteral("# Old\n") + filler);
    panel.refresh();
    model->setTabText(active().id, QStringLiteral("# New\n") + filler + QStringLiteral("# End\n"));
    panel.refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.items().size() == 2; }));
    EXPECT_EQ(panel.items().at(0).title, "New");
    QTest::qWait(50);
    EXPECT_EQ(panel.items().at(0).title, "New");
}

TEST_F(PanelWidgetsTest, SheetsFollowTheirFlagsAndWriteTheirFields) {
    setTabs({{"a.txt", "one\ntwo\nthree"}});
    QWidget window;
    PanelSheets sheets(*model, &window);
    window.show();
    WindowCommandHandlers(*model).presentGoToLine();
    sheets.refresh();
    ASSERT_TRUE(sheets.goToLineSheet());
    auto* field = sheets.goToLineSheet()->findChild<QLineEdit*>();
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("x"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(state().errors.errorMessage, text("tools.goto-line.invalid"));
    sheets.refresh();
    ASSERT_TRUE(sheets.goToLineSheet());
    field->clear();
    QTest::keyClicks(field, QStringLiteral("3"));
    QTest::keyClick(field, Qt::Key_Return);
    sheets.refresh();
    EXPECT_FALSE(sheets.goToLineSheet());
    EXPECT_EQ(active().selectedRange, (TextRange{8, 5}));

    WindowCommandHandlers(*model).setHelpSheetPresented(true);
    sheets.refresh();
    ASSERT_TRUE(sheets.helpSheet());
    QTest::keyClick(sheets.helpSheet(), Qt::Key_Escape);
    EXPECT_FALSE(state().panels.showHelpSheet);
}

} // namespace
} // namespace dunmoss::test
