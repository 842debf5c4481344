#include "EditorTestSupport.h"
#include "editor/CodeEditorCoordinator.h"
#include "editor/EditorServices.h"
#include "editor/LongLineDocumentLayout.h"
#include "editor/PlainShaping.h"
#include "editor/ShortcutTextView.h"

#include <QApplication>
#include <QGlyphRun>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

struct LongLineView {
    TextStorageRegistry registry;
    FakeTab tab;
    std::unique_ptr<CodeEditorView> view;

    explicit LongLineView(const QString& text) {
        tab.text = text;
        CodeEditorProps props = propsFor(tab, registry);
        props.wordWrap = true;
        view = std::make_unique<CodeEditorView>(props);
        view->resize(700, 400);
        view->show();
        QApplication::processEvents();
    }
    QTextBlock firstBlock() const { return view->textView()->document()->firstBlock(); }
    QList<QTextLayout::FormatRange> formats() const { return firstBlock().layout()->formats(); }
    bool skipsShaping() const {
        const auto all = formats();
        return !all.isEmpty() && all.last().format.hasProperty(QTextFormat::FontStyleStrategy);
    }
    // Where each line of the first block starts, and where its first glyphs stand.
    QList<int> lineStarts() const {
        QList<int> starts;
        const QTextLayout* layout = firstBlock().layout();
        for (int i = 0; i < layout->lineCount(); ++i)
            starts.append(layout->lineAt(i).textStart());
        return starts;
    }
};

// The same text laid out by Qt alone, shaped and wrapped at word boundaries (anywhere only
// inside a word too long for a line), at the view's line width.
QList<int> referenceLineStarts(const QString& text, const QFont& font, qreal width) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QList<int> starts;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        starts.append(line.textStart());
    }
    layout.endLayout();
    return starts;
}

QList<QPointF> glyphPositions(const QTextLayout& layout) {
    QList<QPointF> positions;
    for (const QGlyphRun& run : layout.glyphRuns())
        positions += run.positions();
    return positions;
}

QString codeLine(qsizetype length) {
    QString text;
    while (text.size() < length)
        text += QStringLiteral("if (a[i] != b) { total += 0x1f; } // café -> ok\t");
    return text.left(length);
}

} // namespace

TEST(PlainShaping, OnlyLongLinesOfPlainLatinSkipShapingAndTheyKeepTheirGlyphs) {
    EXPECT_TRUE(isPlainLatin(u"tab\there, é ÿ ~"));
    EXPECT_FALSE(isPlainLatin(u"e\u0301"));      // a combining mark
    EXPECT_FALSE(isPlainLatin(u"a \U0001F600")); // an emoji
    EXPECT_FALSE(isPlainLatin(u"\u05D0"));       // right to left

    LongLineView v(codeLine(12'000));
    const QFont font = v.view->textView()->document()->defaultFont();
    if (!fontDrawsLatinUnshaped(font))
        GTEST_SKIP() << "the editor font shapes Latin text differently unshaped";
    EXPECT_TRUE(v.skipsShaping());

    // The same glyphs at the same places as shaped, the colours kept in front of the range.
    QTextLayout shaped(v.firstBlock().text(), font);
    shaped.beginLayout();
    shaped.createLine();
    shaped.endLayout();
    QTextLayout unshaped(v.firstBlock().text(), font);
    unshaped.setFormats(withPlainShaping(v.firstBlock(), {}));
    unshaped.beginLayout();
    unshaped.createLine();
    unshaped.endLayout();
    EXPECT_EQ(glyphPositions(shaped), glyphPositions(unshaped));
    QTextLayout::FormatRange colour{0, 2, {}};
    colour.format.setForeground(Qt::red);
    setBlockFormats(v.firstBlock(), {colour});
    ASSERT_EQ(v.formats().size(), 2);
    EXPECT_EQ(v.formats().first().format.foreground().color(), QColor(Qt::red));
    EXPECT_TRUE(v.skipsShaping());

    // A character that needs shaping, or a line cut short, brings shaping back.
    QKeyEvent alef(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("\u05D0"));
    QApplication::sendEvent(v.view->textView(), &alef);
    ASSERT_TRUE(v.tab.text.endsWith(QChar(0x05D0)) || v.tab.text.startsWith(QChar(0x05D0)));
    EXPECT_FALSE(v.skipsShaping());
    LongLineView shortLine(codeLine(9'000));
    EXPECT_FALSE(shortLine.skipsShaping());
}

TEST(LongLineLayout, AWordTooLongForAnyLineWrapsIntoTheSameLinesAsBefore) {
    LongLineView v(QString(12'000, u'x') + QStringLiteral("yz"));
    ASSERT_TRUE(LongLineDocumentLayout::breaksNowhere(v.firstBlock()));
    const QTextLayout* layout = v.firstBlock().layout();
    ASSERT_GT(layout->lineCount(), 10);
    const QFont font = v.view->textView()->document()->defaultFont();
    EXPECT_EQ(v.lineStarts(),
              referenceLineStarts(v.firstBlock().text(), font, layout->lineAt(0).width()));
    // Typing lays it out the same way again; the document keeps its own wrap mode.
    QTest::keyClicks(v.view->textView(), QStringLiteral("ab"));
    EXPECT_EQ(v.lineStarts(),
              referenceLineStarts(v.firstBlock().text(), font, layout->lineAt(0).width()));
    EXPECT_EQ(v.view->textView()->document()->defaultTextOption().wrapMode(),
              QTextOption::WrapAtWordBoundaryOrAnywhere);

    // One opportunity anywhere in the line keeps the word-boundary wrap.
    LongLineView broken(QString(6'000, u'x') + QStringLiteral(" ") + QString(6'000, u'x'));
    EXPECT_FALSE(LongLineDocumentLayout::breaksNowhere(broken.firstBlock()));
    LongLineView hyphened(QString(6'000, u'x') + QStringLiteral("-") + QString(6'000, u'x'));
    EXPECT_FALSE(LongLineDocumentLayout::breaksNowhere(hyphened.firstBlock()));
    const QTextLayout* words = hyphened.firstBlock().layout();
    EXPECT_EQ(hyphened.lineStarts(),
              referenceLineStarts(hyphened.firstBlock().text(), font, words->lineAt(0).width()));
}

TEST(LongLineLayout, ANewLongTextWaitsForTheViewAndThenScrollsThroughAllItsLines) {
    LongLineView v(QStringLiteral("short"));
    const QString text = codeLine(200'000);
    v.view->textView()->document()->firstBlock().layout()->clearLayout();
    v.tab.text = text;
    CodeEditorProps props = propsFor(v.tab, v.registry);
    v.view->update(props);
    // Laid out for the view's width once it is shown, with the scroll range of every line.
    QApplication::processEvents();
    v.view->textView()->viewport()->repaint();
    const QTextLayout* layout = v.firstBlock().layout();
    ASSERT_GT(layout->lineCount(), 1000);
    EXPECT_GE(v.view->textView()->verticalScrollBar()->maximum(), layout->lineCount() - 40);
    QTest::keyClick(v.view->textView(), Qt::Key_End, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(v.view->textView()->textCursor().position(), text.size());
    const QRect caret = v.view->textView()->cursorRect();
    EXPECT_TRUE(v.view->textView()->viewport()->rect().contains(caret.center()));

    // Away to another tab and back: wrapped at the view's width again, the caret still shown.
    const int lines = layout->lineCount();
    FakeTab other;
    other.text = QStringLiteral("other");
    v.view->update(propsFor(other, v.registry));
    v.view->update(propsFor(v.tab, v.registry));
    QApplication::processEvents();
    v.view->textView()->viewport()->repaint();
    EXPECT_EQ(v.firstBlock().layout()->lineCount(), lines);
    EXPECT_TRUE(
        v.view->textView()->viewport()->rect().contains(v.view->textView()->cursorRect().center()));
}

TEST(LongLineLayout, AViewBuiltBeforeItIsShownLaysItsLongLineOutOnlyAtTheWidthItIsShownAt) {
    TextStorageRegistry registry;
    FakeTab tab;
    tab.text = codeLine(200'000);
    tab.selectedRange = {150'000, 0};
    tab.selectedRanges = {tab.selectedRange};
    CodeEditorProps props = propsFor(tab, registry);
    props.wordWrap = true;
    props.language = EditorLanguage::Javascript;
    CodeEditorView view(props);
    const QTextBlock block = view.textView()->document()->firstBlock();
    // Built at a width of its own, the view asks where its caret and visible lines are: the
    // line waits instead of being laid out at that width.
    EXPECT_EQ(block.layout()->lineCount(), 0);

    view.resize(700, 400);
    view.show();
    // By the time it is shown: wrapped at the shown width, coloured as a run now colours it,
    // and the caret put while it was built is in view.
    const QTextLayout* layout = block.layout();
    ASSERT_GT(layout->lineCount(), 1000);
    EXPECT_EQ(layout->lineAt(0).textStart(), 0);
    const QFont font = view.textView()->document()->defaultFont();
    QList<int> starts;
    for (int i = 0; i < layout->lineCount(); ++i)
        starts.append(layout->lineAt(i).textStart());
    EXPECT_EQ(starts, referenceLineStarts(block.text(), font, layout->lineAt(0).width()));
    const QList<QTextLayout::FormatRange> coloured = layout->formats();
    EXPECT_GT(coloured.size(), 1);
    view.coordinator().highlighting().applyHighlighting();
    EXPECT_EQ(block.layout()->formats(), coloured);
    EXPECT_EQ(view.textView()->textCursor().position(), 150'000);
    EXPECT_TRUE(
        view.textView()->viewport()->rect().contains(view.textView()->cursorRect().center()));
}
