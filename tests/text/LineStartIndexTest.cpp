#include "text/LineStartIndex.h"
#include "text/WhitespaceMarks.h"

#include <QString>
#include <gtest/gtest.h>

using namespace dunmoss;

TEST(LineStartIndex, BuildsLazilyFromLineFeedsOnly) {
    LineStartIndex index;
    // A carriage return and a paragraph separator (U+2029) at offsets 5 and 6.
    const QString text = QStringLiteral("ab\ncd\r\u2029ef\n");
    ASSERT_EQ(text.size(), 10);
    ASSERT_EQ(text.at(6), QChar(QChar::ParagraphSeparator));
    index.bringUpToDate(text);
    // Only line feeds start lines; the trailing one gives an empty last line.
    EXPECT_EQ(index.starts, (QList<qsizetype>{0, 3, text.size()}));
    EXPECT_EQ(index.cachedLength, text.size());
    EXPECT_EQ(index.lineNumberOfCharacter(0), 1);
    EXPECT_EQ(index.lineNumberOfCharacter(2), 1);
    EXPECT_EQ(index.lineNumberOfCharacter(3), 2);
    EXPECT_EQ(index.lineNumberOfCharacter(7), 2);
    EXPECT_EQ(index.lineNumberOfCharacter(text.size()), 3);
    EXPECT_EQ(index.lineNumberStartingAt(3), 2);
    EXPECT_EQ(index.lineNumberStartingAt(6), 0);
    EXPECT_EQ(index.lineNumberStartingAt(7), 0);

    // Same length, new content: only a version bump makes it rebuild.
    const QString same = QStringLiteral("a\nbcdef\nij");
    ASSERT_EQ(same.size(), text.size());
    index.bringUpToDate(same);
    EXPECT_EQ(index.starts.size(), 3);
    EXPECT_EQ(index.starts[1], 3);
    ++index.contentVersion;
    index.bringUpToDate(same);
    EXPECT_EQ(index.starts, (QList<qsizetype>{0, 2, 8}));
    index.bringUpToDate(QString());
    EXPECT_EQ(index.starts, (QList<qsizetype>{0}));
    EXPECT_EQ(index.lineNumberOfCharacter(5), 1);
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
