#include "text/SelectionRanges.h"

#include <gtest/gtest.h>

using namespace dunmoss;

TEST(SelectionRanges, SanitizeKeepsValidDistinctRangesInOrder) {
    const QList<TextRange> ranges{{2, 0}, {5, 3}, {2, 0}};
    EXPECT_EQ(sanitizedSelectedRanges(ranges, 8), (QList<TextRange>{{2, 0}, {5, 3}}));
    EXPECT_EQ(sanitizedSelectedRanges(ranges, 7), (QList<TextRange>{{2, 0}}));
    EXPECT_TRUE(sanitizedSelectedRanges({}, 10).isEmpty());
    EXPECT_TRUE(sanitizedSelectedRanges({{11, 0}, {-1, 1}, {3, -1}}, 10).isEmpty());
    EXPECT_TRUE(sanitizedSelectedRanges({TextRange::notFound()}, 1'000'000).isEmpty());
    // A caret at the very end stays; nothing is reordered or clamped.
    EXPECT_EQ(sanitizedSelectedRanges({{10, 0}, {0, 10}, {4, 7}}, 10),
              (QList<TextRange>{{10, 0}, {0, 10}}));
    // Repeats after ascending ranges are found too, wherever they come.
    EXPECT_EQ(sanitizedSelectedRanges({{1, 0}, {3, 2}, {5, 0}, {3, 2}, {7, 1}, {1, 0}, {7, 1}}, 10),
              (QList<TextRange>{{1, 0}, {3, 2}, {5, 0}, {7, 1}}));
    // A huge length cannot wrap around.
    EXPECT_TRUE(
        sanitizedSelectedRanges({{5, std::numeric_limits<qsizetype>::max()}}, 10).isEmpty());
}

TEST(SelectionRanges, SelectedTextAndRange) {
    const QString text = QStringLiteral("hello");
    EXPECT_FALSE(selectedTextAndRange(text, {1, 0}).has_value());
    const auto whole = selectedTextAndRange(text, {0, 5});
    ASSERT_TRUE(whole.has_value());
    EXPECT_EQ(whole->first, text);
    EXPECT_EQ(whole->second, (TextRange{0, 5}));
    EXPECT_EQ(selectedTextAndRange(text, {1, 3})->first, QStringLiteral("ell"));
    EXPECT_FALSE(selectedTextAndRange(text, {3, 3}).has_value());
    EXPECT_FALSE(selectedTextAndRange(text, TextRange::notFound()).has_value());
}
