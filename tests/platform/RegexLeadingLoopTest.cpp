// Skipping the rest of a run after a failed attempt, for patterns that begin with a loop or with
// a few one-character atoms and then a loop: checked against the same pattern behind an empty
// alternative, which is never skipped, over made-up and real texts.
#include "platform/IcuRegex.h"

#include <QFile>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <vector>

using namespace dunmoss;

namespace {

const IcuRegex::Options kBothCases[] = {IcuRegex::Options(IcuRegex::NoOptions),
                                        IcuRegex::Options(IcuRegex::CaseInsensitive)};

// The matches, or the error's name when the run stopped.
struct Found {
    std::vector<TextRange> ranges;
    QString error;
    friend bool operator==(const Found&, const Found&) = default;
};

Found matchesIn(const IcuRegex& regex, const QString& text, TextRange region) {
    Found found;
    try {
        IcuRegexMatcher matcher(regex, text, region);
        while (matcher.findNext())
            found.ranges.push_back(matcher.range());
    } catch (const RegexError& error) {
        found.error = error.icuMessage();
    }
    return found;
}

// Compares the skipped and the unskipped run over the whole text and inside a region; returns
// whether the pattern was skipped at all.
bool expectSameMatches(const QString& pattern, IcuRegex::Options options, const QString& text) {
    const IcuRegex skipped(pattern, options);
    const IcuRegex plain(QStringLiteral("(?:") + pattern + QStringLiteral(")|(?!)"), options);
    EXPECT_FALSE(plain.skipsLeadingLoopRuns());
    const qsizetype inset = std::min<qsizetype>(7, text.size() / 2);
    for (const TextRange region :
         {TextRange{0, text.size()}, TextRange{inset, text.size() - 2 * inset}}) {
        EXPECT_EQ(matchesIn(skipped, text, region), matchesIn(plain, text, region))
            << pattern.toStdString() << " case-insensitive "
            << bool(options & IcuRegex::CaseInsensitive) << " region " << region.location;
    }
    return skipped.skipsLeadingLoopRuns();
}

// Long runs of letters, digits and word characters, broken by what can end or begin a match.
QString runsText() {
    QString text;
    const QStringView breaks = u" x@y.Err\r\nor,;\u00DF\U0001F600-AB\r\r\nedE";
    for (int i = 0; i < 40; ++i) {
        text.append(QString(18 + i * 7 % 31, QChar(u"aAb9_eDr"[i % 8])));
        text.append(QStringLiteral("Handed"));
        text.append(breaks.sliced(i % 20, 4));
    }
    return text;
}

QString realText(const QString& relativePath) {
    QFile file(QStringLiteral(DUNMOSS_SOURCE_DIR "/") + relativePath);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << relativePath.toStdString();
    return QString::fromUtf8(file.readAll());
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

TEST(RegexLeadingLoopTest, AtomsThatCouldTakeMoreOrLessThanOneCharacterAreNotSkipped) {
    // Folded, "ss" matches "ß" and "ß" matches "ss"; a lone ASCII letter matches one character.
    const IcuRegex::Options folded = IcuRegex::CaseInsensitive;
    EXPECT_FALSE(IcuRegex(QStringLiteral("ss\\w+x"), folded).skipsLeadingLoopRuns());
    EXPECT_FALSE(IcuRegex(QStringLiteral("(?i)ss\\w+x")).skipsLeadingLoopRuns());
    EXPECT_FALSE(IcuRegex(QStringLiteral("\u00DF\\w+x"), folded).skipsLeadingLoopRuns());
    EXPECT_FALSE(IcuRegex(QStringLiteral("[a-z]s+x"), folded).skipsLeadingLoopRuns());
    EXPECT_TRUE(IcuRegex(QStringLiteral("s\\w+x"), folded).skipsLeadingLoopRuns());
    EXPECT_TRUE(IcuRegex(QStringLiteral("ss\\w+x")).skipsLeadingLoopRuns());
    EXPECT_TRUE(expectSameMatches(QStringLiteral("s[a-z]+x"), folded,
                                  QStringLiteral("\u00DF") + QString(30, u's') + u'x'));
    for (const QString& pattern :
         {QStringLiteral("[A-Z]?\\w+"), QStringLiteral("[A-Z]{2,3}\\w+"),
          QStringLiteral("\\X\\w+x"), QStringLiteral("\\w{9}\\w+@"), QStringLiteral("\\w{0}\\w+@"),
          QStringLiteral("\\d{2}?\\w+"), QStringLiteral("\\b[A-Z]\\w+"),
          QStringLiteral("[A-Z]\\w+|x"), QStringLiteral("([A-Z])\\w+\\1"),
          QStringLiteral("a\U0001F600\\w+x"), QStringLiteral("\\w\\w\\w\\w\\w\\w\\w\\w\\w\\w+@"),
          QStringLiteral("([A-Z]\\w+)+x")}) {
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
    const QStringList atoms = {QStringLiteral("[A-Z]"), QStringLiteral("\\w"),
                               QStringLiteral("."),     QStringLiteral("[^\\n]"),
                               QStringLiteral("a"),     QStringLiteral("\\d"),
                               QStringLiteral("\\S"),   QStringLiteral("[a-c]")};
    const QStringList loops = {QStringLiteral("*"),    QStringLiteral("+"),
                               QStringLiteral("*?"),   QStringLiteral("++"),
                               QStringLiteral("{2,}"), QStringLiteral("{1,}?")};
    const QStringList rests = {QStringLiteral("b"),        QStringLiteral("ed\\b"),
                               QStringLiteral("\\n"),      QStringLiteral("(?=\\s)"),
                               QStringLiteral("B\\d"),     QStringLiteral("$"),
                               QStringLiteral("(a|b)\\1"), QStringLiteral("(?<=ab)c"),
                               QStringLiteral("\\u00DF"),  QStringLiteral("ss")};
    const QStringView alphabet = u"aAbBcC09_ \r\n\u00DF,.@ssed";
    QRandomGenerator random(34);
    QStringList texts = {realText(QStringLiteral("tests/data/encoding-corpus/fr.txt")),
                         realText(QStringLiteral("src/platform/IcuRegex.h"))};
    for (int t = 0; t < 20; ++t) {
        QString text;
        while (text.size() < 300) {
            const qsizetype run = random.bounded(1, 60);
            const QChar c = alphabet[random.bounded(int(alphabet.size()))];
            text.append(random.bounded(10) == 0 ? QStringLiteral("\U0001F600") : QString(run, c));
        }
        texts.append(text);
    }
    int skippedPatterns = 0;
    for (int p = 0; p < 150; ++p) {
        QString pattern;
        const int prefix = random.bounded(4);
        for (int a = 0; a < prefix; ++a)
            pattern += atoms[random.bounded(int(atoms.size()))] +
                       (random.bounded(4) == 0 ? QStringLiteral("{2}") : QString());
        pattern += atoms[random.bounded(int(atoms.size()))] +
                   loops[random.bounded(int(loops.size()))] +
                   rests[random.bounded(int(rests.size()))];
        const auto options = kBothCases[random.bounded(2)];
        const auto extra =
            random.bounded(2) ? IcuRegex::DotMatchesLineSeparators : IcuRegex::NoOptions;
        bool skipped = false;
        for (const QString& text : texts)
            skipped = expectSameMatches(pattern, options | extra, text);
        skippedPatterns += skipped;
    }
    // Most shapes are skipped (a folded literal "a" before or as the loop is not).
    EXPECT_GT(skippedPatterns, 100);
}

TEST(RegexLeadingLoopTest, LongRunsCostWorkInProportionToTheirLength) {
    // Twenty ticks of fixed allowance (a few scans of the whole run), then one per 1,000
    // characters passed: enough for a run that does a bounded amount of work per character, far
    // too little for one that rescans the rest of the run from every start.
    const RegexWorkBound bound{20, 1000};
    QString letters;
    QString hexDigits;
    for (int i = 0; i < 50000; ++i) {
        letters.append(QChar(u'a' + i * 7 % 26));
        hexDigits.append(QChar(u"0123456789abcdef"[i * 5 % 16]));
    }
    const struct {
        QString pattern;
        QString text;
        std::vector<TextRange> expected;
    } cases[] = {
        {QStringLiteral("[A-Z][a-z]+ed\\b"), letters + QStringLiteral(" Handed"), {{50001, 6}}},
        {QStringLiteral("[A-Z]\\w+Error"), hexDigits + QStringLiteral(" IOError"), {{50001, 7}}},
    };
    for (const auto& c : cases) {
        const IcuRegex skipped(c.pattern, IcuRegex::CaseInsensitive, bound);
        EXPECT_EQ(skipped.matchRanges(c.text), c.expected) << c.pattern.toStdString();
        const IcuRegex plain(QStringLiteral("(?:") + c.pattern + QStringLiteral(")|(?!)"),
                             IcuRegex::CaseInsensitive, bound);
        try {
            plain.matchRanges(c.text);
            ADD_FAILURE() << "the unskipped run stayed within the bound";
        } catch (const RegexError& error) {
            EXPECT_TRUE(error.isTimeout());
        }
    }
}
