#include "chrome/EditorPane.h"
#include "editor/CodeEditorView.h"
#include "editor/LineNumberRulerView.h"
#include "editor/ShortcutTextView.h"
#include "editor/TextStorage.h"
#include "search/FindReplace.h"
#include "search/FindStepRunner.h"
#include "support/PaintedRegion.h"
#include "window/StatusBarItems.h"
#include "window/TabUndoRegistry.h"
#include "window/WindowFixture.h"
#include "window/WindowLayoutRows.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QThreadPool>
#include <QUndoStack>
#include <random>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

// A tab shown in a pane that follows the model, as in the window.
class TypingThroughAPane : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        for (int line = 0; line < 3'000; ++line)
            saved += QStringLiteral("line %1 cafe\u0301 \U0001F600 text\n").arg(line);
        EditorTab tab = untitledTab();
        tab.document.text = saved;
        tab.savedSnapshot = saved;
        tab.selectedRange = tab.selectedRanges.first() = {40, 0};
        tabID = tab.id;
        model->update([&](EditorWindowState& s) {
            s.tabs.append(tab);
            s.activeTabID = tab.id;
        });
        pane = std::make_unique<EditorPane>(*model);
        pane->showTab(1, {});
        pane->resize(600, 400);
        pane->show();
        QObject::connect(model.get(), &EditorWindowModel::changed, pane.get(), [this] {
            if (const std::optional<int> index = model->tabIndex(tabID))
                pane->showTab(*index, {});
        });
        view()->setFocus();
    }

    void TearDown() override {
        pane.reset();
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
    }

    ShortcutTextView* view() const { return pane->editorView()->textView(); }
    TextStorage& storage() const { return *model->textStorageRegistry().textStorage(tabID); }
    QUndoStack* undoStack() const { return model->undoRegistry().undoStackForTab(tabID); }
    const EditorTab& tab() const { return *model->tab(tabID); }

    // The tab and its storage hold one string, and the status bar drawn from the storage's
    // counts reads as one drawn from a pass over the text.
    void expectOneTextAndTrueCounts() const {
        ASSERT_EQ(storage().text(), tab().document.text);
        EXPECT_EQ(storage().text().constData(), tab().document.text.constData())
            << "the tab holds a copy of its storage's text";
        const TextCounts* counts = model->tabTextCounts(tabID);
        ASSERT_TRUE(counts);
        const StatusBarValues fromCounts = statusBarValues(model->state(), counts);
        ASSERT_TRUE(fromCounts.statistics);
        EXPECT_EQ(*fromCounts.statistics,
                  computeStatusTextStatistics(tab().document.text, tab().selectedRange));
        EXPECT_EQ(fromCounts.isDirty, tab().document.text != saved);
        EXPECT_EQ(view()->document()->toPlainText(), tab().document.text);
    }

    QString saved;
    QUuid tabID;
    std::unique_ptr<EditorPane> pane;
};

} // namespace

TEST_F(TypingThroughAPane, ALetterRepaintsItsLineOnlyAndALineBreakRenumbersTheLinesBelow) {
    auto* ruler = pane->editorView()->findChild<LineNumberRulerView*>();
    ASSERT_TRUE(ruler);
    const int line = view()->cursorRect().height();
    const auto expectOnlyItsLineRedrawn = [&] {
        // The first letters after the caret came repaint their numbers once.
        for (const char* letter : {"a", "b"}) {
            QTest::keyClicks(view(), QString::fromLatin1(letter));
            QTest::qWait(50);
        }
        PaintedRegion text(view()->viewport());
        PaintedRegion numbers(ruler);
        QTest::keyClicks(view(), QStringLiteral("c"));
        QTest::qWait(50);
        ASSERT_FALSE(text.region.isEmpty());
        EXPECT_LE(text.region.boundingRect().height(), 2 * line)
            << "the whole text area was repainted";
        EXPECT_TRUE(numbers.region.isEmpty()) << "a letter that moves no line redrew its number";
    };
    QTest::keyClick(view(), Qt::Key_End);
    expectOnlyItsLineRedrawn();

    // A line break and the join after it move every number below the caret.
    const int caretTop = view()->cursorRect().top();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Backspace}) {
        PaintedRegion numbers(ruler);
        QTest::keyClick(view(), key);
        QTest::qWait(50);
        const QRect repainted = numbers.region.boundingRect();
        EXPECT_LE(repainted.top(), caretTop + line) << key;
        EXPECT_GE(repainted.bottom(), ruler->height() - line) << key;
    }

    // The last line's band reaches into the bottom margin, past the caret's.
    model->setTabText(tabID, QStringLiteral("one\ntwo\nthree"));
    QTest::qWait(50);
    QTest::keyClick(view(), Qt::Key_End, Qt::ControlModifier);
    expectOnlyItsLineRedrawn();
}

TEST_F(TypingThroughAPane, EveryLineNumberAKeyMovesIsRedrawn) {
    // Random letters, spaces, line breaks and joins typed near the end of the view, where the
    // ruler answers a band's repaint from what it found before: every number that appears, moves
    // or goes is drawn again, wherever the key left it.
    auto* ruler = pane->editorView()->findChild<LineNumberRulerView*>();
    ASSERT_TRUE(ruler);
    QTest::keyClick(view(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(view(), Qt::Key_Up);
    QTest::qWait(50);
    std::mt19937 random(45);
    const QList<Qt::Key> keys{Qt::Key_A,      Qt::Key_A,         Qt::Key_A,
                              Qt::Key_W,      Qt::Key_W,         Qt::Key_Space,
                              Qt::Key_Return, Qt::Key_Backspace, Qt::Key_Up};
    for (int step = 0; step < 120; ++step) {
        const QList<LineNumberRulerView::Label> before = ruler->labels(ruler->rect());
        PaintedRegion numbers(ruler);
        const Qt::Key key = keys[int(random() % keys.size())];
        // Letters come in runs, so that lines grow long enough to wrap.
        for (int i = key == Qt::Key_W ? 12 : 1; i > 0; --i)
            QTest::keyClick(view(), key);
        QTest::qWait(10);
        const QList<LineNumberRulerView::Label> after = ruler->labels(ruler->rect());
        for (const auto* side : {&before, &after})
            for (const LineNumberRulerView::Label& label : *side) {
                if (before.contains(label) && after.contains(label))
                    continue;
                const QRect drawn = label.rect.toAlignedRect().intersected(ruler->rect());
                EXPECT_TRUE((QRegion(drawn) - numbers.region).isEmpty())
                    << "step " << step << ": the number " << label.number << " was left as it was";
            }
    }
}

TEST_F(TypingThroughAPane, KeysEditTheOneTextTheTabAndItsViewShare) {
    QTest::keyClicks(view(), QStringLiteral("abc"));
    expectOneTextAndTrueCounts();
    // The first keys took the text apart from the saved copy and gave it room to grow; the next
    // ones edit it in place.
    // (Near the start the characters before the caret move, not the rest: the text's end
    // stays where it was.)
    const auto end = [&] { return tab().document.text.constData() + tab().document.text.size(); };
    const QChar* before = end();
    QTest::keyClicks(view(), QStringLiteral("de"));
    EXPECT_EQ(end(), before) << "a keystroke copied the whole text";
    QTest::keyClick(view(), Qt::Key_Return);
    QTest::keyClick(view(), Qt::Key_Backspace);
    QTest::keyClick(view(), Qt::Key_Delete);
    expectOneTextAndTrueCounts();
    while (undoStack()->canUndo())
        undoStack()->undo();
    expectOneTextAndTrueCounts();
    EXPECT_EQ(tab().document.text, saved);
    EXPECT_FALSE(tabIsModified(tab()));
    while (undoStack()->canRedo())
        undoStack()->redo();
    expectOneTextAndTrueCounts();
}

TEST_F(TypingThroughAPane, PastedLinesAndReplaceAllKeepTheCountsTrue) {
    QString lines;
    for (int i = 0; i < 700; ++i)
        lines += QStringLiteral("pasted \u0915\u094D\u0937 %1\n").arg(i);
    QGuiApplication::clipboard()->setText(lines);
    QTest::keyClick(view(), Qt::Key_V, Qt::ControlModifier);
    expectOneTextAndTrueCounts();
    // Across lines: select from the caret to three lines down, and type over it.
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(view(), Qt::Key_Down, Qt::ShiftModifier);
    QKeyEvent accent(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("\u0301"));
    QApplication::sendEvent(view(), &accent);
    expectOneTextAndTrueCounts();

    FindStepRunner::of(*model).waitMilliseconds = 60'000; // the fill is what is checked here
    FindReplace find(*model);
    find.setFindQuery(QStringLiteral("text"));
    find.setReplaceText(QStringLiteral("two\nlines"));
    find.replaceAllFindMatches();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !storage().isBehind(); }, 10'000));
    expectOneTextAndTrueCounts();
    undoStack()->undo();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !storage().isBehind(); }, 10'000));
    expectOneTextAndTrueCounts();
    QTest::keyClicks(view(), QStringLiteral("x"));
    expectOneTextAndTrueCounts();
}

TEST_F(TypingThroughAPane, BackToTheSavedTextReadsAsUnmodifiedWithoutComparingAgain) {
    QTest::keyClicks(view(), QStringLiteral("a"));
    EXPECT_TRUE(tabIsModified(tab()));
    QTest::keyClick(view(), Qt::Key_Backspace);
    EXPECT_FALSE(tabIsModified(tab()));
    // The tab's text and its saved snapshot are one string again: each refresh of the window
    // answers "modified" without comparing millions of characters.
    EXPECT_EQ(tab().document.text.constData(), tab().savedSnapshot.constData());
    QTest::keyClicks(view(), QStringLiteral("b"));
    EXPECT_TRUE(tabIsModified(tab()));
    EXPECT_EQ(tab().savedSnapshot, saved);
    expectOneTextAndTrueCounts();
}

TEST_F(TypingThroughAPane, BookmarksPastTheLastLineGoWhenTypingRemovesLines) {
    model->update([&](EditorWindowState& s) { s.tabs[1].bookmarkedLines = {3, 2990, 3001}; });
    QTextCursor cursor = view()->textCursor();
    cursor.setPosition(int(tab().document.text.indexOf(QStringLiteral("line 2989 "))));
    view()->setTextCursor(cursor);
    QTest::keyClick(view(), Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(view(), Qt::Key_Delete);
    ASSERT_EQ(tab().document.text.count(u'\n') + 1, 2990);
    EXPECT_EQ(tab().bookmarkedLines, (std::set<int>{3, 2990}));
    QTest::keyClick(view(), Qt::Key_Backspace);
    EXPECT_EQ(tab().bookmarkedLines, (std::set<int>{3}));
    expectOneTextAndTrueCounts();
}

TEST_F(TypingThroughAPane, KeysWhileAnotherReaderHoldsTheTextLeaveItsCopyAlone) {
    QTest::keyClicks(view(), QStringLiteral("a"));
    // As a snapshot being written or a search on a pool thread holds it.
    const QString held = tab().document.text;
    QTest::keyClicks(view(), QStringLiteral("xy"));
    EXPECT_EQ(held.size() + 2, tab().document.text.size());
    EXPECT_NE(held, tab().document.text);
    EXPECT_EQ(QString(tab().document.text).remove(QStringLiteral("xy")), held);
    expectOneTextAndTrueCounts();
}
