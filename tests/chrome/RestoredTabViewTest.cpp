// A window started on a stored session of long files: the tab shown first is shown by the
// document filled on the reading thread, with its text, caret and scroll as stored.
#include "TestWindowOptions.h"
#include "chrome/EditorPane.h"
#include "editor/CodeEditorView.h"
#include "editor/EditorLook.h"
#include "editor/LaidOutLines.h"
#include "editor/ShortcutTextView.h"
#include "editor/TextStorage.h"
#include "session/SessionStore.h"
#include "session/SessionWriter.h"
#include "text/TextFileLoader.h"
#include "window/DocumentOpening.h"
#include "window/EditorWindowModel.h"
#include "window/TabUndoRegistry.h"

#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QThreadPool>
#include <QUndoStack>
#include <gtest/gtest.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

// Lines of a log: `count` of them, each starting with `mark`.
QByteArray logLines(char mark, int count) {
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += mark + QByteArray(" line ") + QByteArray::number(i) + " of a long log file\n";
    return bytes;
}

class RestoredTabView : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("settings.ini")));
    }
    void TearDown() override {
        window.reset();
        SessionWriter::shared().waitUntilIdle();
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
    }

    QUrl writeFile(const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return QUrl::fromLocalFile(file.fileName());
    }
    QString recovery() const { return dir.filePath(QStringLiteral("Recovery")); }
    void storeSession(const QList<EditorTab>& tabs, const QUuid& active, double fontSize = 14) {
        SessionStore(*defaults, recovery()).saveSession(makeSessionRecord(tabs, active, fontSize));
        SessionWriter::shared().waitUntilIdle();
    }
    // A window started as the program starts one, shown, until its tabs are back. With
    // `welcomeClosed`, the person closed the welcome panel before they came: the text view is
    // on screen when it takes them.
    void start(int tabCount, bool welcomeClosed = false) {
        EditorWindowView::Options options = testWindowOptions(*defaults);
        options.recoveryDirectory = recovery();
        window = std::make_unique<EditorWindowView>(options);
        window->resize(1000, 700);
        window->show();
        if (welcomeClosed)
            model().update([](EditorWindowState& state) { state.panels.showWelcome = false; });
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return model().state().tabs.size() == tabCount && !model().opening().isOpening();
            },
            20'000));
        QTest::qWait(50);
    }
    EditorWindowModel& model() const { return window->model(); }
    // The text view of the pane on screen.
    ShortcutTextView* textView() const {
        for (EditorPane* pane : window->findChildren<EditorPane*>())
            if (pane->isVisible() && pane->editorView())
                return pane->editorView()->textView();
        return nullptr;
    }

    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;
    std::unique_ptr<EditorWindowView> window;
};

} // namespace

TEST_F(RestoredTabView, TheActiveTabShowsItsFilledDocumentWithItsTextCaretAndScroll) {
    const QByteArray first = logLines('a', 6000);
    const QByteArray second = logLines('b', 6000);
    const QUrl a = writeFile(QStringLiteral("a.log"), first);
    const QUrl b = writeFile(QStringLiteral("b.log"), second);
    EditorTab shown = makeTabForLoadedFile(a, loadTextFile(a));
    EditorTab other = makeTabForLoadedFile(b, loadTextFile(b));
    // The caret far down the text: the view has to scroll to it.
    const qsizetype caret = shown.document.text.indexOf(QStringLiteral("a line 4000 "));
    shown.selectedRange = {caret, 0};
    shown.selectedRanges = {shown.selectedRange};
    storeSession({other, shown}, shown.id);
    start(2);

    ASSERT_EQ(model().state().activeTabID, shown.id);
    const std::shared_ptr<TextStorage> storage =
        model().textStorageRegistry().textStorage(shown.id);
    ShortcutTextView* view = textView();
    ASSERT_NE(view, nullptr);
    // The document filled aside is the one shown and edited, holding the file's exact text.
    ASSERT_EQ(view->document(), storage->primaryDocument());
    EXPECT_EQ(storage->text(), QString::fromLatin1(first));
    EXPECT_EQ(view->document()->toPlainText(), QString::fromLatin1(first));
    // In the font and options the view shows it in.
    const TextStorage::Look look =
        editorLook(model().settings().fontSize(), model().tabWidthForTab(1),
                   model().settings().wordWrapEnabled());
    EXPECT_EQ(view->document()->defaultFont(), look.font);
    EXPECT_TRUE(sameTextOption(view->document()->defaultTextOption(), look.option));
    // The caret where it was, on screen.
    EXPECT_EQ(view->textCursor().position(), caret);
    const int caretBlock = view->textCursor().blockNumber();
    EXPECT_GT(view->verticalScrollBar()->value(), 0);
    EXPECT_LE(view->firstVisibleTextBlock().blockNumber(), caretBlock);
    EXPECT_TRUE(view->viewport()->rect().contains(view->cursorRect().center()));
    // A fresh history: nothing to undo until something is typed, which goes into the tab.
    QUndoStack* undo = model().undoRegistry().undoStackForTab(shown.id);
    EXPECT_FALSE(undo->canUndo());
    QTest::keyClicks(view, QStringLiteral("xy"));
    EXPECT_TRUE(undo->canUndo());
    EXPECT_EQ(model().tab(shown.id)->document.text.mid(caret, 14),
              QStringLiteral("xya line 4000 "));

    // The other tab takes its own filled document a turn later and shows its text when chosen.
    ASSERT_TRUE(QTest::qWaitFor([&] { return model().textStorageRegistry().contains(other.id); }));
    model().setActiveTabID(other.id);
    QTest::qWait(20);
    EXPECT_EQ(textView()->document()->toPlainText(), QString::fromLatin1(second));
}

TEST_F(RestoredTabView, EachRestoredTabShowsItsCaretInTheSessionsFont) {
    const QUrl a = writeFile(QStringLiteral("a.txt"), logLines('a', 300));
    const QUrl b = writeFile(QStringLiteral("b.txt"), logLines('b', 300));
    EditorTab shown = makeTabForLoadedFile(a, loadTextFile(a));
    EditorTab later = makeTabForLoadedFile(b, loadTextFile(b));
    for (EditorTab* tab : {&shown, &later}) {
        // Line 126, below the first screen.
        const qsizetype caret = tab->document.text.indexOf(QStringLiteral(" line 125 ")) - 1;
        tab->selectedRange = {caret, 0};
        tab->selectedRanges = {tab->selectedRange};
    }
    // The session's font is larger than the window's: the lines are measured again after the
    // view took the text and its caret.
    storeSession({shown, later}, shown.id, 28);
    start(2, true);
    ASSERT_EQ(model().settings().fontSize(), 28);

    for (const EditorTab* tab : {&shown, &later}) {
        model().setActiveTabID(tab->id);
        QTest::qWait(20);
        ShortcutTextView* view = textView();
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view->textCursor().position(), tab->selectedRange.location);
        EXPECT_EQ(view->textCursor().blockNumber(), 125);
        EXPECT_TRUE(view->viewport()->rect().contains(view->cursorRect().center()))
            << view->cursorRect().y() << " below " << view->viewport()->height();
    }
}
