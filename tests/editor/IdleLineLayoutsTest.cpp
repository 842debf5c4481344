#include "editor/IdleLineLayouts.h"
#include "EditorTestSupport.h"
#include "editor/LongLineDocumentLayout.h"
#include "editor/ShortcutTextView.h"

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <climits>
#include <gtest/gtest.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

// Lines of words, a few of them Chinese or emoji, one line in a hundred blank.
QString manyLines(int count) {
    QString text;
    for (int i = 0; i < count; ++i) {
        if (i % 100 != 99)
            text += QStringLiteral("line %1 of many, 第%1行 \U0001F600 and some more words").arg(i);
        text += QLatin1Char('\n');
    }
    return text;
}

void makeEveryLayout(QTextDocument& document) {
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        block.layout();
}

struct ShownText {
    TextStorageRegistry registry;
    FakeTab tab;
    std::unique_ptr<CodeEditorView> view;

    explicit ShownText(const QString& text) {
        tab.text = text;
        CodeEditorProps props = propsFor(tab, registry);
        props.wordWrap = true;
        view = std::make_unique<CodeEditorView>(props);
        view->resize(700, 400);
        view->show();
        QApplication::processEvents();
    }
    ShortcutTextView* textView() const { return view->textView(); }
    const LongLineDocumentLayout* layout() const {
        return qobject_cast<LongLineDocumentLayout*>(textView()->document()->documentLayout());
    }
    bool releaseDue() const { return layout()->idleLayouts().isReleaseDue(); }
    QImage shown() const { return textView()->viewport()->grab().toImage(); }
    void scrollTo(int value) {
        textView()->verticalScrollBar()->setValue(value);
        QApplication::processEvents();
    }
};

} // namespace

TEST(IdleLineLayouts, OnlyLayoutsHoldingNothingAreFreedAndWhatTheOthersHoldStays) {
    QTextDocument document;
    document.setDocumentLayout(new LongLineDocumentLayout(&document));
    document.setPlainText(manyLines(6000));
    makeEveryLayout(document);

    QTextCharFormat red;
    red.setForeground(Qt::red);
    const QList<QTextLayout::FormatRange> colours{{0, 4, red}};
    document.findBlockByNumber(10).layout()->setFormats(colours);
    document.documentLayout()->blockBoundingRect(document.findBlockByNumber(20));
    document.findBlockByNumber(30).layout()->setCacheEnabled(true);
    document.findBlockByNumber(40).layout()->setPreeditArea(2, QStringLiteral("ni"));

    // In slices, as the view does it: each answers where the next starts.
    int released = 0;
    int next = 0;
    int slices = 0;
    while (next >= 0) {
        int freed = 0;
        next = IdleLineLayouts::releaseFrom(document, next, 1000, &freed);
        released += freed;
        ++slices;
        ASSERT_LE(slices, 7);
    }
    if (!IdleLineLayouts::canRelease()) {
        EXPECT_EQ(released, 0);
        GTEST_SKIP() << "this build uses Qt's public text layout only";
    }
    EXPECT_EQ(released, document.blockCount() - 4);

    EXPECT_EQ(document.findBlockByNumber(10).layout()->formats(), colours);
    EXPECT_GT(document.findBlockByNumber(20).layout()->lineCount(), 0);
    EXPECT_TRUE(document.findBlockByNumber(30).layout()->cacheEnabled());
    EXPECT_EQ(document.findBlockByNumber(40).layout()->preeditAreaText(), QStringLiteral("ni"));
    // A freed one asked for again is a fresh one, laid out like any other.
    const QTextBlock freed = document.findBlockByNumber(5000);
    ASSERT_NE(freed.layout(), nullptr);
    EXPECT_EQ(freed.layout()->lineCount(), 0);
    EXPECT_GT(document.documentLayout()->blockBoundingRect(freed).height(), 0);
    const QTextLayout* again = freed.layout();
    const QTextLine last = again->lineAt(again->lineCount() - 1);
    EXPECT_EQ(last.textStart() + last.textLength(), freed.length() - 1);
    // Nothing left to free: the one asked for again holds its lines now.
    EXPECT_EQ(IdleLineLayouts::releaseFrom(document, 0, INT_MAX, &released), -1);
    EXPECT_EQ(released, 0);
}

TEST(IdleLineLayouts, AShownTextLooksAndTypesTheSameOnceItsIdleLayoutsAreFreed) {
    const QString text = manyLines(IdleLineLayouts::kMinimumBlocks + 2000);
    ShownText shown(text);
    if (!IdleLineLayouts::canRelease())
        GTEST_SKIP() << "this build uses Qt's public text layout only";
    const int middle = shown.textView()->verticalScrollBar()->maximum() / 2;
    shown.scrollTo(middle);
    const QImage before = shown.shown();

    // Away from the middle, a new width and the old one again clear every block's lines: the
    // middle's layouts then hold nothing and are freed, and made again when it is shown.
    shown.scrollTo(0);
    shown.view->resize(500, 400);
    QApplication::processEvents();
    shown.view->resize(700, 400);
    QApplication::processEvents();
    QTRY_VERIFY_WITH_TIMEOUT(!shown.releaseDue(), 10000);
    ASSERT_EQ(shown.textView()->verticalScrollBar()->maximum() / 2, middle);
    shown.scrollTo(middle);
    EXPECT_EQ(shown.shown(), before);

    // A key goes into the text and the document.
    const int at = shown.textView()->cursorForPosition(QPoint(40, 40)).block().position();
    shown.textView()->activateWindow();
    shown.textView()->setFocus();
    QTextCursor cursor(shown.textView()->document());
    cursor.setPosition(at);
    shown.textView()->setTextCursor(cursor);
    QTest::keyClick(shown.textView(), Qt::Key_X);
    QApplication::processEvents();
    const QString typed = text.left(at) + QLatin1Char('x') + text.mid(at);
    EXPECT_EQ(shown.tab.text, typed);
    EXPECT_EQ(shown.textView()->document()->toPlainText(), typed);
}
