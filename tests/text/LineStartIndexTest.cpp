#include "text/LineStartIndex.h"
#include "text/WhitespaceMarks.h"

#include <QRandomGenerator>
#include <QString>
#include <gtest/gtest.h>

using namespace dunmoss;

TEST(LineStartIndex, OnlyLineFeedsStartLines) {
    // A carriage return and a paragraph separator (U+2029) at offsets 5 and 6.
    const QString text = QStringLiteral("ab\ncd\r\u2029ef\n");
    ASSERT_EQ(text.size(), 10);
    ASSERT_EQ(text.at(6), QChar(QChar::ParagraphSeparator));
    const LineStartIndex index(text);
    // The trailing line feed gives an empty last line.
    EXPECT_EQ(index.starts(), (QList<qsizetype>{0, 3, text.size()}));
    EXPECT_EQ(index.textLength(), text.size());
    EXPECT_EQ(index.lineNumberOfCharacter(0), 1);
    EXPECT_EQ(index.lineNumberOfCharacter(2), 1);
    EXPECT_EQ(index.lineNumberOfCharacter(3), 2);
    EXPECT_EQ(index.lineNumberOfCharacter(7), 2);
    EXPECT_EQ(index.lineNumberOfCharacter(text.size()), 3);
    EXPECT_EQ(index.lineNumberStartingAt(3), 2);
    EXPECT_EQ(index.lineNumberStartingAt(6), 0);
    EXPECT_EQ(index.lineNumberStartingAt(7), 0);
    EXPECT_EQ(index.lineStart(2), 3);
    EXPECT_EQ(index.lineStart(99), text.size());

    const LineStartIndex empty{QString()};
    EXPECT_EQ(empty.starts(), (QList<qsizetype>{0}));
    EXPECT_EQ(empty.lineNumberOfCharacter(5), 1);
}

TEST(LineStartIndex, EditsMoveSplitAndJoinLines) {
    QString text = QStringLiteral("one\ntwo\nthree");
    LineStartIndex index(text);
    // Joining two lines, then breaking one in two, then replacing across both.
    const auto edit = [&](qsizetype position, qsizetype length, const QString& inserted) {
        const QString removed = text.mid(position, length);
        text.replace(position, length, inserted);
        ASSERT_TRUE(index.applyEdit(position, removed, inserted));
        EXPECT_EQ(index.starts(), LineStartIndex(text).starts()) << qPrintable(text);
    };
    edit(3, 1, QString());
    EXPECT_EQ(index.lineCount(), 2);
    edit(2, 0, QStringLiteral("\n\n"));
    EXPECT_EQ(index.lineCount(), 4);
    edit(1, 6, QStringLiteral("x\ny"));
    edit(0, text.size(), QString());
    EXPECT_EQ(index.lineCount(), 1);
    // An edit past the end of the text indexed is refused and changes nothing.
    EXPECT_FALSE(index.applyEdit(1, QStringLiteral("a"), QString()));
    EXPECT_EQ(index.textLength(), 0);
}

// Thousands of lines span many chunks: removals across chunk borders, and edits before chunks
// that only move.
TEST(LineStartIndex, EditsAcrossManyChunksMatchAFreshIndex) {
    QString text;
    for (int line = 0; line < 3000; ++line)
        text += QString(line % 7, u'a') + u'\n';
    LineStartIndex index(text);
    QRandomGenerator random(20261208);
    for (int i = 0; i < 200; ++i) {
        const qsizetype position = random.bounded(int(text.size()) + 1);
        const qsizetype length =
            std::min<qsizetype>(random.bounded(i % 3 ? 8 : 3000), text.size() - position);
        const QString inserted = i % 4 ? QStringLiteral("x") : QStringLiteral("\nb\n");
        const QString removed = text.mid(position, length);
        text.replace(position, length, inserted);
        ASSERT_TRUE(index.applyEdit(position, removed, inserted));
        ASSERT_EQ(index.starts(), LineStartIndex(text).starts()) << i;
    }
    EXPECT_EQ(index.lineNumberOfCharacter(text.size()), text.count(u'\n') + 1);
}

TEST(LineStartIndex, DigitCounts) {
    EXPECT_EQ(decimalDigitCount(1), 1);
    EXPECT_EQ(decimalDigitCount(999), 3);
    EXPECT_EQ(decimalDigitCount(1000), 4);
    EXPECT_EQ(decimalDigitCount(99'999), 5);
}

TEST(WhitespaceMarks, IndentColumnsAndMarks) {
    EXPECT_EQ(leadingIndentColumns(u"        x", 4), 8);
    EXPECT_EQ(leadingIndentColumns(u"   x", 4), 3);
    EXPECT_EQ(leadingIndentColumns(u"\tx", 4), 4);
    EXPECT_EQ(leadingIndentColumns(u" \t x", 4), 6);
    EXPECT_EQ(leadingIndentColumns(u"\t", 0), 1);
    EXPECT_EQ(leadingIndentColumns(u"  \n  ", 4), 2);
    EXPECT_EQ(invisibleCharacterMark(u'\t'), QChar(0x2192));
    EXPECT_EQ(invisibleCharacterMark(u'\n'), QChar(0x21B5));
    EXPECT_EQ(invisibleCharacterMark(u'\r'), QChar(0x21B5));
    EXPECT_EQ(invisibleCharacterMark(u' '), QChar(0x00B7));
    EXPECT_FALSE(invisibleCharacterMark(QChar(0x00A0)).has_value());
    EXPECT_FALSE(invisibleCharacterMark(QChar(0x3000)).has_value());
    EXPECT_TRUE(containsSpaceOrTab(u"ab\tc"));
    EXPECT_FALSE(containsSpaceOrTab(u"abc\n"));
}
