#include "RegexMatchComparison.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace dunmoss;
using namespace dunmoss::test;

TEST(RegexSurrogateHalvesTest, HalvesWrittenAloneMatchAsWithoutSkipping) {
    // ICU joins a written high half and the low half after it into one character, which a
    // quantifier on the low half then repeats whole; a half standing alone is compared with one
    // unit. The run skips read neither, so a pattern writing one is not skipped.
    const QString high(QChar(char16_t(0xD83D)));
    const QStringList patterns = {
        QStringLiteral("[\\uD83D]\\uDE00?+ab"),
        QStringLiteral("[\\uD83D]\\uDE00?ab"),
        QStringLiteral("[\\uD83D]\\uDE00*a+b"),
        QStringLiteral("[\\x{D83D}]\\uDE00{0,2}\\w+@"),
        QStringLiteral("x*[\\uD83D]\\uDE00?a"),
        QStringLiteral("\\w+[\\uD83D]\\uDE00?a"),
        QStringLiteral("a+[\\uD83D]\\uDE00?b"),
        QStringLiteral("[ab]+?\\uD83D\\uDE00?b"),
        QStringLiteral("[\\uDE00]\\uD83D?a"),
        high + QStringLiteral("\\uDE00?ab"),
        QStringLiteral("[") + high + QStringLiteral("]\\uDE00?ab"),
    };
    QRandomGenerator random(9);
    QStringList texts;
    for (int i = 0; i < 20; ++i)
        texts << supplementaryRichText(random, u"ab@x ", 200);
    for (const QString& pattern : patterns) {
        for (const IcuRegex::Options options : kBothCases) {
            const IcuRegex skipped(pattern, options);
            expectSameMatchesAsUnskipped(skipped, unskipped(pattern, options), pattern, options,
                                         texts);
        }
    }
}

TEST(RegexRegionBoundsTest, SkippedRunsInARegionSeeWhatItsBoundsShow) {
    // Shapes each run skip reads, beside look-around, boundaries and anchors that look past a
    // region's edges with transparent bounds, or stop at them with anchoring ones.
    const QStringList skippable = {
        QStringLiteral("a+b"),         QStringLiteral("\\w+@"),    QStringLiteral("x\\w+@"),
        QStringLiteral("(ab|c)\\w+@"), QStringLiteral("[a-c]+?x"), QStringLiteral("\\s*\\w+@"),
    };
    const QStringList around = {
        QStringLiteral("(?<=x)"),
        QStringLiteral("(?<!a)"),
        QStringLiteral("(?=@)"),
        QStringLiteral("(?!b)"),
        QStringLiteral("\\b"),
        QStringLiteral("\\B"),
        QStringLiteral("\\z"),
        QStringLiteral("\\Z"),
        QStringLiteral("$"),
        QStringLiteral("^"),
        QStringLiteral("(?m)^"),
        QStringLiteral("(?m)$"),
        QString(),
    };
    QRandomGenerator random(12);
    QStringList texts;
    for (int i = 0; i < 6; ++i)
        texts << supplementaryRichText(random, u"abcx@ \n", 160);
    for (const QString& shape : skippable) {
        for (const QString& before : around) {
            for (const QString& after : around) {
                const QString pattern = before + shape + after;
                for (const IcuRegex::Options options : kBothCases) {
                    const IcuRegex skipped(pattern, options);
                    const IcuRegex plain = unskipped(pattern, options);
                    for (const QString& text : texts) {
                        const qsizetype start = random.bounded(int(text.size() / 2));
                        const TextRange region{start, random.bounded(int(text.size() - start) + 1)};
                        for (const bool transparent : {false, true})
                            for (const bool anchoring : {false, true})
                                EXPECT_EQ(matchesIn(skipped, text, region, transparent, anchoring),
                                          matchesIn(plain, text, region, transparent, anchoring))
                                    << pattern.toStdString() << " region " << region.location << "+"
                                    << region.length << " transparent " << transparent
                                    << " anchoring " << anchoring;
                    }
                }
            }
        }
    }
}
