#include "text/BracketMatching.h"

#include <gtest/gtest.h>

using namespace dunmoss;

namespace {
QList<TextRange> marks(const char16_t* text, qsizetype caret, qsizetype length = 0) {
    return bracketHighlightRanges(QStringView(text), TextRange{caret, length});
}
} // namespace

TEST(BracketMatching, PartnerOfEachKindForwardAndBackward) {
    const QString text = QStringLiteral("f(a[1], {b}) ]");
    EXPECT_EQ(matchingBracketLocation(1, text), 11);
    EXPECT_EQ(matchingBracketLocation(11, text), 1);
    EXPECT_EQ(matchingBracketLocation(3, text), 5);
    EXPECT_EQ(matchingBracketLocation(8, text), 10);
    EXPECT_EQ(matchingBracketLocation(13, text), std::nullopt); // unbalanced ]
    EXPECT_EQ(matchingBracketLocation(0, text), std::nullopt);  // not a bracket
    EXPECT_EQ(matchingBracketLocation(-1, text), std::nullopt);
    EXPECT_EQ(matchingBracketLocation(text.size(), text), std::nullopt);
    // Other kinds do not disturb the count.
    EXPECT_EQ(matchingBracketLocation(0, u"(])"), 2);
    EXPECT_EQ(matchingBracketLocation(0, u"(()"), std::nullopt);
    EXPECT_EQ(matchingBracketLocation(1, u"())"), 0);
    EXPECT_EQ(matchingBracketLocation(2, u"())"), std::nullopt);
}

TEST(BracketMatching, CaretRules) {
    // Caret just after ")" followed by a letter: matched backward.
    EXPECT_EQ(marks(u"(a)b", 3), (QList<TextRange>{{2, 1}, {0, 1}}));
    // Between ")" and "(": the "(" at the caret wins.
    EXPECT_EQ(marks(u"(a)(b)", 3), (QList<TextRange>{{3, 1}, {5, 1}}));
    // At the very end just after "}".
    EXPECT_EQ(marks(u"{x}", 3), (QList<TextRange>{{2, 1}, {0, 1}}));
    // A bracket at the caret without partner falls back to the one before.
    EXPECT_EQ(marks(u"()(", 2), (QList<TextRange>{{1, 1}, {0, 1}}));
    // Two opening parentheses, a letter, two closing ones: caret before the first.
    EXPECT_EQ(marks(u"((a))", 0), (QList<TextRange>{{0, 1}, {4, 1}}));
    EXPECT_TRUE(marks(u"(a)", 0, 1).isEmpty()); // a selection marks nothing
    EXPECT_TRUE(marks(u"((a", 0).isEmpty());    // unmatched
    EXPECT_TRUE(marks(u"", 0).isEmpty());
    EXPECT_TRUE(bracketHighlightRanges(u"()", TextRange::notFound()).isEmpty());
}

TEST(BracketMatching, SizeLimit) {
    QString text(kBracketMatchingMaxLength, u'x');
    text[0] = u'(';
    text[text.size() - 1] = u')';
    EXPECT_EQ(bracketHighlightRanges(text, TextRange{0, 0}).size(), 2);
    text.append(u' ');
    EXPECT_TRUE(bracketHighlightRanges(text, TextRange{0, 0}).isEmpty());
}
