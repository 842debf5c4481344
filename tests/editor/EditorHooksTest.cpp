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
