#include "EditorTestSupport.h"
#include "editor/CodeEditorCoordinator.h"
#include "editor/EditorServices.h"
#include "editor/LaidOutLines.h"
#include "editor/LongLineDocumentLayout.h"
#include "editor/PassSyntaxHighlighting.h"
#include "editor/PlainShaping.h"
#include "editor/ShortcutTextView.h"
#include "support/PaintedRegion.h"
#include "text/SyntaxColouring.h"

#include <QApplication>
#include <QGlyphRun>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QThreadPool>
#include <atomic>
#include <gtest/gtest.h>
#include <random>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

struct LongLineView {
    TextStorageRegistry registry;
    FakeTab tab;
    std::unique_ptr<CodeEditorView> view;

    explicit LongLineView(const QString& text,
                          EditorLanguage language = EditorLanguage::PlainText) {
        tab.text = text;
        CodeEditorProps props = propsFor(tab, registry);
        props.wordWrap = true;
        props.language = language;
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
QList<int> referenceLineStarts(const QString& text, const QFont& font, qreal width,
                               qreal tabStop = 0) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    if (tabStop > 0)
        option.setTabStopDistance(tabStop);
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

// The lines Qt alone makes of the view's first block, with the view's width, font and tabs.
QList<int> referenceFor(const LongLineView& v) {
    const QTextBlock block = v.firstBlock();
    return referenceLineStarts(block.text(), block.document()->defaultFont(),
                               block.layout()->lineAt(0).width(),
                               block.document()->defaultTextOption().tabStopDistance());
}

// The line starts of `starts` before `position`.
QList<int> startsBefore(QList<int> starts, int position) {
    starts.removeIf([&](int start) { return start >= position; });
    return starts;
}

// The lines from the start to a screen or two past `position` (where a key was typed), which
// are made at once; Qt's own and the view's, side by side.
std::pair<QList<int>, QList<int>> linesThrough(const QList<int>& shown, const QList<int>& reference,
                                               int position) {
    const qsizetype holding = std::max<qsizetype>(startsBefore(reference, position + 1).size(), 1);
    const qsizetype past = LongLineDocumentLayout::kRelaidAroundEdit / 2;
    const int end = reference.value(holding - 1 + past, INT_MAX);
    return {startsBefore(shown, end), startsBefore(reference, end)};
}

// Lines typed into a long line are made at once around the keys, and for the whole line aside
// after them: waits for those, repainting, however busy the machine.
bool linesSettle(const LongLineView& v) {
    const auto* layout =
        static_cast<const LongLineDocumentLayout*>(v.firstBlock().document()->documentLayout());
    // A block still without lines has no width to compare at.
    const auto settled = [&] {
        return !layout->showsStandInLines(v.firstBlock()) &&
               v.firstBlock().layout()->lineCount() > 0 && v.lineStarts() == referenceFor(v);
    };
    for (int i = 0; i < 1000 && !settled(); ++i) {
        QTest::qWait(10);
        v.view->textView()->viewport()->repaint();
    }
    return settled();
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

// Colours set again as they were read no character of the line; a character that needs shaping,
// typed where it changes no colour, still brings shaping back.
TEST(PlainShaping, ALineColouredAsBeforeKeepsShapingInStepWithItsText) {
    LongLineView v(codeLine(12'000));
    if (!fontDrawsLatinUnshaped(v.view->textView()->document()->defaultFont()))
        GTEST_SKIP() << "the editor font shapes Latin text differently unshaped";
    ASSERT_TRUE(v.skipsShaping());
    const QList<QTextLayout::FormatRange> before = v.formats();
    setBlockFormats(v.firstBlock(), {});
    EXPECT_EQ(v.formats(), before);

    v.view->textView()->moveCursor(QTextCursor::End);
    QKeyEvent alef(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("\u05D0"));
    QApplication::sendEvent(v.view->textView(), &alef);
    ASSERT_TRUE(v.tab.text.endsWith(QChar(0x05D0)));
    setBlockFormats(v.firstBlock(), {});
    EXPECT_FALSE(v.skipsShaping());
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

TEST(LongLineLayout, TypingIntoALongWordWrapsAtTheFirstOpportunityItMakes) {
    LongLineView v(QString(12'000, u'x') + QStringLiteral("\nq r"));
    ShortcutTextView* text = v.view->textView();
    const auto typeAt = [&](int position, const QString& keys) {
        QTextCursor cursor = text->textCursor();
        cursor.setPosition(position);
        text->setTextCursor(cursor);
        QTest::keyClicks(text, keys);
    };
    // Letters keep it one word; a hyphen, a blank or a joined line with a blank each give it an
    // opportunity.
    typeAt(6'000, QStringLiteral("ab"));
    ASSERT_TRUE(LongLineDocumentLayout::breaksNowhere(v.firstBlock()));
    EXPECT_TRUE(linesSettle(v));
    QTest::keyClicks(text, QStringLiteral("-"));
    ASSERT_FALSE(LongLineDocumentLayout::breaksNowhere(v.firstBlock()));
    EXPECT_TRUE(linesSettle(v));
    QTest::keyClick(text, Qt::Key_Backspace);
    ASSERT_TRUE(LongLineDocumentLayout::breaksNowhere(v.firstBlock()));
    EXPECT_TRUE(linesSettle(v));
    QTest::keyClicks(text, QStringLiteral(" "));
    EXPECT_TRUE(linesSettle(v));
    QTest::keyClick(text, Qt::Key_Backspace);
    EXPECT_TRUE(linesSettle(v));
    typeAt(v.firstBlock().next().position(), QString());
    QTest::keyClick(text, Qt::Key_Backspace);
    ASSERT_EQ(text->document()->blockCount(), 1);
    ASSERT_FALSE(LongLineDocumentLayout::breaksNowhere(v.firstBlock()));
    EXPECT_TRUE(linesSettle(v));
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

namespace {

// Where each line of a layout starts and stands, and how wide and tall it is.
struct LineGeometry {
    int start, length;
    qreal x, y, width, naturalWidth, height;
    bool operator==(const LineGeometry&) const = default;
};

QList<LineGeometry> lineGeometry(const QTextLayout* layout) {
    QList<LineGeometry> lines;
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        lines.append({line.textStart(), line.textLength(), line.x(), line.y(), line.width(),
                      line.naturalTextWidth(), line.height()});
    }
    return lines;
}

void showFor(LongLineView& v, FakeTab& tab, int fontSizeStep = 0) {
    CodeEditorProps props = propsFor(tab, v.registry);
    props.wordWrap = true;
    props.fontSize += fontSizeStep;
    v.view->update(props);
    QApplication::processEvents();
    v.view->textView()->viewport()->repaint();
}

} // namespace

TEST(LongLineLayout, KeptLinesComeBackOnlyForTheTextWidthFontAndFormatsTheyWereMadeFor) {
    if (!LaidOutLines::canKeep())
        GTEST_SKIP() << "built or running without the verified Qt text engine: no lines are kept";
    LongLineView v(codeLine(60'000));
    const QTextBlock block = v.firstBlock();
    const QTextLayout* layout = block.layout();
    const QList<LineGeometry> made = lineGeometry(layout);
    ASSERT_GT(made.size(), 100);
    const QTextOption option = layout->textOption();
    const qreal width =
        *static_cast<LongLineDocumentLayout*>(v.view->textView()->document()->documentLayout())
             ->wrapWidth();
    const LaidOutLines kept = LaidOutLines::of(block, width, option);

    // Cleared as a view clears them: the same lines come back.
    block.layout()->clearLayout();
    ASSERT_TRUE(kept.fit(block, width, option));
    kept.restoreInto(block);
    EXPECT_EQ(lineGeometry(layout), made);

    // Anything they were made from that differs refuses them.
    EXPECT_FALSE(kept.fit(block, width + 1, option));
    QTextOption tabs = option;
    tabs.setTabStopDistance(option.tabStopDistance() + 8);
    EXPECT_FALSE(kept.fit(block, width, tabs));
    QList<QTextLayout::FormatRange> formats = layout->formats();
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    block.layout()->setFormats(formats + QList<QTextLayout::FormatRange>{{10, 5, bold}});
    EXPECT_FALSE(kept.fit(block, width, option));
    // Other colours or another width: they may stand in while the right ones are made.
    EXPECT_TRUE(kept.standInFor(block, option));
    block.layout()->setFormats(formats);
    EXPECT_TRUE(kept.standInFor(block, option));
    EXPECT_FALSE(kept.standInFor(block, tabs));
    EXPECT_TRUE(kept.fit(block, width, option));
    QTextCursor cursor(v.view->textView()->document());
    cursor.setPosition(30'000);
    cursor.setPosition(30'001, QTextCursor::KeepAnchor);
    cursor.insertText(cursor.selectedText() == QStringLiteral("x") ? QStringLiteral("y")
                                                                   : QStringLiteral("x"));
    EXPECT_FALSE(kept.fit(block, width, option)); // same length, another text
    EXPECT_FALSE(kept.standInFor(block, option));
}

TEST(LongLineLayout, ALongLineShownAgainHasTheLinesQtMakesForItsTextWidthAndFont) {
    LongLineView v(codeLine(120'000));
    const QFont font = v.view->textView()->document()->defaultFont();
    const auto reference = [&] { return referenceFor(v); };
    const QTextLayout* layout = v.firstBlock().layout();
    const QList<LineGeometry> shown = lineGeometry(layout);
    ASSERT_GT(shown.size(), 100);

    // Away and back in the same view: the same layout, its lines taken back as they were.
    FakeTab other;
    other.text = QStringLiteral("other");
    showFor(v, other);
    showFor(v, v.tab);
    EXPECT_EQ(v.firstBlock().layout(), layout);
    EXPECT_EQ(lineGeometry(v.firstBlock().layout()), shown);

    // Narrower, then another font, then typing: broken anew each time.
    v.view->resize(500, 400);
    QApplication::processEvents();
    v.view->textView()->viewport()->repaint();
    EXPECT_NE(v.lineStarts(), QList<int>{});
    EXPECT_EQ(v.lineStarts(), reference());
    EXPECT_GT(v.lineStarts().size(), shown.size());
    showFor(v, other);
    showFor(v, v.tab, 6);
    EXPECT_NE(v.view->textView()->document()->defaultFont(), font);
    EXPECT_EQ(v.lineStarts(), reference());
    QTest::keyClicks(v.view->textView(), QStringLiteral("a wider start "));
    const auto [typed, qts] = linesThrough(v.lineStarts(), reference(), 14);
    EXPECT_EQ(typed, qts);
    EXPECT_TRUE(linesSettle(v));
}

// A long line changed while another tab was shown, to a text of the same length that wraps
// elsewhere: shown again, it is broken anew rather than given the lines kept for the old text.
TEST(LongLineLayout, ALongLineChangedToTheSameLengthWhileAwayIsBrokenAnewWhenShownAgain) {
    LongLineView v(codeLine(120'000));
    const QList<int> before = v.lineStarts();
    ASSERT_GT(before.size(), 100);
    FakeTab other;
    other.text = QStringLiteral("other");
    showFor(v, other);

    QString wide;
    while (wide.size() < 6'000)
        wide += QStringLiteral("WWWWWWW ");
    wide.truncate(6'000);
    const std::shared_ptr<TextStorage> storage = v.registry.textStorage(v.tab.id);
    storage->applyEdit(0, wide.size(), wide);
    v.tab.text = storage->text();
    ASSERT_EQ(v.tab.text.size(), 120'000);
    showFor(v, v.tab);

    EXPECT_EQ(v.firstBlock().text().left(wide.size()), wide);
    EXPECT_EQ(v.lineStarts(), referenceFor(v));
    EXPECT_NE(v.lineStarts(), before);
}

TEST(LongLineLayout, ADocumentPreparedForAViewsWidthShowsTheLinesTheViewWouldMake) {
    LongLineView v(QStringLiteral("short"));
    const TextStorage::Look look = v.registry.textStorage(v.tab.id)->look();
    ASSERT_GT(look.width, 0);
    FakeTab prepared;
    prepared.text = codeLine(150'000);
    auto storage = std::make_shared<TextStorage>(prepared.text,
                                                 TextStorage::prepareDocument(prepared.text, look));
    ASSERT_TRUE(v.registry.adoptTextStorage(prepared.id, storage));
    const auto* kept =
        static_cast<LongLineDocumentLayout*>(storage->primaryDocument()->documentLayout());
    EXPECT_EQ(kept->keptLineBlockCount(), LaidOutLines::canKeep() ? 1 : 0);
    showFor(v, prepared);
    const QList<LineGeometry> fromPrepared = lineGeometry(v.firstBlock().layout());

    // The same text filled and laid out by the view itself.
    FakeTab filled;
    filled.text = prepared.text;
    showFor(v, filled);
    ASSERT_GT(fromPrepared.size(), 100);
    EXPECT_EQ(lineGeometry(v.firstBlock().layout()), fromPrepared);
}

namespace {

// Waits (for at most ten seconds) until the view's first block has lines.
bool linesCame(LongLineView& v) {
    for (int i = 0; i < 1000 && v.firstBlock().layout()->lineCount() == 0; ++i) {
        QTest::qWait(10);
        v.view->textView()->viewport()->repaint();
    }
    return v.firstBlock().layout()->lineCount() > 0;
}

} // namespace

TEST(LongLineLayout, AVeryLongLineIsBrokenIntoLinesAsideAndShownWithTheLinesQtMakes) {
    const QString text = codeLine(LongLineDocumentLayout::kAsideLayoutLength + 40'000);
    FakeTab tab;
    tab.text = text;
    tab.selectedRange = {text.size() - 100, 0};
    tab.selectedRanges = {tab.selectedRange};
    LongLineView v(QStringLiteral("short"));
    showFor(v, tab);
    // Shown at once without lines; they come from the pool thread. Without kept lines it is laid
    // out at once instead.
    EXPECT_EQ(v.firstBlock().layout()->lineCount() == 0, LaidOutLines::canKeep());
    ASSERT_TRUE(linesCame(v));
    EXPECT_EQ(v.lineStarts(), referenceFor(v));
    // The caret asked for meanwhile is shown once they come.
    QApplication::processEvents();
    EXPECT_EQ(v.view->textView()->textCursor().position(), text.size() - 100);
    EXPECT_TRUE(
        v.view->textView()->viewport()->rect().contains(v.view->textView()->cursorRect().center()));
}

TEST(LongLineLayout, TypingBeforeTheLinesMadeAsideComeKeepsTheKeyAndLaysOutTheNewText) {
    LongLineView v(QStringLiteral("short"));
    FakeTab tab;
    tab.text = codeLine(LongLineDocumentLayout::kAsideLayoutLength + 10'000);
    showFor(v, tab);
    ASSERT_EQ(v.firstBlock().layout()->lineCount() == 0, LaidOutLines::canKeep());
    QTest::keyClicks(v.view->textView(), QStringLiteral("typed "));
    ASSERT_TRUE(linesCame(v));
    // Lines made for the text before the keys arrive and are not taken; those for the typed
    // text follow, however busy the machine.
    for (int i = 0; i < 1000 && v.lineStarts() != referenceFor(v); ++i) {
        QTest::qWait(10);
        v.view->textView()->viewport()->repaint();
    }
    EXPECT_TRUE(v.firstBlock().text().startsWith(QStringLiteral("typed ")));
    EXPECT_EQ(v.lineStarts(), referenceFor(v));

    // Typed into once it is shown, its lines moved by the keys stand in at once (it never
    // vanishes) until its own come; its text replaced, it is laid out again at once.
    QTest::keyClicks(v.view->textView(), QStringLiteral("more "));
    v.view->textView()->viewport()->repaint();
    ASSERT_GT(v.firstBlock().layout()->lineCount(), 0);
    const QTextLine lastLine =
        v.firstBlock().layout()->lineAt(v.firstBlock().layout()->lineCount() - 1);
    EXPECT_EQ(lastLine.textStart() + lastLine.textLength(), v.firstBlock().length() - 1);
    for (int i = 0; i < 1000 && v.lineStarts() != referenceFor(v); ++i) {
        QTest::qWait(10);
        v.view->textView()->viewport()->repaint();
        ASSERT_GT(v.firstBlock().layout()->lineCount(), 0);
    }
    EXPECT_EQ(v.lineStarts(), referenceFor(v));
    v.registry.textStorage(tab.id)->replaceAll(QStringLiteral("replaced ") + tab.text);
    v.view->textView()->viewport()->repaint();
    ASSERT_GT(v.firstBlock().layout()->lineCount(), 0);
    EXPECT_EQ(v.lineStarts(), referenceFor(v));
}

TEST(LongLineLayout, AVeryLongLineKeepsShowingItsLinesWhileThoseForANewWidthAreMadeAside) {
    LongLineView v(QStringLiteral("short"));
    FakeTab tab;
    tab.text = codeLine(LongLineDocumentLayout::kAsideLayoutLength + 20'000);
    showFor(v, tab);
    ASSERT_TRUE(linesCame(v));
    const QList<int> wide = v.lineStarts();

    v.view->resize(500, 400);
    QApplication::processEvents();
    v.view->textView()->viewport()->repaint();
    // Never without lines: the ones for the old width stand in until the new ones come.
    EXPECT_GT(v.firstBlock().layout()->lineCount(), 0);
    const QTextDocument* doc = v.view->textView()->document();
    const auto* layout = static_cast<const LongLineDocumentLayout*>(doc->documentLayout());
    const auto narrow = [&] {
        return referenceLineStarts(v.firstBlock().text(), doc->defaultFont(),
                                   *layout->wrapWidth() - 2 * doc->documentMargin(),
                                   doc->defaultTextOption().tabStopDistance());
    };
    for (int i = 0; i < 1000 && v.lineStarts() != narrow(); ++i) {
        QTest::qWait(10);
        v.view->textView()->viewport()->repaint();
        EXPECT_GT(v.firstBlock().layout()->lineCount(), 0);
    }
    EXPECT_EQ(v.lineStarts(), narrow());
    EXPECT_GT(v.lineStarts().size(), wide.size());
}

TEST(LongLineLayout, WordsTooLongForAnyLineAmongShortOnesWrapIntoTheLinesQtMakes) {
    std::mt19937 random(7);
    const auto word = [&](int length) {
        QString text;
        for (int i = 0; i < length; ++i)
            text += QChar(u'a' + char16_t(random() % 26));
        return text;
    };
    const QStringList separators{QStringLiteral(" "),  QStringLiteral("-"), QStringLiteral(", "),
                                 QStringLiteral("\t"), QStringLiteral("/"), QStringLiteral(".")};
    for (int round = 0; round < 6; ++round) {
        QString text;
        while (text.size() < 40'000) {
            const bool overlong = random() % 5 == 0;
            text += word(overlong ? 1'000 + int(random() % 9'000) : 1 + int(random() % 12));
            text += separators[int(random() % separators.size())];
        }
        LongLineView v(text);
        v.view->resize(300 + int(random() % 700), 400);
        QApplication::processEvents();
        v.view->textView()->viewport()->repaint();
        ASSERT_GT(v.firstBlock().layout()->lineCount(), 100) << round;
        EXPECT_EQ(v.lineStarts(), referenceFor(v)) << round;
        // Typed into: laid out again the same way, around the keys at once.
        QTest::keyClicks(v.view->textView(), QStringLiteral("typed"));
        v.view->textView()->viewport()->repaint();
        const auto [shown, qts] = linesThrough(v.lineStarts(), referenceFor(v),
                                               v.view->textView()->textCursor().position());
        EXPECT_EQ(shown, qts) << round;
        EXPECT_TRUE(linesSettle(v)) << round;
    }
}

// The tab closed (its view and storage let go) right after a key typed into a long shaped line,
// while the line's own lines are still to be made: its document is taken apart on a pool thread,
// and nothing of it is left to run on the window's thread.
TEST(LongLineLayout, ALongLineLetGoRightAfterAKeyLeavesNothingToRun) {
    QString text;
    for (int i = 0; text.size() < 40'000; ++i)
        text += i % 37 == 36 ? QStringLiteral("，") : QString(QChar(char16_t(0x4e00 + i % 500)));
    auto v = std::make_unique<LongLineView>(text);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("汉"));
    QApplication::sendEvent(v->view->textView(), &press);
    v->view->textView()->viewport()->repaint();
    QTextDocument* shown = v->view->textView()->document();
    const auto* layout = static_cast<LongLineDocumentLayout*>(shown->documentLayout());
    EXPECT_EQ(layout->showsStandInLines(v->firstBlock()), LaidOutLines::canKeep());
    QPointer<QTextDocument> document = shown;
    // A timer taken apart on another thread than its own stays behind, and Qt says so.
    static std::atomic<int> timersLeft;
    timersLeft = 0;
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& message) {
            if (message.contains(QStringLiteral("Timers cannot be stopped")))
                ++timersLeft;
        });
    v.reset();
    QThreadPool::globalInstance()->waitForDone();
    QTest::qWait(3 * LongLineDocumentLayout::kAsideAfterTypingMs);
    QThreadPool::globalInstance()->waitForDone();
    qInstallMessageHandler(previous);
    EXPECT_TRUE(document.isNull());
    EXPECT_EQ(timersLeft, 0);
}

TEST(LongLineLayout, KeysTypedIntoALongShapedLineShowAtOnceAndItsOwnLinesFollow) {
    QString text;
    for (int i = 0; text.size() < 40'000; ++i)
        text += i % 37 == 36 ? QStringLiteral("，") : QString(QChar(char16_t(0x4e00 + i % 500)));
    LongLineView v(text);
    ASSERT_GT(v.firstBlock().layout()->lineCount(), 100);
    ASSERT_EQ(v.lineStarts(), referenceFor(v));

    for (const QChar c : QStringLiteral("汉字")) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QString(c));
        QApplication::sendEvent(v.view->textView(), &press);
    }
    v.view->textView()->viewport()->repaint();
    // The keys show at once in the lines they moved, which cover the whole text...
    const auto* documentLayout =
        static_cast<LongLineDocumentLayout*>(v.view->textView()->document()->documentLayout());
    EXPECT_EQ(documentLayout->showsStandInLines(v.firstBlock()), LaidOutLines::canKeep());
    // Its own are not made yet while the keys are being shown: that would take the processor
    // from them.
    EXPECT_FALSE(documentLayout->makesLinesAside());
    const QTextLayout* layout = v.firstBlock().layout();
    ASSERT_GT(layout->lineCount(), 100);
    EXPECT_TRUE(v.firstBlock().text().startsWith(QStringLiteral("汉字")));
    const QTextLine last = layout->lineAt(layout->lineCount() - 1);
    EXPECT_EQ(last.textStart() + last.textLength(), v.firstBlock().length() - 1);
    // ...until the lines Qt makes for the new text come.
    EXPECT_TRUE(linesSettle(v));

    // An edit across the end of a line: the lines around it are made at once.
    const int boundary = v.lineStarts().at(5);
    QTextCursor cursor = v.view->textView()->textCursor();
    cursor.setPosition(boundary - 3);
    cursor.setPosition(boundary + 3, QTextCursor::KeepAnchor);
    v.view->textView()->setTextCursor(cursor);
    QTest::keyClick(v.view->textView(), Qt::Key_Delete);
    v.view->textView()->viewport()->repaint();
    const auto [shown, qts] = linesThrough(v.lineStarts(), referenceFor(v), boundary - 3);
    EXPECT_EQ(shown, qts);
    EXPECT_TRUE(linesSettle(v));
}

// Random edits of random sizes anywhere in long lines of words, of words too long for a line, of
// ideographs and of combining marks: right after each, the lines reach the end of the new text,
// and in plain Latin those from the start to well past the edit are the ones Qt makes for it;
// the rest follow.
TEST(LongLineLayout, RandomEditsShowTheLinesQtMakesAroundThemAtOnceAndEverywhereOnceSettled) {
    if (!LaidOutLines::canKeep())
        GTEST_SKIP() << "built or running without the verified Qt text engine: no lines are kept";
    std::mt19937 random(11);
    const auto pick = [&](const QStringList& from) { return from[int(random() % from.size())]; };
    const QList<QStringList> pieces{
        {QStringLiteral("word "), QStringLiteral("a "), QStringLiteral("longer-word, "),
         QStringLiteral("x\ty "), QStringLiteral("(call); ")},
        {QString(1500, u'q') + u' ', QStringLiteral("ab "), QStringLiteral("cd/")},
        {QStringLiteral("汉字"), QStringLiteral("文本，"), QStringLiteral("テキスト ")},
        {QStringLiteral("e\u0301a "), QStringLiteral("o\u0308"), QStringLiteral("n\u0303 ")},
    };
    for (qsizetype k = 0; k < pieces.size(); ++k) {
        const QStringList& kind = pieces[k];
        const bool plainLatin = k < 2;
        QString text;
        while (text.size() < LongLineDocumentLayout::kStandInLength + 4'000)
            text += pick(kind);
        LongLineView v(text);
        ASSERT_TRUE(linesSettle(v));
        for (int edit = 0; edit < 8; ++edit) {
            const int length = v.firstBlock().length() - 1;
            const int position = int(random() % length);
            const int removed =
                std::min(int(random() % 3 == 0 ? random() % 200 : random() % 3), length - position);
            QString added;
            for (int n = int(random() % 4); n > 0; --n)
                added += pick(kind);
            QTextCursor cursor(v.view->textView()->document());
            cursor.setPosition(position);
            cursor.setPosition(position + removed, QTextCursor::KeepAnchor);
            cursor.insertText(added);
            v.view->textView()->viewport()->repaint();
            const QList<int> starts = v.lineStarts();
            ASSERT_FALSE(starts.isEmpty());
            const QTextLayout* layout = v.firstBlock().layout();
            const QTextLine last = layout->lineAt(layout->lineCount() - 1);
            EXPECT_EQ(last.textStart() + last.textLength(), v.firstBlock().length() - 1) << edit;
            const auto [shown, qts] =
                linesThrough(starts, referenceFor(v), position + int(added.size()));
            if (plainLatin) {
                EXPECT_EQ(shown, qts) << edit << " at " << position;
            }
            ASSERT_TRUE(linesSettle(v)) << edit;
        }
    }
}

// The lines of every laid-out block of the view, next to those Qt's own plain-text view makes
// of the same text with the same font, options and width.
void expectQtsLinesInEveryLaidOutBlock(const LongLineView& v, const char* step) {
    const ShortcutTextView* view = v.view->textView();
    const QTextDocument* shown = view->document();
    QTextDocument reference;
    reference.setDefaultFont(shown->defaultFont());
    reference.setDefaultTextOption(shown->defaultTextOption());
    reference.setDocumentMargin(shown->documentMargin());
    reference.setPlainText(shown->toPlainText());
    auto* referenceLayout = new QPlainTextDocumentLayout(&reference);
    reference.setDocumentLayout(referenceLayout);
    QPlainTextEdit referenceView;
    referenceView.setDocument(&reference);
    referenceView.setWordWrapMode(shown->defaultTextOption().wrapMode());
    referenceView.setTabStopDistance(shown->defaultTextOption().tabStopDistance());
    referenceView.show();
    referenceView.resize(
        view->viewport()->width() + referenceView.width() - referenceView.viewport()->width(), 200);
    QApplication::processEvents();
    ASSERT_EQ(referenceView.viewport()->width(), view->viewport()->width()) << step;
    ASSERT_EQ(reference.blockCount(), shown->blockCount()) << step;
    int laidOut = 0;
    QTextBlock theirs = reference.firstBlock();
    for (QTextBlock ours = shown->firstBlock(); ours.isValid();
         ours = ours.next(), theirs = theirs.next()) {
        if (ours.layout()->lineCount() == 0)
            continue;
        ++laidOut;
        referenceLayout->blockBoundingRect(theirs);
        EXPECT_EQ(lineGeometry(ours.layout()), lineGeometry(theirs.layout()))
            << step << ", block " << ours.blockNumber();
        EXPECT_EQ(ours.lineCount(), theirs.lineCount()) << step << ", block " << ours.blockNumber();
    }
    EXPECT_GT(laidOut, 10) << step;
    // Wrapped, nothing is wider than the view.
    EXPECT_EQ(v.view->textView()->horizontalScrollBar()->maximum(), 0) << step;
}

TEST(LongLineLayout, ShortLinesOfAWrappingViewHaveTheLinesQtMakesAfterEveryKindOfEdit) {
    std::mt19937 random(11);
    QString text;
    for (int line = 0; line < 3'000; ++line) {
        const int words = int(random() % 30);
        for (int w = 0; w < words; ++w)
            text += QString(1 + int(random() % 9), QChar(u'a' + char16_t(random() % 26))) +
                    (random() % 7 == 0 ? QStringLiteral("\t") : QStringLiteral(" "));
        text += u'\n';
    }
    LongLineView v(text);
    v.view->resize(420, 400);
    QApplication::processEvents();
    v.view->textView()->viewport()->repaint();
    expectQtsLinesInEveryLaidOutBlock(v, "shown");

    // Typed into the first line (the widest one so far shrinks, then grows), then lines split
    // and joined, then the view narrower and scrolled down.
    QTextCursor cursor = v.view->textView()->textCursor();
    cursor.setPosition(0);
    v.view->textView()->setTextCursor(cursor);
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(v.view->textView(), Qt::Key_Delete);
    QTest::keyClicks(v.view->textView(), QStringLiteral("longer words typed at the very start"));
    v.view->textView()->viewport()->repaint();
    expectQtsLinesInEveryLaidOutBlock(v, "typed");
    QTest::keyClick(v.view->textView(), Qt::Key_Return);
    QTest::keyClick(v.view->textView(), Qt::Key_Down);
    QTest::keyClick(v.view->textView(), Qt::Key_Backspace);
    v.view->textView()->viewport()->repaint();
    expectQtsLinesInEveryLaidOutBlock(v, "split and joined");
    v.view->resize(260, 400);
    QApplication::processEvents();
    v.view->textView()->verticalScrollBar()->setValue(2'000);
    QApplication::processEvents();
    v.view->textView()->viewport()->repaint();
    expectQtsLinesInEveryLaidOutBlock(v, "narrower and scrolled");
}

// A key that takes a colour away from a long line standing in: its lines keep standing in,
// those around the key right at once, and once settled it has the lines Qt makes and the
// colours of a whole recolour.
TEST(LongLineLayout, AKeyThatRecoloursALongLineKeepsItsLinesUntilItsOwnComeInTheNewColours) {
    if (!LaidOutLines::canKeep())
        GTEST_SKIP() << "built or running without the verified Qt text engine: no lines are kept";
    QString text;
    while (text.size() < LongLineDocumentLayout::kStandInLength + 4'000)
        text += QStringLiteral("let total = count + 12; ");
    LongLineView v(text, EditorLanguage::Javascript);
    ASSERT_TRUE(linesSettle(v));
    // The colour ranges of the block, without those that only steer its shaping.
    const auto colours = [&] {
        QList<std::pair<int, int>> ranges;
        for (const QTextLayout::FormatRange& range : v.formats())
            if (range.format.hasProperty(QTextFormat::ForegroundBrush))
                ranges.append({range.start, range.length});
        return ranges;
    };
    const auto recoloured = [&] {
        QList<std::pair<int, int>> ranges;
        const QString now = v.firstBlock().text();
        for (const SyntaxStyleRun& run :
             syntaxStyleRuns(now, {0, now.size()}, EditorLanguage::Javascript))
            ranges.append({int(run.location), int(run.length)});
        return ranges;
    };
    ASSERT_EQ(colours().first(), (std::pair<int, int>{0, 3}));

    QTextCursor cursor = v.view->textView()->textCursor();
    cursor.setPosition(0);
    v.view->textView()->setTextCursor(cursor);
    QTest::keyClick(v.view->textView(), Qt::Key_X);
    const auto* layout =
        static_cast<const LongLineDocumentLayout*>(v.firstBlock().document()->documentLayout());
    EXPECT_TRUE(layout->showsStandInLines(v.firstBlock()));
    // Recoloured once the key is drawn.
    const auto& colouring =
        dynamic_cast<const PassSyntaxHighlighting&>(v.view->coordinator().highlighting());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !colouring.waitsForTheEditsRepaint(); }));
    EXPECT_TRUE(layout->showsStandInLines(v.firstBlock()));
    EXPECT_EQ(colours(), recoloured());
    EXPECT_NE(colours().first().first, 0);
    v.view->textView()->viewport()->repaint();
    const auto [shown, qts] = linesThrough(v.lineStarts(), referenceFor(v), 1);
    EXPECT_EQ(shown, qts);
    ASSERT_TRUE(linesSettle(v));
    EXPECT_EQ(colours(), recoloured());
}

// A key in a long line of plain Latin has the lines around it made at once, until they meet
// those it moved: the lines made aside once typing pauses are then the ones shown, and the view
// is not drawn again for them. Lines only moved by a key (shaped text) are drawn again when the
// line's own come.
TEST(LongLineLayout, LinesMadeAsideThatAreTheOnesShownAreNotDrawnAgain) {
    if (!LaidOutLines::canKeep())
        GTEST_SKIP() << "built or running without the verified Qt text engine: no lines are kept";
    // Whether the view was asked to draw again when the line's own lines came after a key.
    const auto drawnAgain = [](const QString& text, const QString& key) {
        LongLineView v(text);
        EXPECT_TRUE(linesSettle(v));
        auto* layout =
            static_cast<LongLineDocumentLayout*>(v.view->textView()->document()->documentLayout());
        QTextCursor cursor = v.view->textView()->textCursor();
        cursor.setPosition(5);
        v.view->textView()->setTextCursor(cursor);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, key);
        QApplication::sendEvent(v.view->textView(), &press);
        QApplication::processEvents();
        EXPECT_TRUE(layout->showsStandInLines(v.firstBlock()));
        QSignalSpy updates(layout, &QAbstractTextDocumentLayout::update);
        QSignalSpy came(layout, &LongLineDocumentLayout::linesMadeAside);
        EXPECT_TRUE(came.wait(10'000));
        EXPECT_FALSE(layout->showsStandInLines(v.firstBlock()));
        EXPECT_EQ(v.lineStarts(), referenceFor(v));
        return !updates.isEmpty();
    };
    LongLineView probe(codeLine(12'000));
    if (!fontDrawsLatinUnshaped(probe.view->textView()->document()->defaultFont()))
        GTEST_SKIP() << "the editor font shapes Latin text differently unshaped";
    EXPECT_FALSE(
        drawnAgain(codeLine(LongLineDocumentLayout::kStandInLength + 8'000), QStringLiteral("x")));
    QString ideographs;
    for (int i = 0; ideographs.size() < LongLineDocumentLayout::kStandInLength + 8'000; ++i)
        ideographs += QChar(char16_t(0x4e00 + i % 500));
    EXPECT_TRUE(drawnAgain(ideographs, QStringLiteral("汉")));
}

// A key typed into a long line repaints the lines it changed, not the whole view: every pixel a
// view drawn anew shows differently after the key lies in what was repainted.
TEST(LongLineLayout, AKeyRepaintsOnlyTheLinesItChangedAndEverythingThatLooksDifferent) {
    if (!LaidOutLines::canKeep())
        GTEST_SKIP() << "built or running without the verified Qt text engine: no lines are kept";
    QString ideographs;
    for (int i = 0; ideographs.size() < LongLineDocumentLayout::kStandInLength + 8'000; ++i)
        ideographs += QChar(char16_t(0x4e00 + i % 500));
    for (const auto& [text, key] :
         {std::pair{codeLine(LongLineDocumentLayout::kStandInLength + 8'000), QStringLiteral("x")},
          std::pair{ideographs, QStringLiteral("汉")}}) {
        LongLineView v(text);
        ASSERT_TRUE(linesSettle(v));
        ShortcutTextView* view = v.view->textView();
        QWidget* viewport = view->viewport();
        // A key, and a key typed over a selected character: no line starts or ends elsewhere.
        for (const int line : {3, 7}) {
            QTextCursor cursor = view->textCursor();
            cursor.setPosition(v.lineStarts().at(line) + 4);
            if (line == 7)
                cursor.setPosition(cursor.position() + 1, QTextCursor::KeepAnchor);
            view->setTextCursor(cursor);
            QApplication::processEvents();
            const QImage before = viewport->grab().toImage();
            QRegion painted;
            {
                PaintedRegion recorder(viewport);
                QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, key);
                QApplication::sendEvent(view, &press);
                for (int i = 0; i < 3; ++i)
                    QApplication::processEvents();
                painted = recorder.region;
            }
            const QImage after = viewport->grab().toImage();
            EXPECT_LT(painted.boundingRect().height(), viewport->height() / 3) << line;
            int outside = 0;
            for (int y = 0; y < after.height(); ++y)
                for (int x = 0; x < after.width(); ++x)
                    if (before.pixel(x, y) != after.pixel(x, y) && !painted.contains(QPoint(x, y)))
                        ++outside;
            EXPECT_EQ(outside, 0) << "line " << line;
            ASSERT_TRUE(linesSettle(v));
        }
    }
}
