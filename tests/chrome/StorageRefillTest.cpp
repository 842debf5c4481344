#include "window/StorageRefill.h"
#include "chrome/EditorPane.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "editor/TextStorage.h"
#include "platform/Localization.h"
#include "search/FindReplace.h"
#include "search/FindStepRunner.h"
#include "tools/LineTools.h"
#include "window/TabClosing.h"
#include "window/TabUndoRegistry.h"
#include "window/WindowFixture.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPointer>
#include <QTest>
#include <QTextDocument>
#include <QThread>
#include <QThreadPool>
#include <QUndoStack>
#include <array>
#include <atomic>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

// Replace All over a text long enough for its change to be filled into a document aside.
class StorageRefillThroughAPane : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        for (int line = 0; line < 12'000; ++line)
            original += line % 3 == 0 ? QStringLiteral("a needle here\n")
                                      : QStringLiteral("hay and more hay\n");
        EditorTab tab = untitledTab();
        tab.document.text = original;
        tab.savedSnapshot = original;
        tabID = tab.id;
        model->update([&](EditorWindowState& s) {
            s.tabs.append(tab);
            s.activeTabID = tab.id;
        });
        pane = std::make_unique<EditorPane>(*model);
        pane->showTab(1, {});
        pane->resize(600, 400);
        pane->show();
        // As the window does: the pane follows every change of the model.
        QObject::connect(model.get(), &EditorWindowModel::changed, pane.get(), [this] {
            if (const std::optional<int> index = model->tabIndex(tabID))
                pane->showTab(*index, {});
        });
        FindReplace find(*model);
        find.setFindQuery(QStringLiteral("needle"));
        find.setReplaceText(QStringLiteral("pin"));
        // These tests are about the fill after the command, not the command outlasting its wait.
        FindStepRunner::of(*model).waitMilliseconds = 60'000;
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
    // The fill arrives once the pool thread has made it and the loop has turned.
    bool waitForFill() const {
        return QTest::qWaitFor([&] { return !storage().isBehind(); }, 10'000);
    }
    // What the view shows is the tab's text, its selection the tab's.
    void expectViewShowsTab() const {
        EXPECT_EQ(view()->document()->toPlainText(), tab().document.text);
        EXPECT_EQ(storage().text(), tab().document.text);
        EXPECT_EQ(view()->selectedRanges(), tab().selectedRanges);
        EXPECT_FALSE(view()->isReadOnly());
        // The lines and characters the ruler and the status bar read are those of the text.
        const TextCounts counted(tab().document.text);
        EXPECT_EQ(storage().counts().length(), counted.length());
        EXPECT_EQ(storage().counts().lines().lineCount(), counted.lines().lineCount());
        EXPECT_EQ(storage().counts().clusterCount(), counted.clusterCount());
    }

    QString original;
    QUuid tabID;
    std::unique_ptr<EditorPane> pane;
};

// The same with a second view of the tab beside the first, as a cloned view shows it: that view
// holds a document of its own, wrapped at its own width.
class StorageRefillThroughTwoPanes : public StorageRefillThroughAPane {
protected:
    void SetUp() override {
        StorageRefillThroughAPane::SetUp();
        clone = std::make_unique<EditorPane>(*model);
        clone->showTab(1, {});
        clone->resize(450, 400);
        clone->show();
        QObject::connect(model.get(), &EditorWindowModel::changed, clone.get(), [this] {
            if (const std::optional<int> index = model->tabIndex(tabID))
                clone->showTab(*index, {});
        });
    }
    void TearDown() override {
        clone.reset();
        StorageRefillThroughAPane::TearDown();
    }

    ShortcutTextView* cloneView() const { return clone->editorView()->textView(); }
    void expectBothViewsShowTab() const {
        expectViewShowsTab();
        EXPECT_EQ(cloneView()->document()->toPlainText(), tab().document.text);
        EXPECT_FALSE(cloneView()->isReadOnly());
    }
    // Neither view's document was rewritten since `primary` and `mirror` were taken: both were
    // handed new documents filled aside (the old ones go a turn later).
    void expectBothTookFilledDocuments(const QPointer<QTextDocument>& primary,
                                       const QPointer<QTextDocument>& mirror) const {
        EXPECT_NE(view()->document(), primary);
        EXPECT_NE(cloneView()->document(), mirror);
        EXPECT_NE(view()->document(), cloneView()->document());
    }

    std::unique_ptr<EditorPane> clone;
};

} // namespace

TEST_F(StorageRefillThroughAPane, ReplaceAllUndoAndRedoShowTheSameTextsAndSelections) {
    FindReplace find(*model);
    find.selectAllFindMatches();
    const QList<TextRange> matches = tab().selectedRanges;
    ASSERT_EQ(matches.size(), 4'000);
    ASSERT_EQ(view()->selectedRanges(), matches);

    find.replaceAllFindMatches();
    QString replaced = original;
    replaced.replace(QStringLiteral("needle"), QStringLiteral("pin"));
    EXPECT_EQ(tab().document.text, replaced);
    EXPECT_TRUE(tabIsModified(tab()));
    // Until the filled document arrives the view shows the text before and takes no edit.
    EXPECT_TRUE(storage().isBehind());
    EXPECT_TRUE(view()->isReadOnly());
    ASSERT_TRUE(waitForFill());
    expectViewShowsTab();
    EXPECT_EQ(tab().selectedRanges, (QList<TextRange>{{0, 0}}));
    EXPECT_EQ(undoStack()->count(), 1);

    undoStack()->undo();
    EXPECT_EQ(tab().document.text, original);
    EXPECT_TRUE(storage().isBehind());
    ASSERT_TRUE(waitForFill());
    expectViewShowsTab();
    EXPECT_EQ(tab().selectedRanges, matches);
    EXPECT_FALSE(tabIsModified(tab()));

    undoStack()->redo();
    EXPECT_TRUE(storage().isBehind());
    ASSERT_TRUE(waitForFill());
    expectViewShowsTab();
    EXPECT_EQ(tab().document.text, replaced);

    // A small change is written into the document shown, at once.
    model->replaceTabText(1, replaced.left(100), TextRange{0, 0}, QStringLiteral("find.replace"));
    EXPECT_FALSE(storage().isBehind());
    model->replaceTabText(1, replaced.left(100) + QStringLiteral("x"), TextRange{0, 0},
                          QStringLiteral("find.replace"));
    EXPECT_FALSE(storage().isBehind());
    expectViewShowsTab();
}

TEST_F(StorageRefillThroughAPane, KeysTypedBeforeTheFillArrivesApplyToTheNewText) {
    FindReplace find(*model);
    find.replaceAllFindMatches();
    ASSERT_TRUE(storage().isBehind());
    const QString replaced = tab().document.text;
    QTest::keyClicks(view(), QStringLiteral("xy"));
    EXPECT_EQ(tab().document.text, QStringLiteral("xy") + replaced);
    EXPECT_FALSE(storage().isBehind());
    expectViewShowsTab();
    // The fill that arrives later changes nothing.
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    expectViewShowsTab();
    EXPECT_EQ(tab().document.text, QStringLiteral("xy") + replaced);

    // Typing and Replace All are undone in turn.
    undoStack()->undo();
    EXPECT_EQ(tab().document.text, replaced);
    undoStack()->undo();
    ASSERT_TRUE(waitForFill());
    EXPECT_EQ(tab().document.text, original);
    expectViewShowsTab();

    // Undone before its fill arrived: the view never left the text it shows.
    find.replaceAllFindMatches();
    ASSERT_TRUE(storage().isBehind());
    undoStack()->undo();
    EXPECT_FALSE(storage().isBehind());
    expectViewShowsTab();
    EXPECT_EQ(tab().document.text, original);
}

TEST_F(StorageRefillThroughAPane, ATabClosedOrAViewGoneBeforeTheFillArrivesIsLeftAlone) {
    FindReplace(*model).replaceAllFindMatches();
    ASSERT_TRUE(storage().isBehind());
    pane.reset();
    TabClosing(*model).closeTab(tabID);
    EXPECT_FALSE(model->tab(tabID));
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_FALSE(model->textStorageRegistry().contains(tabID));

    // A window closed with a fill under way.
    const QUuid other = model->state().tabs.first().id;
    model->replaceTabText(0, original, TextRange{0, 0}, QStringLiteral("find.replace-all"));
    EXPECT_TRUE(model->textStorageRegistry().textStorage(other)->isBehind());
    model.reset();
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
}

TEST_F(StorageRefillThroughTwoPanes, ReplaceAllAndItsUndoFillBothViewsAside) {
    ASSERT_NE(view()->document(), cloneView()->document());
    const QPointer<QTextDocument> primary = view()->document();
    const QPointer<QTextDocument> mirror = cloneView()->document();
    FindReplace(*model).replaceAllFindMatches();
    QString replaced = original;
    replaced.replace(QStringLiteral("needle"), QStringLiteral("pin"));
    EXPECT_EQ(tab().document.text, replaced);
    EXPECT_TRUE(tabIsModified(tab()));
    // Until the fill arrives both views show the text before and take no edit.
    EXPECT_TRUE(cloneView()->isReadOnly());
    EXPECT_EQ(cloneView()->document()->toPlainText(), original);
    ASSERT_TRUE(waitForFill());
    expectBothViewsShowTab();
    expectBothTookFilledDocuments(primary, mirror);
    EXPECT_EQ(undoStack()->count(), 1);

    const QPointer<QTextDocument> primaryAfter = view()->document();
    const QPointer<QTextDocument> mirrorAfter = cloneView()->document();
    undoStack()->undo();
    EXPECT_EQ(tab().document.text, original);
    ASSERT_TRUE(waitForFill());
    expectBothViewsShowTab();
    expectBothTookFilledDocuments(primaryAfter, mirrorAfter);
    EXPECT_FALSE(tabIsModified(tab()));
}

TEST_F(StorageRefillThroughTwoPanes, TheDocumentsAFillReplacesAreTakenApartOffTheMainThread) {
    // Where each replaced document was deleted.
    std::array<std::atomic<QThread*>, 2> deletedOn{};
    const std::array<QTextDocument*, 2> replaced{view()->document(), cloneView()->document()};
    for (std::size_t i = 0; i < replaced.size(); ++i)
        QObject::connect(replaced[i], &QObject::destroyed,
                         [&, i] { deletedOn[i] = QThread::currentThread(); });
    FindReplace(*model).replaceAllFindMatches();
    ASSERT_TRUE(waitForFill());
    expectBothViewsShowTab();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return deletedOn[0].load() != nullptr && deletedOn[1].load() != nullptr; }, 10'000));
    for (const std::atomic<QThread*>& thread : deletedOn)
        EXPECT_NE(thread.load(), QCoreApplication::instance()->thread());
    // The views go on with the documents they took.
    undoStack()->undo();
    ASSERT_TRUE(waitForFill());
    expectBothViewsShowTab();
}

TEST_F(StorageRefillThroughTwoPanes, KeysTypedInTheCloneBeforeTheFillArrivesApplyToTheNewText) {
    FindReplace(*model).replaceAllFindMatches();
    ASSERT_TRUE(storage().isBehind());
    const QString replaced = tab().document.text;
    QTest::keyClicks(cloneView(), QStringLiteral("xy"));
    EXPECT_EQ(tab().document.text, QStringLiteral("xy") + replaced);
    EXPECT_FALSE(storage().isBehind());
    expectBothViewsShowTab();
    // The fill that arrives later changes nothing.
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    expectBothViewsShowTab();
    EXPECT_EQ(undoStack()->count(), 2);
    undoStack()->undo();
    undoStack()->undo();
    ASSERT_TRUE(waitForFill());
    EXPECT_EQ(tab().document.text, original);
    expectBothViewsShowTab();
}

TEST_F(StorageRefillThroughTwoPanes, AToolOverTheWholeTextIsFilledAsideIntoBothViews) {
    const QPointer<QTextDocument> primary = view()->document();
    const QPointer<QTextDocument> mirror = cloneView()->document();
    model->setSelection(0, original.size(), 1);
    LineTools(*model).run(EditorMacroStep::UppercaseSelection);
    EXPECT_EQ(tab().document.text, original.toUpper());
    EXPECT_TRUE(tabIsModified(tab()));
    EXPECT_TRUE(storage().isBehind());
    // Keys typed before the fill arrives land in the new text, over the selection it left.
    QTest::keyClicks(view(), QStringLiteral("z"));
    EXPECT_EQ(tab().document.text, QStringLiteral("z"));
    EXPECT_FALSE(storage().isBehind());
    expectBothViewsShowTab();
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    expectBothViewsShowTab();
    undoStack()->undo();
    EXPECT_EQ(tab().document.text, original.toUpper());
    EXPECT_EQ(undoStack()->undoText(), localizedString(QStringLiteral("tools.text.uppercase")));

    // Undone back to the start, the text comes through a fill into both views again.
    undoStack()->undo();
    EXPECT_EQ(tab().document.text, original);
    ASSERT_TRUE(waitForFill());
    expectBothViewsShowTab();
    expectBothTookFilledDocuments(primary, mirror);
    EXPECT_FALSE(tabIsModified(tab()));
    undoStack()->redo();
    ASSERT_TRUE(waitForFill());
    expectBothViewsShowTab();
    EXPECT_EQ(tab().document.text, original.toUpper());
    EXPECT_EQ(tab().selectedRange, (TextRange{0, original.size()}));
}

TEST_F(StorageRefillThroughAPane, ALargePasteIsFilledAsideAndKeysTypedMeanwhileWaitForIt) {
    QString pasted;
    for (int line = 0; pasted.size() < 2 * StorageRefill::kRefilledChangeLength; ++line)
        pasted += QStringLiteral("pasted line %1\r\n").arg(line);
    QGuiApplication::clipboard()->setText(pasted);
    const QPointer<QTextDocument> shown = view()->document();
    model->setSelection(14, 17, 1); // the second line
    QTest::keyClick(view(), Qt::Key_V, Qt::ControlModifier);
    QString expected = original;
    expected.replace(14, 17, QString(pasted).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    EXPECT_EQ(tab().document.text, expected);
    EXPECT_EQ(undoStack()->undoText(), localizedString(QStringLiteral("editor.undo.paste")));
    // Nothing was written into the document shown: its lines are made aside.
    EXPECT_TRUE(storage().isBehind());
    EXPECT_EQ(view()->document(), shown);
    EXPECT_EQ(shown->toPlainText(), original);

    // Keys given before the filled document arrives wait for it, rather than write the paste
    // into the document shown.
    QTest::keyClicks(view(), QStringLiteral("xy"));
    EXPECT_EQ(tab().document.text, expected);
    EXPECT_TRUE(storage().isBehind());
    EXPECT_EQ(shown->toPlainText(), original);
    ASSERT_TRUE(waitForFill());
    expected.insert(14 + pasted.size() - pasted.count(u'\r'), QStringLiteral("xy"));
    EXPECT_EQ(tab().document.text, expected);
    expectViewShowsTab();
    EXPECT_NE(view()->document(), shown);

    // The keys, then the paste, are undone in turn.
    undoStack()->undo();
    undoStack()->undo();
    ASSERT_TRUE(waitForFill());
    EXPECT_EQ(tab().document.text, original);
    EXPECT_EQ(tab().selectedRange, (TextRange{14, 17}));
    expectViewShowsTab();
}

TEST_F(StorageRefillThroughAPane, UndoGivenWhileAPasteIsFilledComesAfterTheKeysGivenBeforeIt) {
    QString pasted;
    for (int line = 0; pasted.size() < 2 * StorageRefill::kRefilledChangeLength; ++line)
        pasted += QStringLiteral("pasted line %1\n").arg(line);
    QGuiApplication::clipboard()->setText(pasted);
    model->setSelection(original.size(), 0, 1);
    QTest::keyClick(view(), Qt::Key_V, Qt::ControlModifier);
    QTest::keyClicks(view(), QStringLiteral("x"));
    ASSERT_TRUE(storage().isBehind());
    // The Edit menu's Undo, twice, while the key still waits: the key, then the paste.
    model->undoTabStep(tabID);
    model->undoTabStep(tabID);
    ASSERT_TRUE(waitForFill());
    EXPECT_EQ(tab().document.text, original);
    EXPECT_FALSE(tabIsModified(tab()));
    EXPECT_EQ(undoStack()->index(), 0);
    expectViewShowsTab();
}
