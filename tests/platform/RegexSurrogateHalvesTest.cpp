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
