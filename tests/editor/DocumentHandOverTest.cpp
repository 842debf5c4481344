// A document filled before any view shows it, taken by a view: with the font, tab stops and
// wrapping the view gives its documents, and laid out once for the width it is shown at.
#include "EditorTestSupport.h"
#include "editor/EditorLook.h"
#include "editor/LaidOutLines.h"
#include "editor/LongLineDocumentLayout.h"
#include "editor/ShortcutTextView.h"
#include "editor/TextStorage.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

QString linesOfText(int count) {
    QString text;
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("\tline %1 of a file, indented by a tab\n").arg(i);
    return text;
}

// A view showing `tab`, whose storage was filled beforehand for `look`.
struct PreparedView {
    PreparedView(FakeTab& tab, const TextStorage::Look& look, qreal fontSize, int tabWidth,
                 bool wordWrap) {
        storage =
            std::make_shared<TextStorage>(tab.text, TextStorage::prepareDocument(tab.text, look));
        registry.adoptTextStorage(tab.id, storage);
        CodeEditorProps props = propsFor(tab, registry);
        props.fontSize = fontSize;
        props.tabWidth = tabWidth;
        props.wordWrap = wordWrap;
        view = std::make_unique<CodeEditorView>(props);
    }
    TextStorageRegistry registry;
    std::shared_ptr<TextStorage> storage;
    std::unique_ptr<CodeEditorView> view;
};

} // namespace

TEST(DocumentHandOver, ADocumentFilledForAViewsSettingsIsShownWithTheFontAndOptionsItCameWith) {
    struct Settings {
        qreal fontSize;
        int tabWidth;
        bool wordWrap;
    };
    for (const Settings& settings :
         {Settings{14, 4, true}, Settings{11, 2, false}, Settings{20, 8, true}}) {
        SCOPED_TRACE(settings.tabWidth);
        FakeTab tab;
        tab.text = linesOfText(3000);
        const TextStorage::Look look =
            editorLook(settings.fontSize, settings.tabWidth, settings.wordWrap);
        PreparedView v(tab, look, settings.fontSize, settings.tabWidth, settings.wordWrap);
        QTextDocument* shown = v.view->textView()->document();
        // The very document filled aside, neither copied nor refilled.
        ASSERT_EQ(shown, v.storage->primaryDocument());
        EXPECT_EQ(shown->toPlainText(), tab.text);
        // Any of them set anew by the view would have laid every line out again.
        EXPECT_EQ(shown->defaultFont(), look.font);
        EXPECT_TRUE(sameTextOption(shown->defaultTextOption(), look.option));
        EXPECT_EQ(shown->defaultTextOption().wrapMode(),
                  settings.wordWrap ? QTextOption::WrapAtWordBoundaryOrAnywhere
                                    : QTextOption::NoWrap);

        // What is typed into it is the tab's text.
        v.view->textView()->setFocus();
        v.view->textView()->textCursor().insertText(QStringLiteral("typed "));
        QApplication::processEvents();
        EXPECT_TRUE(tab.text.startsWith(QStringLiteral("typed \tline 0")));
        EXPECT_EQ(v.storage->text(), tab.text);
    }
}

TEST(DocumentHandOver, ADocumentFilledForOtherSettingsTakesTheViewsOwn) {
    FakeTab tab;
    tab.text = linesOfText(500);
    PreparedView v(tab, editorLook(14, 2, false), 14, 4, true);
    const TextStorage::Look own = editorLook(14, 4, true);
    QTextDocument* shown = v.view->textView()->document();
    EXPECT_TRUE(sameTextOption(shown->defaultTextOption(), own.option));
    EXPECT_EQ(shown->toPlainText(), tab.text);
}

TEST(DocumentHandOver, AViewShownAtTheWidthItLaidItsTextOutAtKeepsItsLines) {
    const auto laidOutThenShown = [](bool resizedMeanwhile) {
        ShortcutTextView view;
        // As the editor view has it: the text's length never changes the room beside the bar.
        view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        view.resize(600, 400);
        QWidget margin(&view);
        // Lays the viewport out for the view's size while the view is not shown.
        view.setLeftMarginWidget(&margin, 40);
        QTextDocument document;
        QTextCursor(&document).insertText(linesOfText(200));
        document.setDocumentLayout(new LongLineDocumentLayout(&document));
        view.takeDocument(&document);
        const QTextBlock block = document.findBlockByNumber(5);
        document.documentLayout()->blockBoundingRect(block);
        EXPECT_GT(block.layout()->lineCount(), 0);
        const int lineWidth = int(block.layout()->lineAt(0).width());
        if (resizedMeanwhile)
            view.resize(800, 400);
        view.show();
        const bool kept = block.layout()->lineCount() > 0;
        if (kept) {
            EXPECT_EQ(int(block.layout()->lineAt(0).width()), lineWidth);
        }
        return kept;
    };
    EXPECT_TRUE(laidOutThenShown(false));
    // Shown wider than it was laid out: laid out again for the new width.
    EXPECT_FALSE(laidOutThenShown(true));
}

TEST(DocumentHandOver, ATextReadAgainIntoANewStorageLetsTheOldOneGoApartFromShowingTheNew) {
    FakeTab tab;
    tab.text = linesOfText(2000);
    PreparedView v(tab, editorLook(14, 4, true), 14, 4, true);
    v.view->show();
    std::weak_ptr<TextStorage> old = v.storage;
    QTextDocument* oldDocument = v.storage->primaryDocument();
    std::atomic<bool> takenApartAside = false;
    std::atomic<bool> takenApart = false;
    QObject::connect(oldDocument, &QObject::destroyed, [&] {
        takenApartAside = QThread::currentThread() != qApp->thread();
        takenApart = true;
    });

    // As a reload has it: the registry takes a storage filled aside, the view is told.
    tab.text = QStringLiteral("read again\n") + linesOfText(2000);
    v.registry.removeTextStorage(tab.id);
    v.storage = std::make_shared<TextStorage>(
        tab.text, TextStorage::prepareDocument(tab.text, editorLook(14, 4, true)));
    ASSERT_TRUE(v.registry.adoptTextStorage(tab.id, v.storage));
    v.view->update(propsFor(tab, v.registry));
    EXPECT_EQ(v.view->textView()->document(), v.storage->primaryDocument());
    EXPECT_NE(v.view->textView()->document(), oldDocument);
    EXPECT_EQ(v.view->textView()->toPlainText(), tab.text);

    // Not in the round of events that shows the new text, but soon after, with its documents.
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(old.expired());
    EXPECT_TRUE(QTest::qWaitFor([&] { return old.expired(); }, 5000));
    EXPECT_EQ(v.view->textView()->toPlainText(), tab.text);
    // Its lines are freed on a pool thread, not on the one that shows the window.
    EXPECT_TRUE(QTest::qWaitFor([&] { return takenApart.load(); }, 5000));
    EXPECT_TRUE(takenApartAside);
}

namespace {

// `count` lines of `length` characters, words of five letters; line `wide` (if any) is `wideLength`
// long.
QString linesOfWords(int count, int length, int wide = -1, int wideLength = 0) {
    QString text;
    for (int i = 0; i < count; ++i) {
        const int size = i == wide ? wideLength : length;
        QString line = QStringLiteral("%1 ").arg(i);
        while (line.size() < size)
            line += QStringLiteral("words ");
        text += line.left(size) + u'\n';
    }
    return text;
}

// A view of a new document of `text` (its layout never laid out), shown at 600 by 400.
struct ShownText {
    explicit ShownText(const QString& text, QTextOption::WrapMode wrap) {
        view.setLineWrapMode(wrap == QTextOption::NoWrap ? QPlainTextEdit::NoWrap
                                                         : QPlainTextEdit::WidgetWidth);
        view.resize(600, 400);
        view.show();
        QTextCursor(&document).insertText(text);
        layout = new LongLineDocumentLayout(&document);
        document.setDocumentLayout(layout);
        view.takeDocument(&document);
        QApplication::processEvents();
    }
    void showBlock(int number) {
        QTextCursor cursor(document.findBlockByNumber(number));
        view.setTextCursor(cursor);
        view.ensureCursorVisible();
        QApplication::processEvents();
    }
    // Every line of the block laid out, none wider than the view's text.
    bool wrapsWithinView(int number) const {
        const QTextLayout* lines = document.findBlockByNumber(number).layout();
        if (!lines || lines->lineCount() == 0)
            return false;
        for (int i = 0; i < lines->lineCount(); ++i)
            if (lines->lineAt(i).naturalTextWidth() > view.viewport()->width())
                return false;
        return true;
    }
    ShortcutTextView view;
    QTextDocument document;
    LongLineDocumentLayout* layout = nullptr;
};

} // namespace

TEST(DocumentHandOver, ALongTextTakenByAViewWrapsEveryLineItShowsAtTheViewsWidth) {
    const int count = 3 * LongLineDocumentLayout::kWidestHeldMinimumBlocks;
    // The first line is the widest: laid out before the view sets its width, it would be the
    // one measured narrower afterwards.
    ShownText shown(linesOfWords(count, 240, 0, 300), QTextOption::WrapAtWordBoundaryOrAnywhere);
    EXPECT_TRUE(shown.wrapsWithinView(0));
    EXPECT_GT(shown.document.firstBlock().layout()->lineCount(), 1);
    // Showing the first lines measured none of the others again for the widest line: the widest
    // known is still the width the view set.
    EXPECT_EQ(shown.layout->documentSize().width(), shown.view.viewport()->width());
    // Every line further on, the middle one (laid out before the view set its width) included,
    // wraps at the view's width once shown.
    for (int number : {count / 2, count / 2 + 1, count - 1}) {
        SCOPED_TRACE(number);
        shown.showBlock(number);
        EXPECT_TRUE(shown.wrapsWithinView(number));
        EXPECT_GT(shown.document.findBlockByNumber(number).layout()->lineCount(), 1);
    }
}

TEST(DocumentHandOver, AnUnwrappedTextScrollsSidewaysAsFarAsItsWidestLineShown) {
    const int count = 3 * LongLineDocumentLayout::kWidestHeldMinimumBlocks;
    for (int wide : {0, count / 2, count - 10}) {
        SCOPED_TRACE(wide);
        ShownText shown(linesOfWords(count, 40, wide, 400), QTextOption::NoWrap);
        shown.showBlock(wide);
        const qreal lineWidth =
            shown.document.findBlockByNumber(wide).layout()->lineAt(0).naturalTextWidth();
        ASSERT_GT(lineWidth, shown.view.viewport()->width());
        QScrollBar* bar = shown.view.horizontalScrollBar();
        // The bar's end shows the line's end.
        EXPECT_GE(bar->maximum() + shown.view.viewport()->width(), int(lineWidth));
    }
}
