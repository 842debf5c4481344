#include "EditorTestSupport.h"
#include "editor/CodeEditorCoordinator.h"
#include "editor/ShortcutTextView.h"

#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>
#include <gtest/gtest.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

// A programmatic edit as the window makes it: a whole-text snapshot step on the tab's stack.
class SnapshotCommand : public QUndoCommand {
public:
    SnapshotCommand(FakeTab& tab, CodeEditorView& view, QString after)
        : m_tab(tab), m_view(view), m_before(tab.text), m_after(std::move(after)) {
        setText(QStringLiteral("Replace All"));
    }
    void undo() override { set(m_before); }
    void redo() override { set(m_after); }

private:
    void set(const QString& text) {
        m_tab.text = text;
        m_view.update(propsFor(m_tab, m_registry()));
    }
    TextStorageRegistry& m_registry() { return *m_view.coordinator().textStorageRegistry; }
    FakeTab& m_tab;
    CodeEditorView& m_view;
    QString m_before;
    QString m_after;
};

struct TypingFixture : ::testing::Test {
    TextStorageRegistry registry;
    FakeTab tab;
    std::unique_ptr<CodeEditorView> view;
    void SetUp() override {
        view = std::make_unique<CodeEditorView>(propsFor(tab, registry));
        view->show();
    }
    ShortcutTextView* text() { return view->textView(); }
};

} // namespace

TEST_F(TypingFixture, TypingIsOneMergedStepOnTheTabsStack) {
    QTest::keyClicks(text(), QStringLiteral("abc"));
    EXPECT_EQ(tab.text, QStringLiteral("abc"));
    ASSERT_EQ(tab.undo.count(), 1);
    EXPECT_EQ(tab.undo.undoText(), QStringLiteral("Typing"));
    tab.undo.undo();
    EXPECT_EQ(tab.text, QString());
    EXPECT_EQ(view->coordinator().storage()->text(), QString());
    EXPECT_EQ(tab.selectedRange, (TextRange{0, 0}));
    tab.undo.redo();
    EXPECT_EQ(tab.text, QStringLiteral("abc"));
    EXPECT_EQ(text()->selectedRange(), (TextRange{3, 0}));
    // The document's own undo never records anything.
    EXPECT_FALSE(text()->document()->isUndoAvailable());
}

TEST_F(TypingFixture, BackspacesMergeAndACaretMoveStartsANewStep) {
    QTest::keyClicks(text(), QStringLiteral("hello"));
    QTest::keyClick(text(), Qt::Key_Backspace);
    QTest::keyClick(text(), Qt::Key_Backspace);
    EXPECT_EQ(tab.text, QStringLiteral("hel"));
    EXPECT_EQ(tab.undo.count(), 2);
    QTest::keyClick(text(), Qt::Key_Home);
    QTest::keyClicks(text(), QStringLiteral(">"));
    EXPECT_EQ(tab.text, QStringLiteral(">hel"));
    EXPECT_EQ(tab.undo.count(), 3);
    tab.undo.undo();
    EXPECT_EQ(tab.text, QStringLiteral("hel"));
    tab.undo.undo();
    EXPECT_EQ(tab.text, QStringLiteral("hello"));
    EXPECT_EQ(tab.selectedRange, (TextRange{5, 0}));
    // Ctrl+Z and Ctrl+Shift+Z in the view use the same stack.
    QTest::keyClick(text(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(tab.text, QString());
    QTest::keyClick(text(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(tab.text, QStringLiteral("hello"));
}

TEST_F(TypingFixture, ACutAPasteOrADropIsAStepOfItsOwn) {
    QTest::keyClicks(text(), QStringLiteral("abc"));
    QGuiApplication::clipboard()->setText(QStringLiteral("XYZ"));
    QTest::keyClick(text(), Qt::Key_V, Qt::ControlModifier);
    QTest::keyClicks(text(), QStringLiteral("d"));
    EXPECT_EQ(tab.text, QStringLiteral("abcXYZd"));
    ASSERT_EQ(tab.undo.count(), 3);
    tab.undo.undo();
    EXPECT_EQ(tab.undo.undoText(), QStringLiteral("Paste"));
    tab.undo.undo();
    EXPECT_EQ(tab.text, QStringLiteral("abc"));
    EXPECT_EQ(tab.undo.undoText(), QStringLiteral("Typing"));

    // Text dropped at the end of what was typed.
    auto* data = new QMimeData;
    data->setText(QStringLiteral("!"));
    const QPoint end = text()->cursorRect().center();
    QDragEnterEvent enter(end, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(text()->viewport(), &enter);
    QDropEvent drop(end, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(text()->viewport(), &drop);
    EXPECT_EQ(tab.text, QStringLiteral("abc!"));
    EXPECT_EQ(tab.undo.undoText(), QStringLiteral("Drop"));
    tab.undo.undo();
    EXPECT_EQ(tab.text, QStringLiteral("abc"));
    delete data;

    // A cut, then typing where it was.
    QTest::keyClick(text(), Qt::Key_End);
    QTest::keyClick(text(), Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(text(), Qt::Key_X, Qt::ControlModifier);
    QTest::keyClicks(text(), QStringLiteral("C"));
    EXPECT_EQ(tab.text, QStringLiteral("abC"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("c"));
    tab.undo.undo();
    EXPECT_EQ(tab.undo.undoText(), QStringLiteral("Cut"));
    tab.undo.undo();
    EXPECT_EQ(tab.text, QStringLiteral("abc"));
}

TEST_F(TypingFixture, ReplacementFromTheBindingIsOutsideUndoAndBreaksTheStep) {
    QTest::keyClicks(text(), QStringLiteral("ab"));
    tab.text = QStringLiteral("ab!");
    view->update(propsFor(tab, registry));
    EXPECT_EQ(tab.undo.count(), 1);
    QTest::keyClick(text(), Qt::Key_End);
    QTest::keyClicks(text(), QStringLiteral("c"));
    EXPECT_EQ(tab.undo.count(), 2);
    tab.undo.undo();
    EXPECT_EQ(tab.text, QStringLiteral("ab!"));
}

TEST_F(TypingFixture, WindowStepsAndTypingShareOneHistory) {
    QTest::keyClicks(text(), QStringLiteral("one"));
    tab.undo.push(new SnapshotCommand(tab, *view, QStringLiteral("ONE")));
    EXPECT_EQ(text()->toPlainText(), QStringLiteral("ONE"));
    QTest::keyClick(text(), Qt::Key_End);
    QTest::keyClicks(text(), QStringLiteral("!"));
    EXPECT_EQ(tab.text, QStringLiteral("ONE!"));
    EXPECT_EQ(tab.undo.count(), 3);
    tab.undo.undo();
    EXPECT_EQ(tab.text, QStringLiteral("ONE"));
    EXPECT_EQ(tab.undo.undoText(), QStringLiteral("Replace All"));
    tab.undo.undo();
    EXPECT_EQ(tab.text, QStringLiteral("one"));
    EXPECT_EQ(text()->toPlainText(), QStringLiteral("one"));
    tab.undo.undo();
    EXPECT_EQ(tab.text, QString());
    tab.undo.redo();
    tab.undo.redo();
    tab.undo.redo();
    EXPECT_EQ(tab.text, QStringLiteral("ONE!"));
}

TEST_F(TypingFixture, UndoOfATabNotShownStillReachesItsText) {
    QTest::keyClicks(text(), QStringLiteral("first"));
    FakeTab other;
    other.text = QStringLiteral("other");
    view->update(propsFor(other, registry));
    EXPECT_EQ(text()->toPlainText(), QStringLiteral("other"));
    // The first tab's step runs while the view shows the other tab.
    tab.undo.undo();
    EXPECT_EQ(tab.text, QString());
    EXPECT_EQ(text()->toPlainText(), QStringLiteral("other"));
    EXPECT_EQ(other.text, QStringLiteral("other"));
    tab.undo.redo();
    EXPECT_EQ(tab.text, QStringLiteral("first"));
    // The tab's text changed behind its storage's back: the storage catches up first, and a
    // step that no longer fits the text does nothing.
    tab.text = QStringLiteral("changed elsewhere");
    tab.undo.undo();
    EXPECT_EQ(tab.text, QStringLiteral("changed elsewhere"));
    EXPECT_EQ(registry.textStorage(tab.id)->text(), QStringLiteral("changed elsewhere"));
}
