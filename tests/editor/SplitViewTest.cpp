#include "EditorTestSupport.h"
#include "editor/CodeEditorCoordinator.h"
#include "editor/ShortcutTextView.h"

#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {
int lineCountOfFirstBlock(CodeEditorView& view) {
    QCoreApplication::processEvents();
    return view.textView()->document()->firstBlock().layout()->lineCount();
}
} // namespace

TEST(SplitView, TwoViewsOfOneDocumentWrapAtTheirOwnWidthsAndStayInStep) {
    TextStorageRegistry registry;
    FakeTab tab;
    tab.text = QString(300, u'x') + QStringLiteral("\nsecond line");
    CodeEditorView wide(propsFor(tab, registry));
    CodeEditorView narrow(propsFor(tab, registry));
    wide.resize(900, 300);
    narrow.resize(300, 300);
    wide.show();
    narrow.show();
    ASSERT_NE(wide.textView()->document(), narrow.textView()->document());
    ASSERT_EQ(wide.coordinator().storage(), narrow.coordinator().storage());
    const int wideLines = lineCountOfFirstBlock(wide);
    const int narrowLines = lineCountOfFirstBlock(narrow);
    EXPECT_GT(narrowLines, wideLines);
    // Typing in either view reaches the tab and the other view.
    QTest::keyClick(narrow.textView(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(narrow.textView(), QStringLiteral("!"));
    EXPECT_EQ(tab.text, QString(300, u'x') + QStringLiteral("\nsecond line!"));
    EXPECT_EQ(wide.textView()->toPlainText(), tab.text);
    QTest::keyClick(wide.textView(), Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClicks(wide.textView(), QStringLiteral("> "));
    EXPECT_EQ(narrow.textView()->toPlainText(), tab.text);
    EXPECT_TRUE(tab.text.startsWith(QStringLiteral("> x")));
    // Both views' typing is on the tab's one stack.
    EXPECT_EQ(tab.undo.count(), 2);
    tab.undo.undo();
    tab.undo.undo();
    EXPECT_EQ(tab.text, QString(300, u'x') + QStringLiteral("\nsecond line"));
    EXPECT_EQ(narrow.textView()->toPlainText(), tab.text);
    EXPECT_EQ(wide.textView()->toPlainText(), tab.text);
    // Each keeps its own width after a resize.
    narrow.resize(600, 300);
    EXPECT_LT(lineCountOfFirstBlock(narrow), narrowLines);
    EXPECT_EQ(lineCountOfFirstBlock(wide), wideLines);
}

TEST(SplitView, AStorageOutlivesPruningWhileAViewShowsIt) {
    TextStorageRegistry registry;
    FakeTab tab;
    tab.text = QStringLiteral("kept");
    auto view = std::make_unique<CodeEditorView>(propsFor(tab, registry));
    view->show();
    registry.pruneTextStorages({});
    EXPECT_FALSE(registry.contains(tab.id));
    QTest::keyClicks(view->textView(), QStringLiteral("!"));
    EXPECT_EQ(tab.text, QStringLiteral("!kept"));
    view.reset();
    // A new view of the tab gets a new storage filled from the tab's text.
    CodeEditorView again(propsFor(tab, registry));
    EXPECT_EQ(again.textView()->toPlainText(), QStringLiteral("!kept"));
}

TEST(SplitView, TheNextViewOfAReleasedDocumentWrapsAtItsOwnWidth) {
    TextStorageRegistry registry;
    FakeTab tab;
    tab.text = QString(300, u'y');
    auto wide = std::make_unique<CodeEditorView>(propsFor(tab, registry));
    wide->resize(900, 200);
    wide->show();
    QTextDocument* primary = wide->textView()->document();
    const int wideLines = lineCountOfFirstBlock(*wide);
    wide.reset();
    CodeEditorView narrow(propsFor(tab, registry));
    narrow.resize(250, 200);
    narrow.show();
    EXPECT_EQ(narrow.textView()->document(), primary);
    EXPECT_GT(lineCountOfFirstBlock(narrow), wideLines);
}
