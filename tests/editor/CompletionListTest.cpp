// The completion list of a code-editing view: it stays with the document it completes in, it
// draws like the editor, and in a long text it answers keys from the words gathered aside.
#include "EditorTestSupport.h"
#include "editor/CodeEditorCoordinator.h"
#include "editor/CodeEditorView.h"
#include "editor/CompletionPopup.h"
#include "editor/CompletionWordGathering.h"
#include "editor/ShortcutTextView.h"
#include "text/CodeCompletion.h"

#include <QListView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

struct CompletionList : ::testing::Test {
    TextStorageRegistry registry;
    FakeTab tab;
    std::unique_ptr<CodeEditorView> view;

    void build(const QString& text) {
        tab.text = text;
        tab.selectedRanges = {TextRange{text.size(), 0}};
        tab.selectedRange = {text.size(), 0};
        view = std::make_unique<CodeEditorView>(propsFor(tab, registry));
        view->show();
    }
    ShortcutTextView* text() { return view->textView(); }
    CompletionPopup* popup() { return view->coordinator().completionPopup(); }
    QListView* list() { return text()->findChild<QListView*>(QStringLiteral("completionList")); }
    void complete() { QTest::keyClick(text(), Qt::Key_Space, Qt::ControlModifier); }
    QStringList wholeTextCandidates() {
        const TextRange caret = text()->selectedRange();
        const TextRange word = completionWordRange(tab.text, caret);
        return wordCompletions(tab.text, EditorLanguage::PlainText,
                               tab.text.mid(word.location, word.length), caret, std::nullopt);
    }
};

} // namespace

// A view given another document (a dropped file, one handed over by a second launch) while the
// list shows: the list goes, and Return acts on the new document as a key.
TEST_F(CompletionList, ClosesWhenTheViewTakesAnotherDocument) {
    build(QStringLiteral("let total = to"));
    complete();
    ASSERT_TRUE(popup()->isVisible());
    ASSERT_EQ(popup()->candidates(), QStringList{QStringLiteral("total")});

    FakeTab second;
    second.text = QStringLiteral("SECOND DOCUMENT TEXT");
    second.selectedRanges = {TextRange{4, 0}};
    second.selectedRange = {4, 0};
    view->update(propsFor(second, registry));
    EXPECT_FALSE(popup()->isVisible());
    // Even when asked directly, the word of the other document is not written here.
    popup()->choose(QStringLiteral("total"));
    EXPECT_EQ(second.text, QStringLiteral("SECOND DOCUMENT TEXT"));
    EXPECT_EQ(tab.text, QStringLiteral("let total = to"));
}

// Ten whole rows in the editor's font, not ten and a cut eleventh in the interface's.
TEST_F(CompletionList, ShowsTenWholeRowsInTheEditorsFont) {
    QString words;
    for (int i = 0; i < 30; ++i)
        words += QStringLiteral("water%1 ").arg(i);
    build(words + QStringLiteral("wa"));
    complete();
    ASSERT_TRUE(popup()->isVisible());
    QListView* shown = list();
    EXPECT_EQ(shown->font(), text()->font());
    const int rowHeight = shown->sizeHintForRow(0);
    EXPECT_EQ(shown->viewport()->height(), 10 * rowHeight);
    EXPECT_EQ(shown->indexAt(QPoint(4, 10 * rowHeight - 1)).row(), 9);
}

// In a long text the list never waits for a pass over the whole text: it answers from the words
// gathered before plus those of the line being edited, and the gathering that follows brings
// the rest, without moving the highlight.
TEST_F(CompletionList, ALongTextAnswersFromGatheredWordsUntilTheGatheringLands) {
    QString body;
    while (body.size() <= CompletionWordGathering::kAtOnceLimit)
        body += QStringLiteral("the quick brown fox jumps\n");
    build(body + QStringLiteral("farword farther\nfa"));
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    text()->setFocus();
    QSignalSpy landed(&view->coordinator().completionWords(), &CompletionWordGathering::gathered);

    // Nothing gathered yet, and the line offers nothing: the list opens once the words come.
    complete();
    EXPECT_FALSE(popup()->isVisible());
    ASSERT_TRUE(landed.wait());
    ASSERT_TRUE(popup()->isVisible());
    EXPECT_EQ(popup()->candidates(),
              (QStringList{QStringLiteral("farther"), QStringLiteral("farword")}));

    // A word typed since then is offered at once, from the edited line.
    QTest::keyClick(text(), Qt::Key_Escape);
    QTest::keyClicks(text(), QStringLiteral("rm fa"));
    complete();
    ASSERT_TRUE(popup()->isVisible());
    EXPECT_EQ(popup()->candidates(), wholeTextCandidates());
    EXPECT_EQ(popup()->candidates(), (QStringList{QStringLiteral("farm"), QStringLiteral("farther"),
                                                  QStringLiteral("farword")}));
    QTest::keyClick(text(), Qt::Key_Down);
    QTest::keyClick(text(), Qt::Key_Down);
    ASSERT_EQ(list()->currentIndex().row(), 2);
    ASSERT_TRUE(landed.wait());
    EXPECT_EQ(popup()->candidates(), wholeTextCandidates());
    EXPECT_EQ(list()->currentIndex().row(), 2);
}

// Words gathered from one document are never taken for another's, long or short.
TEST_F(CompletionList, AnotherDocumentOffersItsOwnWords) {
    QString body;
    while (body.size() <= CompletionWordGathering::kAtOnceLimit)
        body += QStringLiteral("alpha_word ");
    build(body + QStringLiteral("al"));
    QSignalSpy landed(&view->coordinator().completionWords(), &CompletionWordGathering::gathered);
    complete();
    ASSERT_TRUE(landed.wait());

    for (const QString& other :
         {QStringLiteral("bravo_word br"), body + QStringLiteral("bravo_word br")}) {
        FakeTab second;
        second.text = other;
        second.selectedRanges = {TextRange{other.size(), 0}};
        second.selectedRange = second.selectedRanges.first();
        view->update(propsFor(second, registry));
        complete();
        if (!popup()->isVisible()) {
            ASSERT_TRUE(landed.wait());
        }
        EXPECT_EQ(popup()->candidates(), QStringList{QStringLiteral("bravo_word")});
        view->update(propsFor(tab, registry));
    }
}
