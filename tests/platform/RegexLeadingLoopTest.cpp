// Skipping the rest of a run after a failed attempt, for patterns that begin with a loop or with
// a few one-character atoms (some optional, some behind assertions) and then a loop: checked
// against the same pattern behind an empty alternative, which is never skipped, over made-up and
// real texts.
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

// Whether the pattern was skipped at all, its matches compared with the unskipped run's.
bool expectSameMatches(const QString& pattern, IcuRegex::Options options,
                       const QStringList& texts) {
    const IcuRegex skipped(pattern, options);
    const IcuRegex plain = unskipped(pattern, options);
    EXPECT_FALSE(plain.skipsLeadingLoopRuns());
    expectSameMatchesAsUnskipped(skipped, plain, pattern, options, texts);
    return skipped.skipsLeadingLoopRuns();
}

bool expectSameMatches(const QString& pattern, IcuRegex::Options options, const QString& text) {
    return expectSameMatches(pattern, options, QStringList{text});
}

// Long runs of letters, digits and word characters, broken by what can end or begin a match,
// and by characters that fold to more or other than themselves.
QString runsText() {
    QString text;
    const QStringView breaks =
        u" x@y.Err\r\nor,;\u00DF\U0001F600-AB\r\r\nedE\u017Fs\uFB06\u212A\u0130-?.";
    for (int i = 0; i < 60; ++i) {
        text.append(QString(18 + i * 7 % 31, QChar(u"aAb9_eDrsS"[i % 10])));
        text.append(i % 3 ? QStringLiteral("Handed") : QStringLiteral("abcabErrerr"));
        text.append(breaks.sliced(i % 27, 4));
    }
    return text;
}

} // namespace

TEST(RegexLeadingLoopTest, AtomsBeforeTheLoopAreSkippedWithEveryMatchKept) {
    const QStringList patterns = {
        QStringLiteral("[A-Z][a-z]+ed\\b"),
        QStringLiteral("[A-Z]\\w+Error"),
        QStringLiteral("[A-Z]\\w+Err\\r?\\n?or"),
        QStringLiteral("\\d\\w*?_"),
        QStringLiteral(".[^,]*,"),
        QStringLiteral("[ab][a-z]++d"),
        QStringLiteral("e\\w+d"),
        QStringLiteral("H\\p{L}+(?=\\s)"),
        QStringLiteral("(?<n>[A-Z]\\d*)a"),
        QStringLiteral("(?:\\w[a-z]\\w\\w\\w\\w\\w\\w\\w+@)"),
        QStringLiteral("[^x].*\\n"),
        // Counted: "x{n}" is n atoms, "x{n,}" n - 1 atoms and a loop.
        QStringLiteral("[A-Z][a-z]{2,}ed\\b"),
        QStringLiteral("\\w{3}\\d+_"),
        QStringLiteral("[a-z]{0,}?y"),
        QStringLiteral("\\p{L}{2}[a-z]{4,}+r"),
        // Behind a look-behind, as whole-word searches wrap them.
        QStringLiteral("(?<![a-z])(?:[A-Z][a-z]+ed)(?![a-z])"),
        QStringLiteral("(?<=\\s)[a-z]\\w+r"),
        // Literals of several characters, folded or not.
        QStringLiteral("abc[a-z]+ed\\b"),
        QStringLiteral("Err\\w+x"),
        QStringLiteral("Err\\.?\\w+r"),
        QStringLiteral("\\-\\d+,"),
        // Behind other assertions.
        QStringLiteral("\\b[A-Z][a-z]+ed\\b"),
        QStringLiteral("(?=\\w)\\w+Error"),
        QStringLiteral("\\B\\w+@"),
        QStringLiteral("(?m)^\\w+:"),
        QStringLiteral("(?!a)[a-z]+ed\\b"),
        // Optional atoms and one-character alternatives.
        QStringLiteral("(a|b)\\w+X"),
        QStringLiteral("a?\\w+X"),
        QStringLiteral("-?\\d+\\.\\d+"),
        QStringLiteral("[+-]?[0-9a-f]+h\\b"),
        QStringLiteral("https?://\\S+"),
        QStringLiteral("\\d{1,3}[a-z]+?d"),
        QStringLiteral("(?:[A-Z]|_)??\\w*@"),
        // Bounded loops, over runs shorter and longer than their bound.
        QStringLiteral("[a-z]{2,20}ed\\b"),
        QStringLiteral("\\b\\w{1,9}?@"),
        QStringLiteral("([A-Z]\\w{0,30})(?:Error|d)"),
        QStringLiteral("\\S{1,3}[0-9a-f]{2}[a-z0-9]{1,25}x"),
    };
    const QString texts[] = {runsText(), realText(QStringLiteral("README.md")),
                             realText(QStringLiteral("tests/data/encoding-corpus/de.txt"))};
    for (const QString& pattern : patterns) {
        for (const auto options : kBothCases) {
            for (const QString& text : texts)
                EXPECT_TRUE(expectSameMatches(pattern, options, text)) << pattern.toStdString();
        }
    }
    // A match whose atoms begin inside the run and end past it.
    const IcuRegex straddling(QStringLiteral("\\w\\w\\d*b"));
    EXPECT_TRUE(straddling.skipsLeadingLoopRuns());
    EXPECT_EQ(straddling.matchRanges(u'a' + QString(30, u'7') + QStringLiteral("cb")),
              (std::vector<TextRange>{{30, 3}}));
    // Literal atoms: any when case matters.
    EXPECT_TRUE(expectSameMatches(QStringLiteral("aa\\w+x"), IcuRegex::NoOptions, runsText()));
}

TEST(RegexLeadingLoopTest, FoldedStringsSkipOnlyWhereEachUnitIsOneCharacter) {
    // Folded, "ss" matches "ß" and "st" matches "ﬆ": a string of ASCII literals may take fewer
    // units than it has characters, never more. "ß" matches "ss", so it is not skipped; a
    // literal under a quantifier takes one character at a time ("s+" never takes "ß").
    const IcuRegex::Options folded = IcuRegex::CaseInsensitive;
    EXPECT_FALSE(IcuRegex(QStringLiteral("\u00DF\\w+x"), folded).skipsLeadingLoopRuns());
    const QString s30 = QString(30, u's');
    const QStringList texts = {
        QStringLiteral("\u00DF") + s30 + u'x',
        QStringLiteral("s\u00DFs") + s30 + u'x',
        QStringLiteral("\u017Fs\uFB06") + s30 + QStringLiteral("\u00DF\u00DFx"),
        u'\u00DF' + s30 + QStringLiteral("\u00DF") + s30 + QStringLiteral("\u1E9Ex"),
        QStringLiteral("\u212Ak\u00DF\u00DFt") + s30 + QStringLiteral("tx ssst") + s30 + u'x',
    };
    for (const QString& pattern :
         {QStringLiteral("s[a-z]+x"), QStringLiteral("ss\\w+x"), QStringLiteral("(?i)ss\\w+x"),
          QStringLiteral("ssss\\w+x"), QStringLiteral("s\\wss\\w*x"), QStringLiteral("st\\w+x"),
          QStringLiteral("\\wss\\w\\w+x"), QStringLiteral("kk?s\\w+x"),
          QStringLiteral("s?s?s?s\\w+x"), QStringLiteral("[a-z]s+x"), QStringLiteral("s{2}\\w+x"),
          QStringLiteral("ss{1,3}t*x")}) {
        for (const QString& text : texts)
            EXPECT_TRUE(expectSameMatches(pattern, folded, text)) << pattern.toStdString();
    }
    // "ﬆ" takes the place of "st": the string is one unit shorter than itself.
    EXPECT_EQ(IcuRegex(QStringLiteral("st\\w+x"), folded)
                  .matchRanges(QStringLiteral("\uFB06") + s30 + QStringLiteral("x!")),
              (std::vector<TextRange>{{0, 32}}));
}

TEST(RegexLeadingLoopTest, ShapesWhoseStartCouldMatterAreNotSkipped) {
    for (const QString& pattern :
         {QStringLiteral("\\X\\w+x"), QStringLiteral("\\w{0}\\w+@"), QStringLiteral("[A-Z]\\w+|x"),
          QStringLiteral("([A-Z])\\w+\\1"), QStringLiteral("(a|b)\\w+\\1"),
          QStringLiteral("a\U0001F600\\w+x"), QStringLiteral("\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w+@"),
          QStringLiteral("([A-Z]\\w+)+x"),
          // A possessive optional atom cannot be left out where it matches.
          QStringLiteral("a?+\\w+x"), QStringLiteral("\\d{1,3}+\\w+x"),
          // Alternatives of different lengths, a look-ahead that captures, a bounded loop.
          QStringLiteral("(ab|c)\\w+x"), QStringLiteral("(?=(\\w))\\w+\\1"),
          QStringLiteral("(?=\\G)\\w+x"), QStringLiteral("[a-z]{2,200}+ed\\b"),
          QStringLiteral("[a-z]{2,200}(a)\\1"), QStringLiteral("\\w{2,9}"),
          QStringLiteral("\\w?\\w?\\w?\\w?\\w?\\w?\\w?\\w?\\w?\\w+@")}) {
        EXPECT_FALSE(IcuRegex(pattern).skipsLeadingLoopRuns()) << pattern.toStdString();
    }
}

TEST(RegexLeadingLoopTest, ADotThatTakesLineEndsKeepsTheMatchAfterACarriageReturn) {
    // A dot that matches line ends takes CR LF as one character, so the attempt before the CR
    // cannot stop between the two: the match that starts at the LF is still found.
    const QString text = QString(20, u'a') + QStringLiteral("\r\nfoo");
    const IcuRegex dotAll(QStringLiteral(".*\\nfoo"), IcuRegex::DotMatchesLineSeparators);
    EXPECT_TRUE(dotAll.skipsLeadingLoopRuns());
    EXPECT_EQ(dotAll.matchRanges(text), (std::vector<TextRange>{{21, 4}}));
    const IcuRegex afterAtom(QStringLiteral("(?s)[a\\r].*\\nfoo"));
    EXPECT_TRUE(afterAtom.skipsLeadingLoopRuns());
    EXPECT_EQ(afterAtom.matchRanges(text), (std::vector<TextRange>{{20, 5}}));
}

TEST(RegexLeadingLoopTest, RandomShapesMatchAsWithoutSkipping) {
    const QStringList leads = {QString(),
                               QString(),
                               QStringLiteral("\\b"),
                               QStringLiteral("\\B"),
                               QStringLiteral("(?=\\w)"),
                               QStringLiteral("(?!a)"),
                               QStringLiteral("(?<=\\s)"),
                               QStringLiteral("^"),
                               QStringLiteral("(?<!s)\\b")};
    const QStringList atoms = {
        QStringLiteral("[A-Z]"),     QStringLiteral("\\w"),    QStringLiteral("."),
        QStringLiteral("[^\\n]"),    QStringLiteral("a"),      QStringLiteral("\\d"),
        QStringLiteral("\\S"),       QStringLiteral("[a-c]"),  QStringLiteral("Err"),
        QStringLiteral("ss"),        QStringLiteral("st"),     QStringLiteral("k"),
        QStringLiteral("\\."),       QStringLiteral("-"),      QStringLiteral("(a|b)"),
        QStringLiteral("(?:\\d|_)"), QStringLiteral("\\p{So}")};
    const QStringList counts = {QString(),
                                QString(),
                                QString(),
                                QStringLiteral("{2}"),
                                QStringLiteral("?"),
                                QStringLiteral("??"),
                                QStringLiteral("{1,3}"),
                                QStringLiteral("{0,2}?")};
    const QStringList loops = {
        QStringLiteral("*"),      QStringLiteral("+"),       QStringLiteral("*?"),
        QStringLiteral("++"),     QStringLiteral("{2,}"),    QStringLiteral("{1,}?"),
        QStringLiteral("{2,12}"), QStringLiteral("{0,30}?"), QStringLiteral("{1,5}")};
    const QStringList rests = {
        QStringLiteral("b"),        QStringLiteral("ed\\b"),    QStringLiteral("\\n"),
        QStringLiteral("(?=\\s)"),  QStringLiteral("B\\d"),     QStringLiteral("$"),
        QStringLiteral("(a|b)\\1"), QStringLiteral("(?<=ab)c"), QStringLiteral("\\u00DF"),
        QStringLiteral("ss"),       QStringLiteral("t")};
    const QStringView alphabet = u"aAbBcC09_ \r\n\u00DF,.@ssedErrkst-\u017F\uFB06\u212A\u1E9E";
    QRandomGenerator random(34);
    QStringList texts = {realText(QStringLiteral("tests/data/encoding-corpus/fr.txt")),
                         realText(QStringLiteral("tests/data/encoding-corpus/de.txt")),
                         realText(QStringLiteral("src/platform/IcuRegex.h")).left(3000)};
    for (int t = 0; t < 20; ++t) {
        QString text;
        while (text.size() < 300) {
            const qsizetype run = random.bounded(1, 60);
            const QChar c = alphabet[random.bounded(int(alphabet.size()))];
            text.append(random.bounded(10) == 0 ? QStringLiteral("\U0001F600") : QString(run, c));
        }
        texts.append(text);
    }
    QRandomGenerator rich(4401);
    for (int t = 0; t < 10; ++t)
        texts.append(supplementaryRichText(rich, alphabet));
    const auto pick = [&random](const QStringList& list) {
        return list[random.bounded(int(list.size()))];
    };
    int skippedPatterns = 0;
    for (int p = 0; p < 160; ++p) {
        QString pattern = pick(leads);
        const int prefix = random.bounded(4);
        for (int a = 0; a < prefix; ++a)
            pattern += pick(atoms) + pick(counts);
        pattern += pick(atoms) + pick(loops) + pick(rests);
        if (random.bounded(4) == 0)
            pattern = QStringLiteral("(") + pattern + QStringLiteral(")");
        const auto options = kBothCases[random.bounded(2)];
        const auto dotAll =
            random.bounded(2) ? IcuRegex::DotMatchesLineSeparators : IcuRegex::NoOptions;
        const auto lines = random.bounded(2) ? IcuRegex::AnchorsMatchLines : IcuRegex::NoOptions;
        skippedPatterns += expectSameMatches(pattern, options | dotAll | lines, texts);
    }
    // Most shapes are skipped (not those with more than eight atoms or optional ones, nor a
    // bounded loop with a back-reference after it).
    EXPECT_GT(skippedPatterns, 140);
}

TEST(RegexLeadingLoopTest, ARestThatRunsAwayInItsOwnCheckStopsTheRunAtItsBound) {
    // The rest after a bounded loop is checked on its own ahead of the run: there it meets 40
    // "a" and a "!", catastrophic for "(a+)+$". The check counts against the run's bound and
    // ends it as the unskipped run ends, rather than running on unbounded.
    const QString text = QString(200, u'b') + QString(40, u'a') + u'!';
    for (const QString& pattern :
         {QStringLiteral("[a-z]{1,3}(a+)+$"), QStringLiteral("(?=(?:a+)+$|b)[a-z]{1,3}(a+)+$")}) {
        const IcuRegex regex(pattern, IcuRegex::NoOptions, RegexWorkBound{20, 1000});
        EXPECT_TRUE(regex.skipsLeadingLoopRuns()) << pattern.toStdString();
        try {
            regex.matchRanges(text);
            ADD_FAILURE() << "the run finished: " << pattern.toStdString();
        } catch (const RegexError& error) {
            EXPECT_TRUE(error.isTimeout()) << pattern.toStdString();
        }
    }
}

TEST(RegexLeadingLoopTest, LongRunsCostWorkInProportionToTheirLength) {
    // Twenty ticks of fixed allowance (a few scans of the whole run), then one per 1,000
    // characters passed: enough for a run that does a bounded amount of work per character, far
    // too little for one that rescans the rest of the run from every start.
    const RegexWorkBound bound{20, 1000};
    QString letters;
    QString hexDigits;
    QString digits;
    QString words;
    for (int i = 0; i < 50000; ++i) {
        letters.append(QChar(u'a' + i * 7 % 26));
        hexDigits.append(QChar(u"0123456789abcdef"[i * 5 % 16]));
        digits.append(QChar(u'0' + i * 7 % 10));
        words.append(i % 6 == 5 ? QChar(u' ') : letters.back());
    }
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
        {QStringLiteral("[A-Z][a-z]+ed\\b"), letters + QStringLiteral(" Handed"), {{50001, 6}}},
        {QStringLiteral("[A-Z]\\w+Error"), hexDigits + QStringLiteral(" IOError"), {{50001, 7}}},
        // A folded literal of several letters before the loop.
        {QStringLiteral("abc[a-z]+ed\\b"),
         repeated(u"abcd") + QStringLiteral(" abcHanded"),
         {{50001, 9}}},
        {QStringLiteral("Err\\w+x"), repeated(u"err") + QStringLiteral(" Err_x"), {{50001, 5}}},
        // Assertions before the atoms.
        {QStringLiteral("(?=\\w)\\w+Error"), letters + QStringLiteral(" IOError"), {{50001, 7}}},
        {QStringLiteral("(?!x)[a-z]+ed\\b"), letters + QStringLiteral(" Handed"), {{50001, 6}}},
        {QStringLiteral("\\B\\w+@"), letters + QStringLiteral(" xy@"), {{50002, 2}}},
        {QStringLiteral("\\b\\w.*zzz"), words + QStringLiteral(" zzq"), {}},
        // Optional atoms and one-character alternatives.
        {QStringLiteral("(a|b)\\w+X"), repeated(u"ab") + QStringLiteral(" abX"), {{50001, 3}}},
        {QStringLiteral("a?\\w+@"), letters + QStringLiteral(" q@"), {{50001, 2}}},
        {QStringLiteral("-?\\d+\\.\\d+"), digits + QStringLiteral(" -1.5"), {{50001, 4}}},
        {QStringLiteral("[+-]?[0-9a-f]+h\\b"), hexDigits + QStringLiteral(" 7fh"), {{50001, 3}}},
        // Bounded loops.
        {QStringLiteral("[a-z]{2,200}ed\\b"), letters + QStringLiteral(" handed"), {{50001, 6}}},
        {QStringLiteral("\\S{1,3}[0-9a-f]{2}[a-z0-9]{1,1000}x"), hexDigits, {}},
        {QStringLiteral("(?=\\w)[^ ]{3,500}@"), letters, {}},
    };
    for (const auto& c : cases) {
        expectSkippedWithinTheBoundAndUnskippedNot(c.pattern, c.text, c.expected, bound);
    }
}
