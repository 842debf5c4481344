#include "WindowFixture.h"
#include "platform/Localization.h"
#include "window/TabUndoRegistry.h"

#include <QTextDocument>
#include <QUndoStack>

namespace dunmoss::test {
namespace {

class TabUndo : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        EditorTab first = untitledTab();
        first.document.text = QStringLiteral("alpha beta");
        first.selectedRanges = {{0, 5}, {6, 4}};
        first.selectedRange = {0, 5};
        EditorTab second = untitledTab();
        second.document.text = QStringLiteral("one two");
        model->update([&](EditorWindowState& s) {
            s.tabs = {first, second};
            s.activeTabID = first.id;
        });
        firstID = first.id;
        secondID = second.id;
    }

    QUndoStack* stackOf(const QUuid& id) { return model->undoRegistry().undoStackForTab(id); }

    QUuid firstID;
    QUuid secondID;
};

TEST_F(TabUndo, UndoAndRedoActOnlyOnTheirOwnTabWithNamesAndSelections) {
    model->replaceTabText(0, QStringLiteral("ALPHA beta"), TextRange{0, 5},
                          QStringLiteral("find.replace"));
    model->replaceTabText(1, QStringLiteral("one 2"), TextRange{4, 1},
                          QStringLiteral("find.replace-all"));
    model->replaceTabText(0, QStringLiteral("ALPHA BETA"), TextRange{6, 4},
                          QStringLiteral("tools.json-pretty"));

    EXPECT_EQ(stackOf(firstID)->count(), 2);
    EXPECT_EQ(stackOf(secondID)->count(), 1);
    EXPECT_EQ(stackOf(firstID)->undoText(), localizedString(QStringLiteral("tools.json-pretty")));
    EXPECT_EQ(stackOf(secondID)->undoText(), localizedString(QStringLiteral("find.replace-all")));

    stackOf(secondID)->undo();
    EXPECT_EQ(tabAt(1).document.text, QStringLiteral("one two"));
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("ALPHA BETA"));

    stackOf(firstID)->undo();
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("ALPHA beta"));
    EXPECT_EQ(tabAt(0).selectedRange, (TextRange{0, 5}));
    stackOf(firstID)->undo();
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("alpha beta"));
    // All of the selections the tab had before the edit come back.
    EXPECT_EQ(tabAt(0).selectedRanges, (QList<TextRange>{{0, 5}, {6, 4}}));
    EXPECT_EQ(stackOf(firstID)->redoText(), localizedString(QStringLiteral("find.replace")));

    stackOf(firstID)->redo();
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("ALPHA beta"));
    stackOf(secondID)->redo();
    EXPECT_EQ(tabAt(1).document.text, QStringLiteral("one 2"));
    EXPECT_EQ(tabAt(1).selectedRange, (TextRange{4, 1}));
    // Undo steps save the session; the edits themselves leave that to their callers.
    EXPECT_EQ(sessionSaves, 5);
}

TEST_F(TabUndo, BackAndForthAlternatesBetweenTheTwoStates) {
    model->replaceTabText(0, QStringLiteral("B"), TextRange{1, 0}, QStringLiteral("find.replace"));
    QUndoStack* stack = stackOf(firstID);
    stack->undo();
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("alpha beta"));
    stack->redo();
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("B"));
    stack->undo();
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("alpha beta"));
    stack->redo();
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("B"));
    EXPECT_EQ(stack->undoText(), localizedString(QStringLiteral("find.replace")));
}

TEST_F(TabUndo, RedoBringsBackTheTabAsUndoFoundIt) {
    model->replaceTabText(0, QStringLiteral("ALPHA beta"), TextRange{0, 5},
                          QStringLiteral("find.replace"));
    QUndoStack* stack = stackOf(firstID);
    // The person selects both words after the edit; Undo and Redo keep that selection.
    model->setTabSelectedRanges(firstID, {{0, 5}, {6, 4}});
    stack->undo();
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("alpha beta"));
    stack->redo();
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("ALPHA beta"));
    EXPECT_EQ(tabAt(0).selectedRanges, (QList<TextRange>{{0, 5}, {6, 4}}));

    // A change outside undo (a text binding write) elsewhere in the text survives Undo and
    // Redo: a step takes back only its own stretch.
    model->setTabText(firstID, QStringLiteral("ALPHA beta!"));
    model->setTabSelectedRange(firstID, TextRange{11, 0});
    stack->undo();
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("alpha beta!"));
    stack->redo();
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("ALPHA beta!"));
    EXPECT_EQ(tabAt(0).selectedRange, (TextRange{11, 0}));

    // One that rewrote the step's own stretch leaves nothing for it to take back.
    model->setTabText(firstID, QStringLiteral("Alpha beta!"));
    stack->undo();
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("Alpha beta!"));
    EXPECT_EQ(tabAt(0).selectedRange, (TextRange{11, 0}));
}

TEST_F(TabUndo, AnEditThatChangesNothingLeavesNoStep) {
    model->replaceTabText(0, QStringLiteral("x"), TextRange{0, 0}, QStringLiteral("find.replace"));
    const int snapshots = snapshotRequests;
    model->replaceTabText(0, QStringLiteral("x"), TextRange{0, 0},
                          QStringLiteral("find.replace-all"));
    EXPECT_EQ(stackOf(firstID)->count(), 1);
    EXPECT_EQ(snapshotRequests, snapshots);
    stackOf(firstID)->undo();
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("alpha beta"));
    // Same text, other selection: a step of its own.
    model->replaceTabText(0, QStringLiteral("alpha beta"), TextRange{2, 1},
                          QStringLiteral("find.replace"));
    EXPECT_EQ(tabAt(0).selectedRange, (TextRange{2, 1}));
}

TEST_F(TabUndo, AnInvalidSelectionBecomesTheCaretAtTheStart) {
    model->replaceTabText(1, QStringLiteral("ab"), TextRange{5, 3}, QStringLiteral("find.replace"));
    EXPECT_EQ(tabAt(1).selectedRange, (TextRange{0, 0}));
    EXPECT_EQ(tabAt(1).selectedRanges, (QList<TextRange>{TextRange{0, 0}}));
}

TEST_F(TabUndo, StepsOfAClosedTabDoNothing) {
    model->replaceTabText(1, QStringLiteral("changed"), TextRange{0, 0},
                          QStringLiteral("find.replace"));
    QUndoStack* stack = stackOf(secondID);
    model->update([&](EditorWindowState& s) { s.tabs.removeAt(1); });
    stack->undo();
    EXPECT_EQ(state().tabs.size(), 1);
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("alpha beta"));

    model->forgetTab(secondID);
    EXPECT_FALSE(model->undoRegistry().hasUndoStack(secondID));
    EXPECT_FALSE(model->textStorageRegistry().contains(secondID));
}

TEST_F(TabUndo, ClearingHistoryKeepsTheStack) {
    model->replaceTabText(0, QStringLiteral("x"), TextRange{0, 0}, QStringLiteral("find.replace"));
    QUndoStack* stack = stackOf(firstID);
    model->clearTabUndoStack(firstID);
    EXPECT_EQ(stack->count(), 0);
    EXPECT_EQ(stackOf(firstID), stack);
    model->clearTabUndoStack(QUuid::createUuid());
    EXPECT_FALSE(model->undoRegistry().hasUndoStack(QUuid()));
}

TEST_F(TabUndo, TheTextStorageFollowsEditsAndUndo) {
    // No view has shown the tab yet: its storage is made from the tab's text first.
    ASSERT_FALSE(model->textStorageRegistry().contains(firstID));
    model->replaceTabText(0, QStringLiteral("alpha gamma beta"), TextRange{6, 5},
                          QStringLiteral("find.replace"));
    std::shared_ptr<TextStorage> storage = model->textStorageRegistry().textStorage(firstID);
    EXPECT_EQ(storage->text(), QStringLiteral("alpha gamma beta"));
    EXPECT_EQ(storage->primaryDocument()->toPlainText(), QStringLiteral("alpha gamma beta"));

    QList<TextStorage::Change> changes;
    QObject::connect(storage.get(), &TextStorage::edited,
                     [&](const TextStorage::Change& change) { changes.append(change); });
    stackOf(firstID)->undo();
    EXPECT_EQ(storage->text(), QStringLiteral("alpha beta"));
    // Only the changed middle is written.
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes.first().position, 6);
    EXPECT_EQ(changes.first().removed, QStringLiteral("gamma "));
    EXPECT_TRUE(changes.first().inserted.isEmpty());

    // A reload-style replacement outside undo.
    model->update([](EditorWindowState& s) { s.tabs[0].document.text = QStringLiteral("new"); });
    model->syncTextStorage(firstID);
    EXPECT_EQ(storage->text(), QStringLiteral("new"));
    EXPECT_EQ(stackOf(firstID)->count(), 1);
}

TEST_F(TabUndo, SurrogatePairsAreNeverSplitByTheStorageEdit) {
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString laugh = QString::fromUtf8("\xF0\x9F\x98\x82");
    model->replaceTabText(1, QStringLiteral("a") + smile + QStringLiteral("b"), TextRange{0, 0},
                          QStringLiteral("find.replace"));
    model->replaceTabText(1, QStringLiteral("a") + laugh + QStringLiteral("b"), TextRange{0, 0},
                          QStringLiteral("find.replace"));
    std::shared_ptr<TextStorage> storage = model->textStorageRegistry().textStorage(secondID);
    EXPECT_EQ(storage->text(), QStringLiteral("a") + laugh + QStringLiteral("b"));
    QList<TextStorage::Change> changes;
    QObject::connect(storage.get(), &TextStorage::edited,
                     [&](const TextStorage::Change& change) { changes.append(change); });
    stackOf(secondID)->undo();
    EXPECT_EQ(storage->text(), QStringLiteral("a") + smile + QStringLiteral("b"));
    ASSERT_EQ(changes.size(), 1);
    // The pairs share their high surrogate, yet the whole character is replaced.
    EXPECT_EQ(changes.first().position, 1);
    EXPECT_EQ(changes.first().removed, laugh);
    EXPECT_EQ(changes.first().inserted, smile);
}

} // namespace
} // namespace dunmoss::test
