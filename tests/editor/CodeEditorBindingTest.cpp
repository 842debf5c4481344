#include "EditorTestSupport.h"
#include "editor/CodeEditorCoordinator.h"
#include "editor/CompletionPopup.h"
#include "editor/EditorServices.h"
#include "editor/LineNumberRulerView.h"
#include "editor/ShortcutTextView.h"
#include "text/BracketMatching.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

int replacements(QSignalSpy& spy) {
    int count = 0;
    for (const auto& arguments : spy)
        if (arguments.at(0).value<TextStorage::Change>().kind == TextStorage::EditKind::Replacement)
            ++count;
    return count;
}

struct BindingFixture : ::testing::Test {
    TextStorageRegistry registry;
    FakeTab tab;
    std::unique_ptr<CodeEditorView> view;

    void build() {
        view = std::make_unique<CodeEditorView>(propsFor(tab, registry));
        view->show();
    }
    void render() { view->update(propsFor(tab, registry)); }
    ShortcutTextView* text() { return view->textView(); }
    CodeEditorCoordinator& coordinator() { return view->coordinator(); }
};

} // namespace

TEST_F(BindingFixture, TypingReachesTheBindingOnceAndTheEchoChangesNothing) {
    tab.text = QStringLiteral("abc");
    tab.selectedRanges = {TextRange{3, 0}};
    tab.selectedRange = {3, 0};
    build();
    EXPECT_EQ(text()->toPlainText(), QStringLiteral("abc"));
    EXPECT_EQ(text()->selectedRange(), (TextRange{3, 0}));
    QSignalSpy edits(coordinator().storage(), &TextStorage::edited);
    // A window that re-renders the pane whenever a binding is written.
    tab.afterWrite = [this] { render(); };
    tab.textWrites = 0;
    QTest::keyClicks(text(), QStringLiteral("d"));
    EXPECT_EQ(tab.text, QStringLiteral("abcd"));
    EXPECT_EQ(tab.textWrites, 1);
    EXPECT_EQ(tab.selectedRange, (TextRange{4, 0}));
    EXPECT_EQ(replacements(edits), 0);
    EXPECT_TRUE(coordinator().showsText(tab.text));
    render();
    EXPECT_EQ(replacements(edits), 0);
    EXPECT_EQ(tab.textWrites, 1);
}

TEST_F(BindingFixture, NewTextFromTheWindowIsAppliedWithoutFeedback) {
    build();
    QSignalSpy edits(coordinator().storage(), &TextStorage::edited);
    tab.text = QStringLiteral("from window");
    tab.selectedRanges = {TextRange{5, 6}};
    tab.selectedRange = {5, 6};
    tab.textWrites = tab.rangeWrites = tab.rangesWrites = 0;
    render();
    EXPECT_EQ(text()->toPlainText(), QStringLiteral("from window"));
    EXPECT_EQ(text()->selectedRange(), (TextRange{5, 6}));
    EXPECT_EQ(replacements(edits), 1);
    EXPECT_EQ(tab.textWrites + tab.rangeWrites + tab.rangesWrites, 0);
    EXPECT_TRUE(tab.undo.count() == 0);
    // An equal text in another string is shown already: nothing is written again.
    tab.text = QString(QStringLiteral("from ")) + QStringLiteral("window");
    render();
    EXPECT_EQ(replacements(edits), 1);
}

TEST_F(BindingFixture, SelectionFlowsBothWaysAndInvalidRangesAreIgnored) {
    tab.text = QStringLiteral("0123456789");
    build();
    QTextCursor cursor = text()->textCursor();
    cursor.setPosition(2);
    cursor.setPosition(5, QTextCursor::KeepAnchor);
    text()->setTextCursor(cursor);
    EXPECT_EQ(tab.selectedRange, (TextRange{2, 3}));
    EXPECT_EQ(tab.selectedRanges, (QList<TextRange>{{2, 3}}));

    tab.rangeWrites = tab.rangesWrites = 0;
    tab.selectedRanges = {TextRange{7, 1}, TextRange{1, 1}};
    tab.selectedRange = {7, 1};
    render();
    EXPECT_EQ(text()->selectedRanges(), (QList<TextRange>{{7, 1}, {1, 1}}));
    EXPECT_EQ(tab.rangeWrites + tab.rangesWrites, 0);

    // Only invalid ranges and an invalid primary range: nothing changes.
    tab.selectedRanges = {TextRange{40, 1}};
    tab.selectedRange = TextRange::notFound();
    render();
    EXPECT_EQ(text()->selectedRange(), (TextRange{7, 1}));
    // Invalid ranges, valid primary range: the primary range is used.
    tab.selectedRange = {4, 0};
    render();
    EXPECT_EQ(text()->selectedRange(), (TextRange{4, 0}));
    // The user moving the caret drops the further ranges.
    QTest::keyClick(text(), Qt::Key_Right);
    EXPECT_EQ(tab.selectedRanges, (QList<TextRange>{{5, 0}}));
}

TEST_F(BindingFixture, AnEditOfTheStorageFromOutsideKeepsTheTabsSelection) {
    tab.text = QStringLiteral("0123456789abcdefghij");
    tab.selectedRanges = {TextRange{15, 0}};
    tab.selectedRange = {15, 0};
    build();
    ASSERT_EQ(text()->selectedRange(), (TextRange{15, 0}));
    // The window rewrites the middle of the text (a reload, say) and keeps the selection; the
    // edit carries the view's caret along with it.
    tab.text = QStringLiteral("0123") + QString(19, u'X');
    coordinator().storage()->applyEdit(4, 16, QString(19, u'X'),
                                       TextStorage::EditKind::Replacement);
    tab.rangeWrites = tab.rangesWrites = 0;
    render();
    EXPECT_EQ(text()->selectedRange(), (TextRange{15, 0}));
    EXPECT_EQ(tab.selectedRange, (TextRange{15, 0}));
    EXPECT_EQ(tab.rangeWrites + tab.rangesWrites, 0);
}

TEST_F(BindingFixture, SwitchingDocumentsKeepsEachTabsStorageAndSelection) {
    tab.text = QStringLiteral("first tab");
    build();
    auto* firstStorage = coordinator().storage();
    FakeTab second;
    second.text = QStringLiteral("second tab text");
    second.selectedRanges = {TextRange{7, 3}};
    second.selectedRange = {7, 3};
    view->update(propsFor(second, registry));
    EXPECT_EQ(text()->toPlainText(), second.text);
    EXPECT_EQ(text()->selectedRange(), (TextRange{7, 3}));
    EXPECT_NE(coordinator().storage(), firstStorage);
    EXPECT_EQ(registry.textStorage(tab.id).get(), firstStorage);

    // Back to the first tab, whose storage already holds its text: nothing is replaced.
    tab.selectedRanges = {TextRange{1, 2}};
    tab.selectedRange = {1, 2};
    QSignalSpy edits(firstStorage, &TextStorage::edited);
    render();
    EXPECT_EQ(coordinator().storage(), firstStorage);
    EXPECT_EQ(replacements(edits), 0);
    EXPECT_EQ(text()->selectedRange(), (TextRange{1, 2}));

    // A switch whose bound ranges are all invalid puts the caret at 0.
    second.selectedRanges = {TextRange{99, 0}};
    second.selectedRange = TextRange::notFound();
    view->update(propsFor(second, registry));
    EXPECT_EQ(text()->selectedRange(), (TextRange{0, 0}));
    // Typing goes to the shown tab only.
    QTest::keyClicks(text(), QStringLiteral(">"));
    EXPECT_EQ(second.text, QStringLiteral(">second tab text"));
    EXPECT_EQ(tab.text, QStringLiteral("first tab"));
    EXPECT_EQ(second.undo.count(), 1);
    EXPECT_EQ(tab.undo.count(), 0);
}

TEST_F(BindingFixture, ComposedTextIsCommittedIntoTheTabBeingLeft) {
    build();
    text()->setFocus();
    QInputMethodEvent compose(QStringLiteral("ni"), {});
    QCoreApplication::sendEvent(text(), &compose);
    ASSERT_TRUE(text()->hasMarkedText());
    EXPECT_EQ(tab.text, QString()); // composition is not text yet
    FakeTab second;
    second.text = QStringLiteral("other");
    view->update(propsFor(second, registry));
    EXPECT_EQ(tab.text, QStringLiteral("ni"));
    EXPECT_EQ(second.text, QStringLiteral("other"));
    EXPECT_EQ(text()->toPlainText(), QStringLiteral("other"));
    EXPECT_FALSE(text()->hasMarkedText());
}

TEST_F(BindingFixture, ReadOnlyTabsCanBeSelectedButNotEdited) {
    tab.text = QStringLiteral("read only");
    tab.readOnly = true;
    build();
    QTest::keyClicks(text(), QStringLiteral("x"));
    EXPECT_EQ(tab.text, QStringLiteral("read only"));
    EXPECT_EQ(text()->toPlainText(), QStringLiteral("read only"));
    QTest::keyClick(text(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(tab.selectedRange, (TextRange{0, 9}));
}

TEST_F(BindingFixture, RefusedTextIsPutBackByTheNextUpdate) {
    tab.text = QStringLiteral("locked");
    build();
    tab.readOnly = true; // the window refuses writes, the view does not know yet
    tab.afterWrite = [this] { render(); };
    QTest::keyClick(text(), Qt::Key_End);
    QTest::keyClicks(text(), QStringLiteral("!"));
    EXPECT_EQ(tab.text, QStringLiteral("locked"));
    EXPECT_EQ(text()->toPlainText(), QStringLiteral("locked"));
}

namespace {
struct FakeProvider : CompletionProvider {
    QStringList wordCompletions(const QString&, EditorLanguage, const QString& partial, TextRange,
                                const std::optional<QUrl>&) const override {
        QStringList all{QStringLiteral("total"), QStringLiteral("toString"),
                        QStringLiteral("other")};
        return all.filter(partial);
    }
    QString parameterHint(const QString& text, EditorLanguage, TextRange range) const override {
        return text.left(range.location).endsWith(u'(') ? QStringLiteral("f(x, y)") : QString();
    }
};
struct ProviderScope {
    ProviderScope() { setCompletionProvider(std::make_shared<FakeProvider>()); }
    ~ProviderScope() { setCompletionProvider(nullptr); }
};
} // namespace

TEST_F(BindingFixture, CompletionAndHintsUseTheProvider) {
    ProviderScope scope;
    tab.text = QStringLiteral("x = to");
    tab.selectedRanges = {TextRange{6, 0}};
    build();
    QTest::keyClick(text(), Qt::Key_Space, Qt::ControlModifier);
    CompletionPopup* popup = coordinator().completionPopup();
    ASSERT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->candidates(),
              (QStringList{QStringLiteral("total"), QStringLiteral("toString")}));
    popup->choose(QStringLiteral("total"));
    EXPECT_EQ(tab.text, QStringLiteral("x = total"));
    EXPECT_EQ(tab.undo.count(), 1);
    tab.undo.undo();
    EXPECT_EQ(tab.text, QStringLiteral("x = to"));

    QLabel* hint = view->parameterHintLabel();
    QTest::keyClick(text(), Qt::Key_End);
    EXPECT_TRUE(hint->isHidden());
    QTest::keyClicks(text(), QStringLiteral("("));
    EXPECT_FALSE(hint->isHidden());
    EXPECT_EQ(hint->text(), QStringLiteral("Parameters: f(x, y)"));
    QTest::keyClicks(text(), QStringLiteral("a"));
    EXPECT_TRUE(hint->isHidden());
}

// A focused view is destroyed with its window: the list hears of the focus leaving a view that
// is no longer a text view by then (the sanitizer build fails on any use of it as one), and its
// window goes too.
TEST_F(BindingFixture, AFocusedViewGoesWithItsListShownOrHidden) {
    ProviderScope scope;
    for (const bool shown : {false, true}) {
        SCOPED_TRACE(shown);
        tab.text = QStringLiteral("x = to");
        tab.selectedRanges = {TextRange{6, 0}};
        build();
        view->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
        text()->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), text());
        if (shown)
            QTest::keyClick(text(), Qt::Key_Space, Qt::ControlModifier);
        ASSERT_EQ(coordinator().completionPopup()->isVisible(), shown);
        view.reset();
        EXPECT_EQ(QApplication::focusWidget(), nullptr);
        for (const QWidget* window : QApplication::topLevelWidgets())
            EXPECT_FALSE(window->isVisible()) << window->metaObject()->className();
    }
}

TEST_F(BindingFixture, ShowFindIsTheOneHeldAtTheTimeOfTheKey) {
    build();
    int first = 0;
    int second = 0;
    CodeEditorProps props = propsFor(tab, registry);
    props.showFind = [&] { ++first; };
    view->update(props);
    props.showFind = [&] { ++second; };
    view->update(props);
    QTest::keyClick(text(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(tab.text, QString());
}

TEST_F(BindingFixture, ForwardDeleteRefreshesTheBracketMarksOfTheUnmovedCaret) {
    tab.text = QStringLiteral("x(a)");
    tab.selectedRanges = {TextRange{0, 0}};
    tab.selectedRange = {0, 0};
    build();
    // The caret sits before "x": nothing to mark yet.
    EXPECT_TRUE(coordinator().bracketHighlightRanges.isEmpty());
    // Deleting "x" brings "(" under the unmoved caret.
    QTest::keyClick(text(), Qt::Key_Delete);
    EXPECT_EQ(tab.text, QStringLiteral("(a)"));
    EXPECT_EQ(coordinator().bracketHighlightRanges,
              (QList<TextRange>{TextRange{0, 1}, TextRange{2, 1}}));
    // And a delete that takes the bracket away clears the marks.
    QTest::keyClick(text(), Qt::Key_Delete);
    EXPECT_EQ(tab.text, QStringLiteral("a)"));
    EXPECT_TRUE(coordinator().bracketHighlightRanges.isEmpty());
}

TEST_F(BindingFixture, BracketMarksFollowTheCaretThroughTypingAndClicks) {
    tab.text = QStringLiteral("f(a) g[b]");
    tab.selectedRanges = {TextRange{4, 0}};
    tab.selectedRange = {4, 0};
    build();
    // The marks are those a fresh lookup gives for the text and caret after each event.
    const auto expectFreshMarks = [&](const char* step) {
        EXPECT_EQ(coordinator().bracketHighlightRanges,
                  bracketHighlightRanges(text()->toPlainText(), text()->selectedRange()))
            << step;
    };
    ASSERT_FALSE(coordinator().bracketHighlightRanges.isEmpty());
    expectFreshMarks("start");
    QTest::keyClicks(text(), QStringLiteral("x"));
    expectFreshMarks("typed after the bracket");
    QTest::keyClick(text(), Qt::Key_Backspace);
    EXPECT_FALSE(coordinator().bracketHighlightRanges.isEmpty());
    expectFreshMarks("typed letter erased");
    QTextCursor at = text()->textCursor();
    at.setPosition(9);
    QTest::mouseClick(text()->viewport(), Qt::LeftButton, {}, text()->cursorRect(at).center());
    EXPECT_EQ(text()->selectedRange(), (TextRange{9, 0}));
    EXPECT_FALSE(coordinator().bracketHighlightRanges.isEmpty());
    expectFreshMarks("clicked after the second pair");
    QTest::keyClicks(text(), QStringLiteral("]"));
    expectFreshMarks("typed a closing bracket");
    tab.undo.undo();
    EXPECT_EQ(tab.text, QStringLiteral("f(a) g[b]"));
    expectFreshMarks("undone");
}
