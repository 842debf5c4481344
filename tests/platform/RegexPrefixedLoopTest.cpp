// Skipping the rest of a run after a failed attempt for patterns read as a prefix of any shape,
// a loop and a rest ("(ab|c)\w+@", "(ab)?\w+@", "\s*\w+@", ten atoms, folded "straße\w+"):
// checked against the same pattern behind an empty alternative, which is never skipped, over
// made-up and real texts, and against the work bound over long runs.
#include "platform/RegexPrefixedLoop.h"
#include "RegexMatchComparison.h"
#include "platform/IcuRegex.h"

#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <vector>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

// Whether the pattern has a reading that skips, its matches compared with the unskipped run's.
bool expectSameMatches(const QString& pattern, IcuRegex::Options options, const QStringList& texts,
                       RegexWorkBound bound = {}) {
    const IcuRegex skipped(pattern, options, bound);
    const IcuRegex plain = unskipped(pattern, options, bound);
    EXPECT_EQ(plain.prefixedLoopReadings(), 0);
    expectSameMatchesAsUnskipped(skipped, plain, pattern, options, texts, bound);
    return skipped.prefixedLoopReadings() > 0;
}

// Long runs of letters, digits and spaces, broken by what can end or begin a match, and by
// characters that fold to more or other than themselves.
QString runsText() {
    QString text;
    const QStringView breaks =
        u" x@y.c\r\nab,;\u00DF\U0001F600-AB\r\r\nedE\u017Fs\uFB06\u212A\u0130\u00E9\u00C9?.";
    for (int i = 0; i < 60; ++i) {
        text.append(QString(18 + i * 7 % 31, QChar(u"aAb9_cDrsS \u00E9"[i % 12])));
        text.append(i % 3 ? QStringLiteral("cabStrasse") : QStringLiteral("stra\u00DFeab c@"));
        text.append(breaks.sliced(i % 27, 4));
    }
    return text;
}

} // namespace

TEST(RegexPrefixedLoopTest, PrefixesOfAnyShapeAreSkippedWithEveryMatchKept) {
    const QStringList patterns = {
        // Alternatives of different lengths, optional groups of several characters.
        QStringLiteral("(ab|c)\\w+@"),
        QStringLiteral("(?:ab|c|)\\w*b"),
        QStringLiteral("(ab)?\\w+@"),
        QStringLiteral("(?:Str(?:a|ass)e)?\\w+x"),
        QStringLiteral("(a(b|cd)?){1,3}[a-z]+S"),
        // Loops before the loop, whose class the run must not hold.
        QStringLiteral("\\s*\\w+@"),
        QStringLiteral("\\s+\\w+@"),
        QStringLiteral("-*\\d+\\.?"),
        QStringLiteral("\\w*\\s+\\w+c"),
        QStringLiteral("[ ,]*(ab|c)\\s*[a-z]+e"),
        // More than eight atoms.
        QStringLiteral("\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w+@"),
        QStringLiteral("\\w?\\w?\\w?\\w?\\w?\\w?\\w?\\w?\\w?\\w+@"),
        QStringLiteral("[a-z]{12}\\w+@"),
        // Literals outside ASCII, folded or not.
        QStringLiteral("\u00E9\\w+@"),
        QStringLiteral("stra\u00DFe\\w+x"),
        QStringLiteral("\u00DF\\w+x"),
        QStringLiteral("\u0130\\w*S"),
        // Behind assertions and inside the group a whole-word search puts around them.
        QStringLiteral("\\b(ab|c)\\w+@"),
        QStringLiteral("(?<![a-z])(?:(ab|c)\\w+e)(?![a-z])"),
        QStringLiteral("((ab)?\\w+)b"),
    };
    const QStringList texts = {runsText(), realText(QStringLiteral("README.md")),
                               realText(QStringLiteral("tests/data/encoding-corpus/de.txt"))};
    for (const QString& pattern : patterns) {
        for (const auto options : kBothCases)
            EXPECT_TRUE(expectSameMatches(pattern, options, texts)) << pattern.toStdString();
    }
}

TEST(RegexPrefixedLoopTest, MatchesThatBeginBeforeTheRunOrReachItsEdgesAreKept) {
    const QString digits = QString(40, u'7');
    const IcuRegex uneven(QStringLiteral("(ab|c)\\d+x"), IcuRegex::CaseInsensitive);
    EXPECT_GT(uneven.prefixedLoopReadings(), 0);
    // The prefix's two letters before the run, then the loop over all of it.
    EXPECT_EQ(uneven.matchRanges(QStringLiteral("AB") + digits + u'x'),
              (std::vector<TextRange>{{0, 43}}));
    // A later start inside the run that only its own prefix reaches.
    EXPECT_EQ(uneven.matchRanges(QStringLiteral("ab") + digits + QStringLiteral("c7x")),
              (std::vector<TextRange>{{42, 3}}));
    // A loop before the loop takes what lies before the run.
    const IcuRegex spaced(QStringLiteral("\\s*\\w+@"));
    EXPECT_EQ(spaced.matchRanges(QStringLiteral("   ") + QString(40, u'q') + u'@'),
              (std::vector<TextRange>{{0, 44}}));
    EXPECT_EQ(spaced.matchRanges(QString(40, u'q') + QStringLiteral(" q@")),
              (std::vector<TextRange>{{40, 3}}));
    // "straße" folded matches "STRASSE", one unit longer than itself.
    const IcuRegex folded(QStringLiteral("stra\u00DFe\\w+x"), IcuRegex::CaseInsensitive);
    EXPECT_GT(folded.prefixedLoopReadings(), 0);
    EXPECT_EQ(folded.matchRanges(QStringLiteral("STRASSE") + QString(30, u'e') + u'x'),
              (std::vector<TextRange>{{0, 38}}));
    // A run that ends at the region's end: every start up to it ruled out, none past it tried.
    const QString text = QStringLiteral("ab") + QString(60, u'q') + QStringLiteral("@!");
    const IcuRegex optional(QStringLiteral("(ab)?\\w+@"));
    IcuRegexMatcher inside(optional, text, TextRange{0, 62});
    EXPECT_FALSE(inside.findNext());
    EXPECT_EQ(optional.matchRanges(text), (std::vector<TextRange>{{0, 63}}));
}

TEST(RegexPrefixedLoopTest, ShapesWhoseStartCouldMatterAreNotRead) {
    for (const QString& pattern :
         {QStringLiteral("(ab|c)\\w+\\1"), QStringLiteral("(ab)?+\\w+x"),
          QStringLiteral("(?>ab|c)\\w+x"), QStringLiteral("\\X\\w+x"),
          QStringLiteral("(ab|c)\\w+|x"), QStringLiteral("(ab|c)*\\w+x"),
          QStringLiteral("(?i:ab)\\w+x"), QStringLiteral("\\R\\w+x"), QStringLiteral("\\G\\w+x"),
          QStringLiteral("(?=\\G)a\\w+x"), QStringLiteral("(?x)(ab|c) \\w+x"),
          QStringLiteral("(ab|(c)\\w+)x"), QStringLiteral("(ab|c)\\w{2,9}x"),
          QStringLiteral("ab\\s*+\\w+x"), QStringLiteral("(?<n>ab|c)\\w+\\k<n>")}) {
        EXPECT_EQ(IcuRegex(pattern).prefixedLoopReadings(), 0) << pattern.toStdString();
    }
    // The units a prefix may take.
    const auto only = [](QStringView pattern, bool folds) {
        const auto readings = analysePrefixedLoops(pattern, folds);
        EXPECT_EQ(readings.size(), 1u) << pattern.toString().toStdString();
        return readings.empty() ? PrefixedLoop{} : readings.front();
    };
    const PrefixedLoop uneven = only(u"(ab|c)?[a-z]{2}\\w+@", true);
    EXPECT_EQ(uneven.prefix, QStringLiteral("(ab|c)?[a-z]{2}"));
    EXPECT_EQ(uneven.leastUnits, 2);
    EXPECT_EQ(uneven.mostUnits, 6);
    const PrefixedLoop sharp = only(u"\u00DF\\.x\\w+@", true);
    EXPECT_EQ(sharp.leastUnits, 0);
    EXPECT_EQ(sharp.mostUnits, 6);
    EXPECT_EQ(only(u"\u00DF\\.x\\w+@", false).leastUnits, 3);
    const auto spaced = analysePrefixedLoops(u"\\b\\s*\\w+@", false);
    ASSERT_EQ(spaced.size(), 2u);
    EXPECT_EQ(spaced[1].prefix, QStringLiteral("\\b\\s*"));
    EXPECT_EQ(spaced[1].prefixLoopClasses, QStringList{QStringLiteral("(?:\\s)")});
    EXPECT_EQ(spaced[1].loopClass, QStringLiteral("(?:\\w)"));
}

TEST(RegexPrefixedLoopTest, RandomShapesMatchAsWithoutSkipping) {
    const QStringList leads = {QString(), QString(), QStringLiteral("\\b"),
                               QStringLiteral("(?<=\\s)"), QStringLiteral("(?m)^")};
    const QStringList pieces = {
        QStringLiteral("(ab|c)"),  QStringLiteral("(?:ss|t)"),
        QStringLiteral("(ab)"),    QStringLiteral("\\w"),
        QStringLiteral("[a-c]"),   QStringLiteral("\u00DF"),
        QStringLiteral("\u00E9"),  QStringLiteral("Stra"),
        QStringLiteral("\\s"),     QStringLiteral("\\d"),
        QStringLiteral("."),       QStringLiteral("(a|b(c)?)"),
        QStringLiteral("\u017Ft"), QStringLiteral("\\."),
        QStringLiteral("[^a]"),    QStringLiteral("(?:\\w\\w)"),
        QStringLiteral("\\p{So}"), QStringLiteral("[\\x{1D400}-\\x{1D7FF}a]")};
    const QStringList counts = {QString(),
                                QString(),
                                QStringLiteral("?"),
                                QStringLiteral("??"),
                                QStringLiteral("{2}"),
                                QStringLiteral("{0,3}"),
                                QStringLiteral("*"),
                                QStringLiteral("+")};
    const QStringList loops = {QStringLiteral("\\w+"),     QStringLiteral("[a-z]*"),
                               QStringLiteral("\\d+?"),    QStringLiteral("\\S++"),
                               QStringLiteral("[^ ]{2,}"), QStringLiteral(".*")};
    const QStringList rests = {QStringLiteral("@"),      QStringLiteral("ed\\b"),
                               QStringLiteral("c"),      QStringLiteral("\\s"),
                               QStringLiteral("$"),      QStringLiteral("(?<=ab)c"),
                               QStringLiteral("\u00DF"), QStringLiteral("x|y")};
    const QStringView alphabet = u"aAbBcC09_ \r\n\u00DF\u00E9\u00C9,.@ssedStrkst-\u017F\uFB06";
    QRandomGenerator random(3402);
    QStringList texts = {realText(QStringLiteral("tests/data/encoding-corpus/de.txt")),
                         realText(QStringLiteral("src/platform/IcuRegex.h")).left(3000)};
    for (int t = 0; t < 16; ++t) {
        QString text;
        while (text.size() < 300) {
            const qsizetype run = random.bounded(1, 60);
            const QChar c = alphabet[random.bounded(int(alphabet.size()))];
            text.append(random.bounded(10) == 0 ? QStringLiteral("\U0001F600") : QString(run, c));
        }
        texts.append(text);
    }
    QRandomGenerator rich(4402);
    for (int t = 0; t < 10; ++t)
        texts.append(supplementaryRichText(rich, alphabet));
    const auto pick = [&random](const QStringList& list) {
        return list[random.bounded(int(list.size()))];
    };
    int read = 0;
    for (int p = 0; p < 200; ++p) {
        QString pattern = pick(leads);
        const int prefix = random.bounded(1, 5);
        for (int a = 0; a < prefix; ++a)
            pattern += pick(pieces) + pick(counts);
        pattern += pick(loops) + pick(rests);
        if (random.bounded(4) == 0)
            pattern = QStringLiteral("(?:") + pattern + QStringLiteral(")");
        const auto options = kBothCases[random.bounded(2)];
        const auto dotAll =
            random.bounded(2) ? IcuRegex::DotMatchesLineSeparators : IcuRegex::NoOptions;
        // Loops after loops over the same class backtrack badly in both runs: bounded.
        read += expectSameMatches(pattern, options | dotAll, texts, RegexWorkBound{30, 0});
    }
    // Most shapes have a reading (not those whose rest has an alternative outside a group).
    EXPECT_GT(read, 100);
}

TEST(RegexPrefixedLoopTest, LongRunsCostWorkInProportionToTheirLength) {
    // As for the leading loop: twenty ticks of fixed allowance, then one per 1,000 characters
    // passed, which only a run that rescans the rest of the run from every start exceeds.
    const RegexWorkBound bound{20, 1000};
    const auto repeated = [](QStringView piece) {
        QString text;
        while (text.size() < 50000)
            text.append(piece);
        text.truncate(50000);
        return text;
    };
    const struct {
        QString pattern;
        QString text;
        std::vector<TextRange> expected;
    } cases[] = {
        {QStringLiteral("(ab|c)\\w+@"), repeated(u"cab") + QStringLiteral(" abc@"), {{50001, 4}}},
        {QStringLiteral("(ab)?\\w+@"), repeated(u"abd") + QStringLiteral(" q@"), {{50001, 2}}},
        {QStringLiteral("\\s*\\w+@"), repeated(u"qwerty") + QStringLiteral(" q@"), {{50000, 3}}},
        {QStringLiteral("\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w+@"), repeated(u"qwerty"), {}},
        {QStringLiteral("\u00E9\\w+@"),
         repeated(u"\u00E9a") + QStringLiteral(" \u00C9t@"),
         {{50001, 3}}},
        {QStringLiteral("stra\u00DFe\\w+@"), repeated(u"strasse"), {}},
        {QStringLiteral("(?:(ab|c)\\s*\\w+@)"), QStringLiteral(" ") + repeated(u"cab"), {}},
    };
    for (const auto& c : cases) {
        expectSkippedWithinTheBoundAndUnskippedNot(c.pattern, c.text, c.expected, bound);
    }
}
