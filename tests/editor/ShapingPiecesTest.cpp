#include "editor/ShapingPieces.h"
#include "EditorTestSupport.h"
#include "editor/LongLineDocumentLayout.h"
#include "editor/ShortcutTextView.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QKeyEvent>
#include <QRawFont>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

// Latin with combining marks, Chinese with full-width punctuation, Japanese, Korean in syllables
// and in conjoining letters, a flag, an emoji with a skin tone and a variation sequence.
QString mixedText(qsizetype length) {
    const QString piece = QStringLiteral(
        "e\u0301a\u0308o 汉字文本，中文。カタカナ12とひらがな. 한국어(3) \u1100\u1161\u11A8 "
        "\U0001F1EF\U0001F1F5 \U0001F44D\U0001F3FD 葛\U000E0100 word ");
    QString text;
    while (text.size() < length)
        text += piece;
    return text;
}

// What Qt draws for each character, in the text's order: glyph, place and family.
struct Drawn {
    QList<quint32> glyphs;
    QList<QPointF> positions;
    QStringList families;
    QList<int> lineStarts;
    bool operator==(const Drawn&) const = default;
};

Drawn drawnBy(QTextLayout& layout, qreal width) {
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    Drawn drawn;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
        drawn.lineStarts.append(line.textStart());
    }
    layout.endLayout();
    for (int i = 0; i < layout.text().size(); ++i)
        for (const QGlyphRun& run : layout.glyphRuns(i, 1)) {
            drawn.glyphs += run.glyphIndexes();
            drawn.positions += run.positions();
            drawn.families += run.rawFont().familyName();
        }
    return drawn;
}

Drawn drawnAlone(const QString& text, const QFont& font, qreal width) {
    QTextLayout layout(text, font);
    return drawnBy(layout, width);
}

// Cut into pieces for `font`, drawn in `drawnIn` (the font or its bold).
Drawn drawnInPieces(const QString& text, const QFont& font, qreal width, const QFont& drawnIn) {
    QTextLayout layout(text, drawnIn);
    layout.setFormats(shapingPiecesOf(text, font));
    return drawnBy(layout, width);
}

// The editor's font.
QFont editorLikeFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(14);
    return font;
}

} // namespace

TEST(ShapingPieces, PiecesCoverTheTextAndNeverEndInsideACharacterOrBetweenJoinedOnes) {
    const QString text = mixedText(12'000) + QString(3'000, u'字') + QString(2'000, u'x');
    const QList<QTextLayout::FormatRange> pieces = shapingPiecesOf(text, editorLikeFont());
    ASSERT_GT(pieces.size(), 20);
    int next = 0;
    for (const QTextLayout::FormatRange& piece : pieces) {
        EXPECT_TRUE(isShapingPiece(piece));
        ASSERT_EQ(piece.start, next);
        ASSERT_GT(piece.length, 0);
        next = piece.start + piece.length;
        if (next == text.size())
            break;
        const QChar after = text.at(next);
        EXPECT_FALSE(after.isLowSurrogate()) << next;
        const char32_t c = after.isHighSurrogate()
                               ? QChar::surrogateToUcs4(after, text.at(next + 1))
                               : after.unicode();
        EXPECT_FALSE(QChar::isMark(c)) << next;
        EXPECT_FALSE(c >= 0x1160 && c <= 0x11FF) << next;   // a conjoining vowel or final
        EXPECT_FALSE(c >= 0x1F3FB && c <= 0x1F3FF) << next; // a skin tone
        EXPECT_FALSE(QChar::category(c) == QChar::Other_Format) << next;
    }
    EXPECT_EQ(next, text.size());
    // A run of ideographs is cut into pieces; one word with no place to end a piece is not.
    const auto holding = [&](int position) {
        return *std::find_if(pieces.cbegin(), pieces.cend(), [&](const auto& piece) {
            return piece.start <= position && position < piece.start + piece.length;
        });
    };
    EXPECT_LE(holding(int(text.size()) - 2'500).length, kShapingPieceLength);
    EXPECT_EQ(holding(int(text.size()) - 1).length, 2'000);
    // Short or plain texts have no pieces at all.
    EXPECT_TRUE(shapingPiecesOf(QString(5'000, u'x'), editorLikeFont()).isEmpty());
}

TEST(ShapingPieces, TextInPiecesIsDrawnWithTheGlyphsPlacesAndLinesOfTheWholeText) {
    const QFont font = editorLikeFont();
    for (const QString& text : {mixedText(20'000), QString(20'000, u'汉'),
                                QStringLiteral("e\u0301a\u0308o ").repeated(4'000)}) {
        for (qreal width : {300.0, 997.0}) {
            const Drawn alone = drawnAlone(text, font, width);
            const Drawn pieces = drawnInPieces(text, font, width, font);
            ASSERT_EQ(alone.glyphs.size(), pieces.glyphs.size());
            EXPECT_EQ(alone.lineStarts, pieces.lineStarts);
            EXPECT_TRUE(alone == pieces) << text.left(20).toStdString() << " at " << width;
            QFont bold = font;
            bold.setBold(true);
            EXPECT_TRUE(drawnAlone(text, bold, width) == drawnInPieces(text, font, width, bold));
        }
    }
}

TEST(ShapingPieces, KeysTypedIntoALongLineOfMarksAndIdeographsKeepItsPiecesAndClusters) {
    TextStorageRegistry registry;
    FakeTab tab;
    tab.text = mixedText(40'000);
    CodeEditorProps props = propsFor(tab, registry);
    props.wordWrap = true;
    CodeEditorView view(props);
    view.resize(700, 400);
    view.show();
    QApplication::processEvents();
    ShortcutTextView* textView = view.textView();
    const QTextBlock block = textView->document()->firstBlock();
    const auto piecesMatchText = [&] {
        const QList<QTextLayout::FormatRange> all = block.layout()->formats();
        QList<QTextLayout::FormatRange> pieces;
        for (const auto& range : all)
            if (isShapingPiece(range))
                pieces.append(range);
        return pieces == shapingPiecesOf(block.text(), textView->document()->defaultFont());
    };
    ASSERT_TRUE(piecesMatchText());

    // Typed at the start: a Latin letter, an ideograph, a base and its combining mark.
    QTextCursor cursor = textView->textCursor();
    cursor.setPosition(0);
    textView->setTextCursor(cursor);
    for (const QString& key : {QStringLiteral("a"), QStringLiteral("字"), QStringLiteral("e"),
                               QStringLiteral("\u0301")}) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, key);
        QApplication::sendEvent(textView, &press);
    }
    textView->viewport()->repaint();
    EXPECT_TRUE(block.text().startsWith(QStringLiteral("a字e\u0301e\u0301a")));
    EXPECT_TRUE(piecesMatchText());

    // The caret steps over whole clusters: a base with its mark, a flag, a syllable of letters.
    const auto stepsFrom = [&](int position) {
        QTextCursor at = textView->textCursor();
        at.setPosition(position);
        textView->setTextCursor(at);
        QTest::keyClick(textView, Qt::Key_Right);
        return textView->textCursor().position();
    };
    EXPECT_EQ(stepsFrom(2), 4); // e + U+0301 typed
    EXPECT_EQ(stepsFrom(4), 6); // e + U+0301 of the text
    const int jamo = int(block.text().indexOf(QChar(0x1100)));
    EXPECT_EQ(stepsFrom(jamo), jamo + 3);
    const int flag = int(block.text().indexOf(QChar(0xD83C)));
    EXPECT_EQ(stepsFrom(flag), flag + 4);
    // Left again, back over the typed mark and its base in one step.
    cursor.setPosition(4);
    textView->setTextCursor(cursor);
    QTest::keyClick(textView, Qt::Key_Left);
    EXPECT_EQ(textView->textCursor().position(), 2);

    // Once its own lines follow the keys, the caret stands where Qt alone puts it.
    const auto* documentLayout =
        static_cast<LongLineDocumentLayout*>(textView->document()->documentLayout());
    for (int i = 0; i < 1000 && documentLayout->showsStandInLines(block); ++i)
        QTest::qWait(10);
    textView->viewport()->repaint();
    ASSERT_FALSE(documentLayout->showsStandInLines(block));
    QTextLayout alone(block.text(), textView->document()->defaultFont());
    drawnBy(alone, block.layout()->lineAt(0).width());
    for (int position : {1, 2, 4, 7, 30, jamo + 3, flag + 4}) {
        const QTextLine shown = block.layout()->lineForTextPosition(position);
        const QTextLine reference = alone.lineForTextPosition(position);
        EXPECT_EQ(shown.textStart(), reference.textStart()) << position;
        int at = position;
        int again = position;
        EXPECT_EQ(shown.cursorToX(&at) - shown.x(), reference.cursorToX(&again)) << position;
    }
}
