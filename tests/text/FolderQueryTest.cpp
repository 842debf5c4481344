#include "DescribedMatches.h"
#include "FolderTree.h"
#include "text/FolderFileSearch.h"
#include "text/FolderSearch.h"
#include "text/FolderWalk.h"
#include "text/LineAutomaton.h"
#include "text/SearchableText.h"

#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>
#include <climits>
#include <gtest/gtest.h>

using namespace dunmoss;
using dunmoss::test::described;

namespace {

const QUrl kUrl = QUrl::fromLocalFile(QStringLiteral("/x/file.txt"));

// The plain path: the decoded file, the expression over all of it.
FolderFileMatches plainMatchesInBytes(const QString& query, const TextSearchOptions& options,
                                      const QByteArray& bytes, qsizetype room) {
    const SearchableFileContent content = screenSearchableBytes(bytes);
    if (content.kind != SearchableFileContent::Kind::Text)
        return {};
    return folderMatchesInText(query, options, content.text, kUrl, room);
}

std::string optionsText(const TextSearchOptions& options) {
    return std::string(options.isRegex ? "regex" : "literal") +
           (options.isCaseSensitive ? " case" : " nocase") + (options.isWholeWord ? " word" : "");
}

// Both paths over the text and over its UTF-8 bytes give the same matches.
void expectSameAsPlain(const QString& query, const TextSearchOptions& options, const QString& text,
                       qsizetype room = 1'000'000) {
    const FolderQuery prepared(query, options);
    EXPECT_EQ(described(prepared.matchesInText(text, kUrl, room)),
              described(folderMatchesInText(query, options, text, kUrl, room)))
        << "query " << query.toStdString() << " (" << optionsText(options) << ") in "
        << text.left(400).toStdString();
    const QByteArray bytes = text.toUtf8();
    EXPECT_EQ(described(prepared.matchesInFileBytes(bytes, kUrl, room)),
              described(plainMatchesInBytes(query, options, bytes, room)))
        << "query " << query.toStdString() << " (" << optionsText(options) << ") in bytes "
        << bytes.left(400).toStdString();
}

const TextSearchOptions kAllOptions[] = {
    {true, false, false},  {true, true, false},  {true, false, true},
    {false, false, false}, {false, true, false}, {false, false, true},
};

// Pieces of text where folding, line ends and supplementary characters meet the
// literals the queries below hold.
const QStringList kPieces = {
    QStringLiteral("ed"),     QStringLiteral("Ed"),     QStringLiteral("ED "),
    QStringLiteral("foo"),    QStringLiteral("FOO"),    QStringLiteral("@"),
    QStringLiteral("ab"),     QStringLiteral("c"),      QStringLiteral("ss"),
    QStringLiteral("st"),     QStringLiteral("k"),      QStringLiteral(" "),
    QStringLiteral("\n"),     QStringLiteral("\r\n"),   QStringLiteral("\r"),
    QStringLiteral("\t"),     QStringLiteral("x"),      QStringLiteral("Word_"),
    QStringLiteral("1"),      QStringLiteral("."),      QStringLiteral("ſ"),
    QStringLiteral("\u212A"), QStringLiteral("ß"),      QStringLiteral("ẞ"),
    QStringLiteral("ﬀ"),      QStringLiteral("ﬁ"),      QStringLiteral("ﬆ"),
    QStringLiteral("İ"),      QStringLiteral("ı"),      QStringLiteral("ς"),
    QStringLiteral("Σ"),      QStringLiteral("é"),      QStringLiteral("漢"),
    QStringLiteral("😀"),      QStringLiteral("𝒜"),      QStringLiteral("\u0085"),
    QStringLiteral("\u2028"), QStringLiteral("\u0301"), QStringLiteral("ed\n"),
    QStringLiteral("ED\r\n"), QStringLiteral("foo\n"),  QStringLiteral("\nfoo"),
    QStringLiteral("@\n"),    QStringLiteral("ss\n"),   QStringLiteral("\ned"),
};

QString randomText(QRandomGenerator& random, int pieces) {
    QString text;
    for (int i = 0; i < pieces; ++i)
        text += kPieces[random.bounded(int(kPieces.size()))];
    return text;
}

// Queries whose literal, line-bound or fold proofs a wrong step would break.
const QStringList kQueries = {
    QStringLiteral("[A-Z][a-z]+ed\\b"),
    QStringLiteral("\\bfoo\\w*"),
    QStringLiteral("(ab|c)\\w+@"),
    QStringLiteral("ed"),
    QStringLiteral("ss"),
    QStringLiteral("st"),
    QStringLiteral("ſt"),
    QStringLiteral("ß"),
    QStringLiteral("k"),
    QStringLiteral("\u212Aed"),
    QStringLiteral("ﬀ"),
    QStringLiteral("ff"),
    QStringLiteral("^ed"),
    QStringLiteral("ed$"),
    QStringLiteral("ed\\z"),
    QStringLiteral("ed\\Z"),
    QStringLiteral("\\Aed"),
    QStringLiteral("(?<=\\n)ed"),
    QStringLiteral("(?<!x)ed"),
    QStringLiteral("ed(?=\\r?\\nfoo)"),
    QStringLiteral("ed\\s+foo"),
    QStringLiteral("ed[^x]foo"),
    QStringLiteral("ed.foo"),
    QStringLiteral("(?s)ed.foo"),
    QStringLiteral("ed\\Rfoo"),
    QStringLiteral("ed\\x0afoo"),
    QStringLiteral("ed\\u000Afoo"),
    QStringLiteral("ed\\N{LINE FEED}foo"),
    QStringLiteral("ed\\p{Cc}foo"),
    QStringLiteral("ed\\X"),
    QStringLiteral("(?i)ED"),
    QStringLiteral("(?-i)ed"),
    QStringLiteral("e?d+"),
    QStringLiteral("(ed)+\\1"),
    QStringLiteral("ed|foo"),
    QStringLiteral("\\w*"),
    QStringLiteral("ed\\b"),
    QStringLiteral("(?:ed){2}"),
    QStringLiteral("😀ed"),
    QStringLiteral("𝒜|ed"),
    QStringLiteral("ed\n"),
    QStringLiteral("ed\r\nfoo"),
    QStringLiteral("\\.ed"),
    QStringLiteral("[ſ]t"),
    QStringLiteral("ed\\w*ed"),
    QStringLiteral("(?d).+ed"),
    QStringLiteral("(?d)x.ed"),
    QStringLiteral("\\Ged"),
    QStringLiteral("(?x)e d"),
    QStringLiteral("(?m)ed$"),
    QStringLiteral("(?w)ed\\b"),
    QStringLiteral("(?i:e)d"),
};

// A random expression made of the atoms the analysis reads.
QString randomPattern(QRandomGenerator& random) {
    static const QStringList atoms = {
        QStringLiteral("ed"),     QStringLiteral("foo"), QStringLiteral("s"),
        QStringLiteral("k"),      QStringLiteral("@"),   QStringLiteral("."),
        QStringLiteral("\\w"),    QStringLiteral("\\s"), QStringLiteral("[^x]"),
        QStringLiteral("[a-z]"),  QStringLiteral("\\b"), QStringLiteral("^"),
        QStringLiteral("$"),      QStringLiteral("ß"),   QStringLiteral("ſ"),
        QStringLiteral("\\n"),    QStringLiteral("😀"),   QStringLiteral("\\x{212A}"),
        QStringLiteral("(?<=e)"), QStringLiteral("\\r"), QStringLiteral("\\S"),
    };
    static const QStringList quantifiers = {QString(),
                                            QString(),
                                            QString(),
                                            QStringLiteral("?"),
                                            QStringLiteral("*"),
                                            QStringLiteral("+"),
                                            QStringLiteral("{2}"),
                                            QStringLiteral("+?")};
    QString pattern;
    const int count = 1 + random.bounded(5);
    for (int i = 0; i < count; ++i) {
        QString atom = atoms[random.bounded(int(atoms.size()))];
        // A repeated assertion only makes ICU spin to its work bound.
        const bool zeroWidth =
            atom == u"\\b" || atom == u"^" || atom == u"$" || atom.startsWith(u"(?");
        if (zeroWidth) {
            pattern += atom;
            continue;
        }
        if (random.bounded(6) == 0)
            atom = QStringLiteral("(") + atom +
                   (random.bounded(2) ? QStringLiteral("|c)") : QStringLiteral(")"));
        pattern += atom + quantifiers[random.bounded(int(quantifiers.size()))];
    }
    return pattern;
}

bool compiles(const QString& query, const TextSearchOptions& options) {
    try {
        makeSearchRegex(query, options);
        return true;
    } catch (const RegexError&) {
        return false;
    }
}

} // namespace

TEST(QueryPrefilter, ProvesOnlyWhatTheExpressionGuarantees) {
    const TextSearchOptions regexNoCase{true, false, false};
    const TextSearchOptions regexCase{true, true, false};
    const auto literalOf = [](const char* pattern, const TextSearchOptions& options) {
        return analyseQueryPrefilter(QString::fromUtf8(pattern), options).literal;
    };
    const auto staysOnLine = [&](const char* pattern) {
        return analyseQueryPrefilter(QString::fromUtf8(pattern), regexCase).staysOnLine;
    };
    EXPECT_EQ(literalOf("[A-Z][a-z]+ed\\b", regexNoCase), u"ed");
    EXPECT_EQ(literalOf("\\bfoo\\w*", regexNoCase), u"foo");
    EXPECT_EQ(literalOf("(ab|c)\\w+@", regexNoCase), u"@");
    EXPECT_EQ(literalOf("FOO", regexNoCase), u"foo");
    EXPECT_EQ(literalOf("FOO", regexCase), u"FOO");
    // Optional characters, alternatives and escapes of unknown length give
    // nothing.
    EXPECT_EQ(literalOf("ab?c", regexCase), u"c");
    EXPECT_EQ(literalOf("abcd|efgh", regexCase), u"");
    EXPECT_EQ(literalOf("(abcd)?x", regexCase), u"x");
    EXPECT_EQ(literalOf("\\x41BC", regexCase), u"BC");
    EXPECT_EQ(literalOf("\\0101xy", regexCase), u"");
    EXPECT_EQ(literalOf("(?x)a b c", regexCase), u"");
    // Characters beyond ASCII are never part of it: under folding they match
    // ASCII text.
    EXPECT_EQ(literalOf("ſtack", regexNoCase), u"tack");
    EXPECT_EQ(analyseQueryPrefilter(QStringLiteral("Straße"), {false, false, false}).literal,
              u"stra");
    EXPECT_TRUE(analyseQueryPrefilter(QStringLiteral("(?i)foo"), regexCase).folds);

    const auto endsWith = [&](const char* pattern) {
        const QueryPrefilter prefilter =
            analyseQueryPrefilter(QString::fromUtf8(pattern), regexCase);
        return prefilter.endsWithLiteral ? prefilter.literal : QString();
    };
    EXPECT_EQ(endsWith("[A-Z][a-z]+ed\\b"), u"ed");
    EXPECT_EQ(endsWith("(?:x)abcdef\\w+ed(?=x)$"), u"ed");
    for (const char* open : {"ed+", "ed?", "ed\\w", "ed|x", "ed(x)?", "(ed)", "ed[a]"})
        EXPECT_EQ(endsWith(open), u"") << open;
    // A possessive or atomic part may take in more past the literal in a longer run.
    for (const char* committing : {"(ab)*+ed", "x?+ed", "(?>ab|a)ed", "a{1,3}+ed"})
        EXPECT_EQ(endsWith(committing), u"") << committing;

    const auto takenBefore = [&](const char* pattern, const TextSearchOptions& options) {
        return analyseQueryPrefilter(QString::fromUtf8(pattern), options).takenBeforeLiteral;
    };
    const auto taken = takenBefore("[A-Z][a-z]+ed\\b", regexNoCase);
    ASSERT_TRUE(taken);
    EXPECT_TRUE((*taken)['q'] && (*taken)['Q'] && (*taken)['e']);
    EXPECT_FALSE((*taken)[' '] || (*taken)['_'] || (*taken)['1']);
    EXPECT_TRUE((*takenBefore("\\w+@", regexCase))['_']);
    // A back-reference, or a character that folds to several, may take in anything.
    const auto grouped = takenBefore("(ab|c)\\w+@", regexCase);
    ASSERT_TRUE(grouped);
    EXPECT_TRUE((*grouped)['a'] && (*grouped)['_'] && !(*grouped)[' '] && !(*grouped)['@']);
    EXPECT_FALSE(takenBefore("(x)\\1ed", regexCase));
    EXPECT_FALSE(takenBefore("ßed", regexNoCase));
    EXPECT_FALSE(takenBefore("[ß]ed", regexNoCase));

    const auto startsAtTextStart = [&](const char* pattern) {
        return analyseQueryPrefilter(QString::fromUtf8(pattern), regexCase).startsAtTextStart;
    };
    for (const char* anchored : {"\\Aa", "^a", "(?i)^a", "x?\\Aa", "(?=a)\\Aab", "\\A(a|b)"})
        EXPECT_TRUE(startsAtTextStart(anchored)) << anchored;
    for (const char* free : {"\\Aa|b", "\\A?a", "^*a", "(?m)^a", "(\\Aa)", "\\Za", "a$"})
        EXPECT_FALSE(startsAtTextStart(free)) << free;

    EXPECT_TRUE(staysOnLine("[A-Z][a-z]+ed\\b"));
    EXPECT_TRUE(staysOnLine("a.b(?=\\n)\\S[^\\n]"));
    for (const char* crossing : {"a\\sb", "a[^x]b", "(?s)a.b", "a\\Rb", "a\\x0ab", "a\\x{A}b",
                                 "a\\u000Ab", "a\\N{LINE FEED}b", "a\\p{Cc}b", "a\\Xb", "a\\vb",
                                 "a\\012b", "a\\cJb", "a\\W", "a\\D", "a\\Q\n\\E"})
        EXPECT_FALSE(staysOnLine(crossing)) << crossing;
}

TEST(FolderQuery, ThePrefilterAndTheAutomatonGiveUpOnTheSameConstructs) {
    // Each construct in a few places. Whatever the prefilter gives up on, the automaton gives up
    // on too; it gives up on back-references, clusters, line breaks and surrogates written alone
    // besides, which the prefilter reads. An automaton built never turns away a text ICU matches,
    // and the prepared query finds what the plain path finds.
    const QStringList constructs = {
        QStringLiteral("\\G"),
        QStringLiteral("\\0101"),
        QStringLiteral("\\cJ"),
        QStringLiteral("\\j"),
        QStringLiteral("\\E"),
        QStringLiteral("\\pL"),
        QStringLiteral("(?x)"),
        QStringLiteral("(?d)"),
        QStringLiteral("(?u)"),
        QStringLiteral("(?x:e)"),
        QStringLiteral("(?d:.)"),
        QStringLiteral("(?i)"),
        QStringLiteral("(?s)"),
        QStringLiteral("(?m)"),
        QStringLiteral("(?w)"),
        QStringLiteral("(?-i:x)"),
        QStringLiteral("(?s:.)"),
        QStringLiteral("(?#c)"),
        QStringLiteral("(?=e)"),
        QStringLiteral("(?<!x)"),
        QStringLiteral("\\x4"),
        QStringLiteral("\\x{41}"),
        QStringLiteral("\\u00e9"),
        QStringLiteral("\\U0001F600"),
        QStringLiteral("\\N{DIGIT ONE}"),
        QStringLiteral("\\Qa.b\\E"),
        QStringLiteral("\\."),
        QStringLiteral("\\b"),
        QStringLiteral("(?<n>e)"),
        QStringLiteral("(?>e|d)"),
        QStringLiteral("(e)\\1"),
        QStringLiteral("(?<n>e)\\k<n>"),
        QStringLiteral("\\X"),
        QStringLiteral("\\R"),
        QStringLiteral("\\uD83D\\uDE00"),
        QStringLiteral("[\\x{D83D}]\\uDE00?"),
    };
    const QStringList readByThePrefilterOnly = {QStringLiteral("(e)\\1"),
                                                QStringLiteral("(?<n>e)\\k<n>"),
                                                QStringLiteral("\\X"),
                                                QStringLiteral("\\R"),
                                                QStringLiteral("\\uD83D\\uDE00"),
                                                QStringLiteral("[\\x{D83D}]\\uDE00?")};
    const QStringList texts = {
        QStringLiteral("x\red"),     QStringLiteral("a.bed\n"),  QStringLiteral("x\r\n.ed"),
        QStringLiteral("eed"),       QStringLiteral("\u00e9ed"), QStringLiteral("1😀ed"),
        QStringLiteral("ED\r\nxed"), QStringLiteral("Aed"),      QStringLiteral("e.ed x\ned"),
    };
    int bothRead = 0;
    for (const QString& construct : constructs) {
        for (const QString& pattern : {construct + QStringLiteral(".+ed"),
                                       QStringLiteral("e(?:") + construct + QStringLiteral(")ed"),
                                       QStringLiteral("x?ed") + construct}) {
            for (const bool folds : {false, true}) {
                const TextSearchOptions options{true, !folds, false};
                if (!compiles(pattern, options))
                    continue;
                const QueryPrefilter prefilter = analyseQueryPrefilter(pattern, options);
                const std::optional<LineAutomaton> automaton = LineAutomaton::of(pattern, folds);
                const std::string what = pattern.toStdString() + (folds ? " folded" : "");
                if (!prefilter.understood) {
                    EXPECT_FALSE(automaton) << what;
                }
                if (readByThePrefilterOnly.contains(construct)) {
                    EXPECT_TRUE(prefilter.understood && !automaton) << what;
                }
                bothRead += prefilter.understood && automaton ? 1 : 0;
                const IcuRegex regex = makeSearchRegex(pattern, options);
                for (const QString& text : texts) {
                    if (automaton && !regex.matchRanges(text).empty()) {
                        EXPECT_TRUE(automaton->mayMatch(text)) << what;
                    }
                    expectSameAsPlain(pattern, options, text);
                }
            }
        }
    }
    EXPECT_GT(bothRead, 50);
    EXPECT_FALSE(analyseQueryPrefilter(QStringLiteral("\\Ged"), {true, true, false}).understood);
    EXPECT_FALSE(LineAutomaton::of(u"\\Ged", false));
}

TEST(FolderQuery, APossessiveOrAtomicPartSeesPastTheLiteralAsAWholeRunDoes) {
    // A stretch cut after the literal would let the committing part stop at its end and the
    // literal after it match where a run over the whole text finds nothing.
    const TextSearchOptions regexCase{true, true, false};
    const struct {
        const char* query;
        const char* text;
        int matches;
    } cases[] = {
        {"(ab)*+a", "xx abab ab", 0},    {"(abc)*+a", "abcabcabc", 0},
        {"(?>(abc)*)a", "abcabcabc", 0}, {"(abc)?+a", "abcabcabc", 1},
        {"(abc)++a", "abcabc abca", 1},  {"(?>ab|a)ba", "aba abba", 1},
        {"(?>a(?=bb)|ab)ba", "abba", 0},
    };
    for (const auto& c : cases) {
        const QString query = QString::fromUtf8(c.query);
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(folderMatchesInText(query, regexCase, text, kUrl, 100).found.size(), c.matches)
            << c.query;
        // Also after many occurrences on a long line, and on a line of its own.
        for (const QString& in : {text, QStringLiteral("a ").repeated(600) + text,
                                  QStringLiteral("a\n") + text + QStringLiteral("\nb")})
            expectSameAsPlain(query, regexCase, in);
    }
}

TEST(FolderQuery, SurrogateHalvesWrittenAsEscapesMatchThePairTheyMake) {
    // ICU compares a written surrogate with one unit of the text, so two such halves, or one
    // and whatever takes the other half, match a character beyond the Basic Multilingual Plane.
    const QString text = QStringLiteral("x😀y\nx😀y😀");
    for (const char* query : {"\\uD83D\\uDE00", "x\\x{D83D}\\x{DE00}y", "x\\uD83D.y",
                              "x\\U0000D83D\\uDE00", "x[\\uD83D]\\uDE00y", "\\uD83D\\uDE00$"}) {
        for (const TextSearchOptions& options : kAllOptions) {
            if (!options.isRegex || !compiles(QString::fromUtf8(query), options))
                continue;
            const FolderFileMatches plain =
                folderMatchesInText(QString::fromUtf8(query), options, text, kUrl, 100);
            if (options.isCaseSensitive) {
                EXPECT_FALSE(plain.found.isEmpty()) << query;
            }
            expectSameAsPlain(QString::fromUtf8(query), options, text);
        }
    }
    // A surrogate typed alone into the pattern is compared the same way.
    const QString loneHigh = QStringLiteral("x") + QChar(0xD83D) + QStringLiteral(".y");
    expectSameAsPlain(loneHigh, {true, true, false}, text);
}

TEST(FolderQuery, FindsWhatThePlainPathFindsInRandomText) {
    QRandomGenerator random(45);
    for (int round = 0; round < 5; ++round) {
        const QString text = randomText(random, 100 + random.bounded(400));
        for (const QString& query : kQueries)
            for (const TextSearchOptions& options : kAllOptions)
                if (compiles(query, options))
                    expectSameAsPlain(query, options, text);
    }
}

TEST(FolderQuery, FindsWhatThePlainPathFindsForRandomExpressions) {
    QRandomGenerator random(4501);
    for (int round = 0; round < 3000; ++round) {
        const QString query = randomPattern(random);
        const TextSearchOptions options{true, random.bounded(2) == 0, random.bounded(10) == 0};
        if (!compiles(query, options))
            continue;
        const QString text = randomText(random, 10 + random.bounded(120));
        expectSameAsPlain(query, options, text);
        // A room smaller than the matches ends both at the same match.
        expectSameAsPlain(query, options, text, 1 + random.bounded(3));
    }
}

TEST(FolderQuery, FindsWhatThePlainPathFindsOnLongLines) {
    // Lines of thousands of pieces, most without a line feed: occurrences crowd a line, stretches
    // split, join and run to the line's end, and folding meets characters beyond ASCII there.
    QStringList pieces = kPieces;
    pieces << QStringLiteral("return ") << QStringLiteral("function(") << QStringLiteral(";")
           << QStringLiteral(",") << QStringLiteral("[12]") << QStringLiteral("a")
           << QStringLiteral("x=0x1f;") << QString(300, u'7') << QString(700, u'a')
           << QStringLiteral("жжжжжжжжжжжжжжжжжжжжжжжжжжжжжжжж") << QString(90, u'q');
    QStringList queries = kQueries;
    queries << QStringLiteral(";$") << QStringLiteral(".*,") << QStringLiteral("\\breturn\\b")
            << QStringLiteral("[0-9]+\\]") << QStringLiteral("function\\(") << QStringLiteral("a$")
            << QStringLiteral("\\w+;") << QStringLiteral("[a-z]+ed(?=,)") << QStringLiteral(".*zzz")
            << QStringLiteral(".*ed") << QStringLiteral("\\Aa") << QStringLiteral("^x")
            << QStringLiteral("\\A\\w+\\s") << QStringLiteral("[a-z]*x\\b")
            << QStringLiteral("a\\w*x")
            << QStringLiteral("[0-9]+\\]")
            // Read in pieces over such lines, whole over short ones.
            << QStringLiteral("(\\w)\\1+ed") << QStringLiteral("a{1000,}");
    QRandomGenerator random(4502);
    for (int round = 0; round < 3; ++round) {
        QString text;
        for (int i = 0; i < 2000; ++i) {
            const QString& piece = pieces[random.bounded(int(pieces.size()))];
            text += piece.contains(u'\n') && random.bounded(40) != 0 ? QStringLiteral(" ") : piece;
        }
        for (const QString& query : queries)
            for (const TextSearchOptions& options : kAllOptions)
                if (compiles(query, options))
                    expectSameAsPlain(query, options, text);
        for (int i = 0; i < 100; ++i) {
            const QString query = randomPattern(random);
            const TextSearchOptions options{true, random.bounded(2) == 0, random.bounded(10) == 0};
            if (compiles(query, options))
                expectSameAsPlain(query, options, text);
        }
    }
}

TEST(FolderQuery, FindsWhatThePlainPathFindsWithCommittingPartsLookAroundAndSurrogateHalves) {
    // Parts whose outcome depends on the text past a match's end (possessive, atomic,
    // look-ahead), look-behind before its start, anchors, and surrogates written alone, often
    // before a literal that ends the match, over short texts and over lines of many stretches.
    static const QStringList atoms = {
        QStringLiteral("ab"),
        QStringLiteral("a"),
        QStringLiteral("b"),
        QStringLiteral("ed"),
        QStringLiteral("\\w"),
        QStringLiteral("[a-c]"),
        QStringLiteral("."),
        QStringLiteral("(?>ab|a)"),
        QStringLiteral("(?>\\w+)"),
        QStringLiteral("(?>[a-z]*)b"),
        QStringLiteral("(?=foo)"),
        QStringLiteral("(?!ed)"),
        QStringLiteral("(?<!s)"),
        QStringLiteral("(?<=ab)"),
        QStringLiteral("(?=\\W)"),
        QStringLiteral("\\b"),
        QStringLiteral("$"),
        QStringLiteral("\\z"),
        QStringLiteral("\\Z"),
        QStringLiteral("(?m)$"),
        QStringLiteral("(?m)^"),
        QStringLiteral("\\uD83D"),
        QStringLiteral("\\uDE00"),
        QStringLiteral("\\uD83D\\uDE00"),
        QStringLiteral("\\x{D83D}\\x{DE00}"),
        QStringLiteral("[\\uD83D]\\uDE00"),
        QStringLiteral("\\uD835."),
        QStringLiteral("x\\uD83D"),
        QStringLiteral("😀"),
    };
    static const QStringList quantifiers = {
        QString(),
        QString(),
        QStringLiteral("*+"),
        QStringLiteral("++"),
        QStringLiteral("?+"),
        QStringLiteral("{1,2}+"),
        QStringLiteral("*"),
        QStringLiteral("?"),
    };
    static const QStringList tails = {QStringLiteral("a"), QStringLiteral("ab"),
                                      QStringLiteral("ed"), QStringLiteral("b")};
    const auto pattern = [&](QRandomGenerator& random) {
        QString built;
        for (int i = 1 + random.bounded(4); i > 0; --i) {
            QString atom = atoms[random.bounded(int(atoms.size()))];
            if (atom.startsWith(u"(?=") || atom.startsWith(u"(?!") || atom.startsWith(u"(?<") ||
                atom.startsWith(u"(?m)") || (atom.startsWith(u'\\') && atom.size() == 2) ||
                atom == u"$") {
                built += atom;
                continue;
            }
            if (random.bounded(4) == 0)
                atom = (random.bounded(2) ? QStringLiteral("(?>") : QStringLiteral("(")) + atom +
                       (random.bounded(3) ? QStringLiteral(")") : QStringLiteral("|c)"));
            built += atom + quantifiers[random.bounded(int(quantifiers.size()))];
        }
        if (random.bounded(3) != 0)
            built += tails[random.bounded(int(tails.size()))];
        return built;
    };
    const QStringList pieces = {
        QStringLiteral("abab"), QStringLiteral("ab"), QStringLiteral("a"),  QStringLiteral("b"),
        QStringLiteral("abc"),  QStringLiteral("ed"), QStringLiteral(" "),  QStringLiteral("x"),
        QStringLiteral("foo"),  QStringLiteral("s"),  QStringLiteral("😀"),  QStringLiteral("𝒜"),
        QStringLiteral("\n"),   QStringLiteral("é"),  QStringLiteral("AB"), QStringLiteral("\r\n"),
    };
    QRandomGenerator random(4503);
    const auto text = [&](int count, bool longLines) {
        QString built;
        for (int i = 0; i < count; ++i) {
            const QString& piece = pieces[random.bounded(int(pieces.size()))];
            built += longLines && piece.contains(u'\n') && random.bounded(40) != 0
                         ? QStringLiteral(" ")
                         : piece;
        }
        return built;
    };
    const auto options = [&] {
        return TextSearchOptions{true, random.bounded(3) != 0, random.bounded(10) == 0};
    };
    for (int round = 0; round < 2000; ++round) {
        const QString query = pattern(random);
        const TextSearchOptions chosen = options();
        if (compiles(query, chosen))
            expectSameAsPlain(query, chosen, text(5 + random.bounded(60), false));
    }
    for (int round = 0; round < 3; ++round) {
        const QString longLines = text(3000, true);
        for (int i = 0; i < 100; ++i) {
            const QString query = pattern(random);
            const TextSearchOptions chosen = options();
            if (compiles(query, chosen))
                expectSameAsPlain(query, chosen, longLines);
        }
    }
}

TEST(FolderQuery, DecodesFilesItCannotReadAsPlainUtf8First) {
    // The literal's bytes are not in a UTF-16 file, nor in Latin-1's "ß"; a byte
    // scan that took them for UTF-8 would find nothing.
    QRandomGenerator random(7);
    for (int round = 0; round < 3; ++round) {
        const QString text = randomText(random, 80) + QStringLiteral("Stored\r\nfoo@x ed");
        QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
        QStringEncoder latin1(QStringEncoder::Latin1);
        const QByteArray wide = utf16.encode(text);
        const QByteArray narrow =
            latin1.encode(QStringLiteral("Stra\u00DFe st\u00FCtzt ed foo@b\n"));
        for (const QString& query : kQueries) {
            for (const TextSearchOptions& options : kAllOptions) {
                if (!compiles(query, options))
                    continue;
                const FolderQuery prepared(query, options);
                for (const QByteArray& bytes : {wide, narrow})
                    EXPECT_EQ(described(prepared.matchesInFileBytes(bytes, kUrl, 1000)),
                              described(plainMatchesInBytes(query, options, bytes, 1000)))
                        << query.toStdString() << " " << optionsText(options);
            }
        }
    }
}

TEST(FolderQuery, FindsWhatThePlainPathFindsInARealTree) {
    const QString root = QStringLiteral("/usr/include");
    if (!QFileInfo(root).isDir())
        GTEST_SKIP() << "no /usr/include";
    QList<QByteArray> files;
    qsizetype total = 0;
    walkFolderFiles(root, {}, [&](const QString& path) {
        const SearchableFileContent read = readSearchableBytes(path);
        if (read.kind == SearchableFileContent::Kind::Text) {
            files.append(read.bytes);
            total += read.bytes.size();
        }
        return total < 3'000'000;
    });
    const QStringList queries = {
        QStringLiteral("[A-Z][a-z]+ed\\b"),
        QStringLiteral("\\bfoo\\w*"),
        QStringLiteral("(ab|c)\\w+@"),
        QStringLiteral("static"),
        QStringLiteral("^#\\s*define\\s+\\w+_H$"),
        QStringLiteral("(?<=\\()const\\b"),
        QStringLiteral("struct\\s+\\w+\\s*\\{"),
        QStringLiteral("\\*/$"),
    };
    for (const QString& query : queries) {
        for (const TextSearchOptions& options : kAllOptions) {
            if (!compiles(query, options))
                continue;
            const FolderQuery prepared(query, options);
            for (const QByteArray& bytes : files)
                ASSERT_EQ(described(prepared.matchesInFileBytes(bytes, kUrl, INT_MAX)),
                          described(plainMatchesInBytes(query, options, bytes, INT_MAX)))
                    << query.toStdString() << " " << optionsText(options) << " in "
                    << bytes.left(200).toStdString();
        }
    }
}

TEST(FolderQuery, AFolderSearchListsInWalkOrderWhatEachFileGivesAlone) {
    // Files are searched in parallel; the results still come file by file in walk
    // order, and stop at the limit exactly where a one-file-at-a-time run would.
    test::FolderTree tree;
    QRandomGenerator random(11);
    for (int i = 0; i < 300; ++i)
        tree.write(QStringLiteral("d%1/f%2.txt").arg(i % 7).arg(i),
                   randomText(random, 30).toUtf8());
    const QString query = QStringLiteral("(ab|c)\\w*@|ed");
    const TextSearchOptions options{true, false, false};
    for (const int limit : {INT_MAX, 500, 37}) {
        QStringList expected;
        walkFolderFiles(tree.root(), {}, [&](const QString& path) {
            const QUrl url = QUrl::fromLocalFile(path);
            const SearchableFileContent content = loadSearchableText(path);
            const auto found =
                folderMatchesInText(query, options, content.text, url, limit - expected.size());
            for (const FolderSearchResult& result : found.found)
                expected.append(
                    QStringLiteral("%1 %2:%3").arg(path).arg(result.line).arg(result.column));
            return expected.size() < limit;
        });
        QStringList actual;
        for (const FolderSearchResult& result :
             searchFolder(query, tree.rootURL(), {}, {}, options, limit))
            actual.append(QStringLiteral("%1 %2:%3")
                              .arg(result.url.toLocalFile())
                              .arg(result.line)
                              .arg(result.column));
        EXPECT_EQ(actual, expected) << "limit " << limit;
    }
}
