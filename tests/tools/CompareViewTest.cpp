#include "tools/CompareView.h"
#include "PanelFixture.h"
#include "window/WindowDerivedValues.h"

namespace dunmoss::test {
namespace {

class CompareViewTest : public PanelFixture {
protected:
    CompareView compare() { return CompareView(*model); }
    std::optional<QUuid> rightTab() const {
        const std::optional<int> index = compareTabIndex(state());
        return index ? std::optional(state().tabs.at(*index).id) : std::nullopt;
    }
};

TEST_F(CompareViewTest, OpeningPicksTheFirstOtherTabAndFallsBackWhenItCloses) {
    const QList<QUuid> ids = setTabs({{"a.txt", "a"}, {"b.txt", "b"}, {"c.txt", "c"}});
    activate(ids[1]);
    compare().toggleCompareView();
    EXPECT_EQ(state().split.compareTabID, ids[0]);
    EXPECT_EQ(state().findMessage, text("tools.compare-view.enabled"));

    // The picker may choose the active tab itself: both sides show it.
    compare().chooseCompareTab(ids[1]);
    EXPECT_EQ(rightTab(), ids[1]);
    compare().chooseCompareTab(ids[2]);
    closeTab(ids[2]);
    // The wish stays, the panel shows the first other tab, then the active tab alone.
    EXPECT_EQ(state().split.compareTabID, ids[2]);
    EXPECT_EQ(rightTab(), ids[0]);
    closeTab(ids[0]);
    EXPECT_EQ(rightTab(), ids[1]);

    compare().closeCompareView();
    EXPECT_FALSE(rightTab());
    EXPECT_EQ(state().findMessage, text("tools.compare-view.closed"));
    EXPECT_EQ(state().split.compareTabID, ids[2]);
    compare().toggleCompareView();
    // A lone tab is compared with itself.
    EXPECT_EQ(state().split.compareTabID, ids[1]);
}

TEST_F(CompareViewTest, CacheDiffsUpToTwoThousandLinesPerSideAndOnlyWhenATextChanges) {
    QString exact = QStringLiteral("line 0");
    for (int i = 1; i < 2000; ++i)
        exact += QStringLiteral("\nline %1").arg(i);
    const QString over = exact + QStringLiteral("\n");
    CompareCache cache;
    EXPECT_TRUE(cache.refresh(exact, exact));
    ASSERT_TRUE(cache.result()->rows);
    EXPECT_EQ(cache.result()->rows->size(), 2000);
    EXPECT_FALSE(cache.refresh(exact, exact));

    EXPECT_TRUE(cache.refresh(exact, over));
    EXPECT_FALSE(cache.result()->rows);
    EXPECT_EQ(cache.result()->leftLineCount, 2000);
    EXPECT_EQ(cache.result()->rightLineCount, 2001);

    // Counted as the status bar and the diff count: the line after a final line feed is one.
    EXPECT_TRUE(cache.refresh(over + QStringLiteral("\n"), QStringLiteral("\n")));
    EXPECT_EQ(cache.result()->leftLineCount, 2002);
    EXPECT_EQ(cache.result()->rightLineCount, 2);
    EXPECT_EQ(cache.result()->leftLineCount, splitCompareLines(over + QStringLiteral("\n")).size());
    EXPECT_EQ(cache.result()->leftLineCount, lineCount(over + QStringLiteral("\n")));

    EXPECT_TRUE(cache.refresh(QString(), QString()));
    ASSERT_TRUE(cache.result()->rows);
    EXPECT_TRUE(cache.result()->rows->isEmpty());
}

TEST_F(CompareViewTest, CopyIsOneUndoStepOfTheTargetWithTheCaretAtItsStart) {
    const QList<QUuid> ids = setTabs({{"left.txt", "new\ntext"}, {"right.txt", "old"}});
    model->setSelection(1, 2, 1);
    compare().toggleCompareView();
    compare().copyBaseToCompare();
    EXPECT_EQ(tabWith(ids[1]).document.text, "new\ntext");
    EXPECT_EQ(tabWith(ids[1]).selectedRange, (TextRange{0, 0}));
    EXPECT_EQ(state().findMessage, text("compare.copied"));
    EXPECT_EQ(sessionSaves, 1);
    QUndoStack* stack = undoStack(ids[1]);
    ASSERT_EQ(stack->count(), 1);
    EXPECT_EQ(stack->undoText(), "Copy Between Tabs");
    EXPECT_EQ(undoStack(ids[0])->count(), 0);

    stack->undo();
    EXPECT_EQ(tabWith(ids[1]).document.text, "old");
    EXPECT_EQ(tabWith(ids[1]).selectedRange, (TextRange{1, 2}));
    stack->redo();
    EXPECT_EQ(tabWith(ids[1]).document.text, "new\ntext");

    // The same text with the caret at the start: no step, but the status and the save.
    model->setFindMessage({});
    compare().copyBaseToCompare();
    EXPECT_EQ(stack->count(), 1);
    EXPECT_EQ(state().findMessage, text("compare.copied"));
    // The copy, its undo and redo, and the copy that changed nothing each saved the session.
    EXPECT_EQ(sessionSaves, 4);

    // The same text with the caret elsewhere: a step that only moves the caret.
    model->setSelection(2, 0, 0);
    compare().copyCompareToBase();
    EXPECT_EQ(undoStack(ids[0])->count(), 1);
    EXPECT_EQ(tabWith(ids[0]).selectedRange, (TextRange{0, 0}));
}

TEST_F(CompareViewTest, CopyRefusesAReadOnlyTargetAndIgnoresMissingOrEqualTabs) {
    const QList<QUuid> ids = setTabs({{"a.txt", "a"}, {"b.txt", "b"}});
    model->update([&](EditorWindowState& s) { s.tabs[1].isReadOnly = true; });
    compare().copyTabText(ids[0], ids[1]);
    EXPECT_EQ(tabWith(ids[1]).document.text, "b");
    EXPECT_EQ(state().findMessage, text("large-file.read-only-edit-blocked"));

    model->setFindMessage({});
    compare().copyTabText(ids[0], ids[0]);
    compare().copyTabText(QUuid::createUuid(), ids[0]);
    EXPECT_EQ(state().findMessage, QString());
    EXPECT_EQ(sessionSaves, 0);
    EXPECT_EQ(undoStack(ids[0])->count(), 0);
}

} // namespace
} // namespace dunmoss::test
