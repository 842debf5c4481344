#include "text/SelectionRanges.h"

#include <gtest/gtest.h>
#include <random>

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

namespace {

// Kept ranges read one by one: those that fit, each first one of its kind, in their order.
QList<TextRange> fittingFirstOfEach(const QList<TextRange>& ranges, qsizetype length) {
    QList<TextRange> kept;
    for (const TextRange& range : ranges)
        if (!range.isNotFound() && range.location >= 0 && range.length >= 0 &&
            range.location <= length && range.length <= length - range.location &&
            !kept.contains(range))
            kept.append(range);
    return kept;
}

} // namespace

TEST(SelectionRanges, SanitizedListsInOrderOrNotMatchReadingRangeByRange) {
    std::mt19937 random(3);
    for (int round = 0; round < 400; ++round) {
        const qsizetype length = 50 + qsizetype(random() % 50);
        QList<TextRange> ranges;
        qsizetype at = 0;
        const int count = int(random() % 40);
        for (int i = 0; i < count; ++i) {
            // Mostly ascending, as every match selected at once is; now and then a repeat, a
            // step back, a range past the end or one that is not there.
            const int kind = int(random() % 12);
            if (kind == 0 && !ranges.isEmpty())
                ranges.append(ranges.last());
            else if (kind == 1)
                ranges.append({qsizetype(random() % length), qsizetype(random() % 3)});
            else if (kind == 2)
                ranges.append({length - 1, 5});
            else if (kind == 3)
                ranges.append(TextRange::notFound());
            else {
                at += qsizetype(random() % 4);
                ranges.append({at, qsizetype(random() % 3)});
            }
        }
        EXPECT_EQ(sanitizedSelectedRanges(ranges, length), fittingFirstOfEach(ranges, length))
            << "round " << round;
    }
    // Equal neighbours in an otherwise ascending list keep one.
    EXPECT_EQ(sanitizedSelectedRanges({{1, 1}, {4, 0}, {4, 0}, {6, 2}}, 10),
              (QList<TextRange>{{1, 1}, {4, 0}, {6, 2}}));
    // An ascending list whose last range runs past the end loses only that one.
    EXPECT_EQ(sanitizedSelectedRanges({{1, 1}, {4, 0}, {9, 2}}, 10),
              (QList<TextRange>{{1, 1}, {4, 0}}));
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
