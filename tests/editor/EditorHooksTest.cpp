#include "EditorTestSupport.h"
#include "editor/CodeEditorCoordinator.h"
#include "editor/EditorServices.h"
#include "editor/PassSyntaxHighlighting.h"
#include "editor/ShortcutTextView.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

struct Calls {
    int scheduled = 0;
    int applied = 0;
    int cancelled = 0;
};

class CountingHighlighting : public PassSyntaxHighlighting {
public:
    CountingHighlighting(CodeEditorCoordinator& coordinator, Calls& calls)
        : PassSyntaxHighlighting(coordinator), m_calls(calls) {}
    void scheduleHighlighting() override { ++m_calls.scheduled; }
    void applyHighlighting() override {
        ++m_calls.applied;
        PassSyntaxHighlighting::applyHighlighting();
    }
    void cancelPendingHighlighting() override {
        ++m_calls.cancelled;
        PassSyntaxHighlighting::cancelPendingHighlighting();
    }

private:
    Calls& m_calls;
};

struct HookFixture : ::testing::Test {
    Calls calls;
    TextStorageRegistry registry;
    FakeTab tab;
    std::unique_ptr<CodeEditorView> view;
    void SetUp() override {
        setSyntaxHighlightingFactory([this](CodeEditorCoordinator& c) {
            return std::make_unique<CountingHighlighting>(c, calls);
        });
    }
    void TearDown() override {
        view.reset();
        setSyntaxHighlightingFactory({});
    }
    void build() {
        view = std::make_unique<CodeEditorView>(propsFor(tab, registry));
        view->resize(500, 300);
        view->show();
        QCoreApplication::processEvents();
    }
};

} // namespace

TEST_F(HookFixture, ColouringRunsWhenTheAppearanceChangesButNotForInvisibles) {
    build();
    EXPECT_EQ(calls.applied, 1);
    CodeEditorProps props = propsFor(tab, registry);
    props.showInvisibles = true;
    props.bookmarkedLines = {1};
    props.isEditable = false;
    view->update(props);
    EXPECT_EQ(calls.applied, 1);
    EXPECT_TRUE(view->textView()->showsInvisibleCharacters);
    props.theme = EditorTheme::Midnight;
    view->update(props);
    EXPECT_EQ(calls.applied, 2);
    props.tabWidth = 2;
    view->update(props);
    props.language = EditorLanguage::Python;
    view->update(props);
    props.fontSize = 18;
    view->update(props);
    props.wordWrap = false;
    view->update(props);
    EXPECT_EQ(calls.applied, 6);
    EXPECT_EQ(view->textView()->tabWidth, 2);
    EXPECT_EQ(view->textView()->font().pixelSize(), 18);
}

TEST_F(HookFixture, EditsScheduleAndSwitchesCancelAndApply) {
    build();
    QTest::keyClicks(view->textView(), QStringLiteral("ab"));
    EXPECT_EQ(calls.scheduled, 2);
    FakeTab other;
    other.text = QStringLiteral("x");
    const int applied = calls.applied;
    view->update(propsFor(other, registry));
    EXPECT_EQ(calls.cancelled, 1);
    EXPECT_EQ(calls.applied, applied + 1);
}

namespace {

// The pass engine as views get it, counting its runs.
class RunCounting : public PassSyntaxHighlighting {
public:
    RunCounting(CodeEditorCoordinator& coordinator, int& runs)
        : PassSyntaxHighlighting(coordinator), m_runs(runs) {}
    void applyHighlighting() override {
        ++m_runs;
        PassSyntaxHighlighting::applyHighlighting();
    }

private:
    int& m_runs;
};

} // namespace

TEST(EditorHooks, KeysTypedBeforeTheirRepaintAreColouredByOneRunAfterIt) {
    int runs = 0;
    setSyntaxHighlightingFactory(
        [&](CodeEditorCoordinator& c) { return std::make_unique<RunCounting>(c, runs); });
    TextStorageRegistry registry;
    FakeTab tab;
    tab.text = QStringLiteral("let a = 1");
    CodeEditorProps props = propsFor(tab, registry);
    props.language = EditorLanguage::Javascript;
    auto view = std::make_unique<CodeEditorView>(props);
    view->resize(500, 300);
    view->show();
    QCoreApplication::processEvents();
    const int shown = runs;
    QTest::keyClicks(view->textView(), QStringLiteral("// x"));
    EXPECT_EQ(runs, shown);
    // Not in the turn that draws them: the passes would keep the screen that long.
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, shown);
    EXPECT_TRUE(QTest::qWaitFor([&] { return runs > shown; }));
    QTest::qWait(20);
    EXPECT_EQ(runs, shown + 1);
    // "// x" typed before "let": the comment runs to the end of the line, the number on it
    // keeps its own colour.
    const QTextBlock block = view->textView()->document()->firstBlock();
    ASSERT_EQ(block.text(), QStringLiteral("// xlet a = 1"));
    QList<std::pair<int, int>> ranges;
    for (const QTextLayout::FormatRange& range : block.layout()->formats())
        ranges.append({range.start, range.length});
    EXPECT_EQ(ranges, (QList<std::pair<int, int>>{{0, 12}, {12, 1}}));
    view.reset();
    setSyntaxHighlightingFactory({});
}

TEST_F(HookFixture, ScrollingSchedulesColouringOnlyForLongTexts) {
    QString text;
    while (text.size() < 64'000)
        text += QString(79, u'a') + u'\n';
    text.truncate(64'000);
    tab.text = text;
    build();
    QScrollBar* bar = view->textView()->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    EXPECT_EQ(calls.scheduled, 0);
    tab.text += u'b';
    view->update(propsFor(tab, registry));
    bar->setValue(bar->maximum() / 3);
    EXPECT_GE(calls.scheduled, 1);
}

TEST(EditorHooks, BlockFormatsColourWithoutEditingTheDocument) {
    TextStorageRegistry registry;
    FakeTab tab;
    tab.text = QStringLiteral("let x = 1\nsecond");
    CodeEditorView view(propsFor(tab, registry));
    QTextDocument* document = view.textView()->document();
    QSignalSpy edits(view.coordinator().storage(), &TextStorage::edited);
    QTextLayout::FormatRange bold;
    bold.start = 0;
    bold.length = 3;
    bold.format.setFontWeight(QFont::Bold);
    bold.format.setForeground(Qt::red);
    setBlockFormats(document->firstBlock(), {bold});
    EXPECT_EQ(document->firstBlock().layout()->formats().size(), 1);
    EXPECT_EQ(edits.count(), 0);
    EXPECT_EQ(tab.textWrites, 0);
    EXPECT_EQ(tab.undo.count(), 0);
    EXPECT_EQ(view.coordinator().storage()->text(), tab.text);
}
