#include "text/TextSearch.h"
#include "text/ResultIdentifier.h"
#include "text/SearchScanner.h"

#include <QRandomGenerator>
#include <QSet>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using namespace dunmoss;

namespace {

TextSearchOptions literal(bool caseSensitive = false, bool wholeWord = false) {
    return TextSearchOptions{false, caseSensitive, wholeWord};
}

TextSearchOptions regex(bool caseSensitive = false, bool wholeWord = false) {
    return TextSearchOptions{true, caseSensitive, wholeWord};
}

std::vector<TextRange> rangesOf(const TextSearchMatches& found) {
    std::vector<TextRange> ranges;
    for (const auto& result : found.results)
        ranges.push_back(result.range);
    return ranges;
}

std::vector<TextRange> scannerRanges(const QString& query, const QString& text,
                                     const TextSearchOptions& options) {
    SearchScanner scanner(query, text, options);
    std::vector<TextRange> ranges;
    while (scanner.next())
        ranges.push_back(scanner.range());
    return ranges;
}

} // namespace

TEST(TextSearchTest, EmptyQueryFindsAndReplacesNothing) {
    const QString text = QStringLiteral("abc");
    const auto found = findAllMatches(QString(), text, regex());
    EXPECT_TRUE(found.results.isEmpty());
    EXPECT_EQ(found.totalCount, 0);
    const auto all = replaceAllMatches(QString(), QStringLiteral("x"), text, literal());
    EXPECT_EQ(all.text, text);
    EXPECT_EQ(all.count, 0);
    EXPECT_FALSE(replaceCurrentMatch(QString(), QStringLiteral("x"), text, {0, 0}, literal()));
    // An invalid expression would throw if it were compiled.
    EXPECT_NO_THROW(findAllMatches(QString(), text, regex()));
}

TEST(TextSearchTest, EmptyMatchesAreNeitherCountedNorListedNorReplaced) {
    EXPECT_EQ(findAllMatches(QStringLiteral("^"), QStringLiteral("abc\ndef"), regex()).totalCount,
              0);
    const auto stars = findAllMatches(QStringLiteral("x*"), QStringLiteral("axxbx"), regex());
    EXPECT_EQ(stars.totalCount, 2);
    EXPECT_EQ(rangesOf(stars), (std::vector<TextRange>{{1, 2}, {4, 1}}));
    const auto replaced = replaceAllMatches(QStringLiteral("x*"), QStringLiteral("-"),
                                            QStringLiteral("axxbx"), regex());
    EXPECT_EQ(replaced.text, QStringLiteral("a-b-"));
    EXPECT_EQ(replaced.count, 2);
    EXPECT_FALSE(replaceCurrentMatch(QStringLiteral("x*"), QStringLiteral("-"),
                                     QStringLiteral("axxbx"), {0, 0}, regex()));
}

TEST(TextSearchTest, MaximumLimitsTheListButNotTheTotal) {
    const QString text = QStringLiteral("a a a a a");
    const auto none = findAllMatches(QStringLiteral("a"), text, literal(), 0);
    EXPECT_TRUE(none.results.isEmpty());
    EXPECT_EQ(none.totalCount, 5);
    const auto two = findAllMatches(QStringLiteral("a"), text, literal(), 2);
    EXPECT_EQ(rangesOf(two), (std::vector<TextRange>{{0, 1}, {2, 1}}));
    EXPECT_EQ(two.totalCount, 5);
    EXPECT_EQ(findAllMatches(QStringLiteral("a"), text, literal()).results.size(), 5);
    // Every run gives new identities.
    const auto again = findAllMatches(QStringLiteral("a"), text, literal(), 2);
    EXPECT_NE(again.results[0].id, two.results[0].id);
    EXPECT_NE(again.results[0], two.results[0]);
    EXPECT_NE(two.results[0].id, two.results[1].id);
}

TEST(TextSearchTest, WholeWordBoundaries) {
    for (const auto& options : {literal(false, true), literal(true, true), regex(false, true)}) {
        EXPECT_EQ(
            rangesOf(findAllMatches(QStringLiteral("cat"), QStringLiteral("concat cat"), options)),
            (std::vector<TextRange>{{7, 3}}));
        EXPECT_EQ(findAllMatches(QStringLiteral("cat"), QStringLiteral("\u732bcat\u732b"), options)
                      .totalCount,
                  1);
        EXPECT_EQ(
            findAllMatches(QStringLiteral("cat"), QStringLiteral("cat_ 1cat cat2 caté"), options)
                .totalCount,
            0);
        EXPECT_EQ(
            findAllMatches(QStringLiteral("cat"), QStringLiteral("\u3042cat\uac00 (cat)"), options)
                .totalCount,
            2);
    }
    // An expression that is invalid on its own stays invalid inside the word boundaries; a
    // stray ")" cannot close their group and leave part of the expression unbounded.
    for (const QString& broken : {QStringLiteral("a)(b"), QStringLiteral("a)|(?:b")}) {
        try {
            findAllMatches(broken, QStringLiteral("a b ab"), regex(true, true));
            ADD_FAILURE() << "accepted " << broken.toStdString();
        } catch (const RegexError& error) {
            EXPECT_EQ(error.kind(), RegexError::Kind::InvalidPattern);
            EXPECT_EQ(error.pattern(), broken);
        }
    }
    // The alternation is bounded as a whole.
    EXPECT_EQ(findAllMatches(QStringLiteral("a|b"), QStringLiteral("ab a b"), regex(true, true))
                  .totalCount,
              2);
}

TEST(TextSearchTest, LiteralMatcherAgreesWithTheExpression) {
    // Case-sensitive literal queries skip ICU; they must find exactly what the escaped pattern
    // finds, word boundaries included.
    const QStringList pieces = {
        QStringLiteral("ab"),         QStringLiteral("a"),      QStringLiteral("_"),
        QStringLiteral(" "),          QStringLiteral("\u732b"), QStringLiteral("\u0301"),
        QStringLiteral("\U0001D400"), QStringLiteral("1"),      QStringLiteral("."),
        QStringLiteral("\n"),         QStringLiteral("\u0663"), QStringLiteral("\u30a2")};
    QRandomGenerator random(7);
    const QStringList queries = {QStringLiteral("a"),          QStringLiteral("ab"),
                                 QStringLiteral("a.a"),        QStringLiteral("aa"),
                                 QStringLiteral("\U0001D400"), QStringLiteral("b a")};
    for (int round = 0; round < 300; ++round) {
        QString text;
        const int count = random.bounded(1, 90);
        for (int i = 0; i < count; ++i)
            text.append(pieces[random.bounded(int(pieces.size()))]);
        for (const QString& query : queries) {
            for (const bool wholeWord : {false, true}) {
                const TextSearchOptions options = literal(true, wholeWord);
                SearchScanner probe(query, text, options);
                ASSERT_TRUE(probe.usesLiteralMatcher());
                const auto expected = makeSearchRegex(query, options).matchRanges(text);
                ASSERT_EQ(scannerRanges(query, text, options), expected)
                    << query.toStdString() << " in " << text.toStdString() << " whole "
                    << wholeWord;
            }
        }
    }
}

TEST(TextSearchTest, LiteralMatcherIgnoringCaseAgreesWithTheExpressionOverAscii) {
    const QStringList pieces = {QStringLiteral("ab"), QStringLiteral("A"),  QStringLiteral("_"),
                                QStringLiteral(" "),  QStringLiteral("Bk"), QStringLiteral("1"),
                                QStringLiteral("."),  QStringLiteral("\n"), QStringLiteral("sS@")};
    const QStringList queries = {
        QStringLiteral("a"),   QStringLiteral("AB"), QStringLiteral("a.A"), QStringLiteral("aa"),
        QStringLiteral("b a"), QStringLiteral("K"),  QStringLiteral("ss@"), QStringLiteral("@")};
    QRandomGenerator random(5);
    for (int round = 0; round < 300; ++round) {
        QString text;
        const int count = random.bounded(1, 90);
        for (int i = 0; i < count; ++i)
            text.append(pieces[random.bounded(int(pieces.size()))]);
        for (const QString& query : queries) {
            for (const bool wholeWord : {false, true}) {
                const TextSearchOptions options = literal(false, wholeWord);
                ASSERT_TRUE(SearchScanner(query, text, options).usesLiteralMatcher());
                ASSERT_EQ(scannerRanges(query, text, options),
                          makeSearchRegex(query, options).matchRanges(text))
                    << query.toStdString() << " in " << text.toStdString() << " whole "
                    << wholeWord;
            }
        }
    }
    // Beyond ASCII, case folding joins more than ASCII letters: the Kelvin sign is a "k".
    const QString kelvin = QStringLiteral("\u212A k K");
    EXPECT_FALSE(SearchScanner(QStringLiteral("k"), kelvin, literal()).usesLiteralMatcher());
    EXPECT_EQ(scannerRanges(QStringLiteral("k"), kelvin, literal()),
              (std::vector<TextRange>{{0, 1}, {2, 1}, {4, 1}}));
}

TEST(TextSearchTest, LiteralAndExpressionModes) {
    EXPECT_EQ(
        findAllMatches(QStringLiteral("a.b"), QStringLiteral("axb a.b"), literal()).totalCount, 1);
    EXPECT_EQ(findAllMatches(QStringLiteral("a.b"), QStringLiteral("axb a.b"), regex()).totalCount,
              2);
    EXPECT_EQ(
        findAllMatches(QStringLiteral("ABC"), QStringLiteral("abc ABC"), literal(true)).totalCount,
        1);
    EXPECT_EQ(
        findAllMatches(QStringLiteral("ABC"), QStringLiteral("abc ABC"), literal(false)).totalCount,
        2);
    EXPECT_EQ(replaceAllMatches(QStringLiteral("x"), QStringLiteral("$0\\"), QStringLiteral("axb"),
                                literal())
                  .text,
              QStringLiteral("a$0\\b"));
    EXPECT_EQ(replaceAllMatches(QStringLiteral("(\\w+)="), QStringLiteral("[$1]"),
                                QStringLiteral("ab="), regex())
                  .text,
              QStringLiteral("[ab]"));
    // Each replacement comes from the original text, not from earlier replacements.
    EXPECT_EQ(replaceAllMatches(QStringLiteral("(a)"), QStringLiteral("$1$1"),
                                QStringLiteral("aXa"), regex(true))
                  .text,
              QStringLiteral("aaXaa"));
    EXPECT_THROW(findAllMatches(QStringLiteral("("), QStringLiteral("x"), regex()), RegexError);
    // Literal mode never throws, whatever the query holds.
    EXPECT_EQ(findAllMatches(QStringLiteral("("), QStringLiteral("f(x)"), literal()).totalCount, 1);
}

TEST(TextSearchTest, OrdinaryExpressionsCompleteOnLongLinesAndRuns) {
    // Prose with lines of about a thousand characters.
    const QStringList words = {QStringLiteral("alpha"), QStringLiteral("timeout"),
                               QStringLiteral("lorem"), QStringLiteral("ipsum"),
                               QStringLiteral("dolor")};
    QRandomGenerator random(3);
    QString prose;
    qsizetype linesWithTimeout = 0;
    for (int line = 0; line < 150; ++line) {
        QString text;
        const bool withTimeout = line % 3 == 0;
        while (text.size() < 1000)
            text.append(words[withTimeout ? random.bounded(5) : 2 + random.bounded(3)] + u' ');
        linesWithTimeout += text.contains(QStringLiteral("timeout"));
        prose.append(text).append(u'\n');
    }
    // Greedy: one match per line that holds the word, from the line start to its last copy.
    const auto timeouts = findAllMatches(QStringLiteral(".*timeout"), prose, regex());
    EXPECT_EQ(timeouts.totalCount, linesWithTimeout);
    for (const auto& result : timeouts.results)
        EXPECT_EQ(result.column, 1);
    EXPECT_EQ(findAllMatches(QStringLiteral(".*zzz"), prose, regex()).totalCount, 0);
    // Whole words: the same, through the boundaries' look-behind.
    EXPECT_TRUE(
        makeSearchRegex(QStringLiteral(".*zzz"), regex(false, true)).skipsLeadingLoopRuns());
    EXPECT_EQ(findAllMatches(QStringLiteral(".*timeout"), prose, regex(false, true)).totalCount,
              linesWithTimeout);
    EXPECT_EQ(findAllMatches(QStringLiteral("\\w+q"), prose, regex(true)).totalCount, 0);

    // A run of a million word characters: first matched whole, then passed over.
    QString run(1000000, u'k');
    run.append(QStringLiteral("@ ")).append(QString(200000, u'z')).append(QStringLiteral(" me@x"));
    EXPECT_EQ(rangesOf(findAllMatches(QStringLiteral("\\w+@"), run, regex())),
              (std::vector<TextRange>{{0, 1000001}, {1200003, 3}}));
}

TEST(TextSearchTest, ExpressionsThatBeginWithAClassThenALoopCompleteOverLongRuns) {
    // The find bar's default ignores case, so "[A-Z]" takes every letter of a minified file
    // or a data dump: each start in a 50,000-letter run would scan to its end.
    QString letters;
    QString hexDigits;
    for (int i = 0; i < 50000; ++i) {
        letters.append(QChar(u'a' + i * 7 % 26));
        hexDigits.append(QChar(u"0123456789abcdef"[i * 5 % 16]));
    }
    const QString text =
        letters + QStringLiteral(" Handed ") + hexDigits + QStringLiteral(" IOError\n");
    for (const bool wholeWord : {false, true}) {
        EXPECT_EQ(rangesOf(findAllMatches(QStringLiteral("[A-Z][a-z]+ed\\b"), text,
                                          regex(false, wholeWord))),
                  (std::vector<TextRange>{{50001, 6}}));
        EXPECT_EQ(rangesOf(findAllMatches(QStringLiteral("[A-Z]\\w+Error"), text,
                                          regex(false, wholeWord))),
                  (std::vector<TextRange>{{100009, 7}}));
    }
    EXPECT_EQ(
        replaceAllMatches(QStringLiteral("[A-Z]\\w+Error"), QStringLiteral("E"), text, regex())
            .count,
        1);
}

TEST(TextSearchTest, ReplacementTemplatesNeverFail) {
    // Only an invalid expression is an error: a "$" that names no group stays as typed and a
    // group the pattern does not have inserts nothing.
    const struct {
        const char16_t* replacement;
        const char16_t* expected;
    } cases[] = {
        {u"$", u"x$y"},           {u"$x", u"x$xy"},      {u"cost: $", u"xcost: $y"},
        {u"$9", u"xy"},           {u"[$19]", u"x[a9]y"}, {u"${nope}", u"x${nope}y"},
        {u"${word", u"x${wordy"}, {u"${1}", u"x${1}y"},  {u"\\$1\\", u"x$1y"},
        {u"<${w}$0>", u"x<aa>y"},
    };
    for (const auto& c : cases) {
        const QString replacement = QString::fromUtf16(c.replacement);
        EXPECT_EQ(replaceAllMatches(QStringLiteral("(?<w>a)"), replacement, QStringLiteral("xay"),
                                    regex(true))
                      .text,
                  QString::fromUtf16(c.expected))
            << replacement.toStdString();
        const auto current = replaceCurrentMatch(QStringLiteral("(?<w>a)"), replacement,
                                                 QStringLiteral("xay"), {1, 1}, regex(true));
        ASSERT_TRUE(current);
        EXPECT_EQ(current->text, QString::fromUtf16(c.expected));
        EXPECT_EQ(current->selection.length, current->text.size() - 2);
    }
}

TEST(TextSearchTest, ReplaceCurrentNeedsTheExactMatchSelected) {
    const QString text = QStringLiteral("one two one");
    const auto replaced = replaceCurrentMatch(QStringLiteral("one"), QStringLiteral("three"), text,
                                              {8, 3}, literal());
    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced->text, QStringLiteral("one two three"));
    EXPECT_EQ(replaced->selection, (TextRange{8, 5}));
    EXPECT_FALSE(
        replaceCurrentMatch(QStringLiteral("one"), QStringLiteral("x"), text, {8, 0}, literal()));
    EXPECT_FALSE(
        replaceCurrentMatch(QStringLiteral("one"), QStringLiteral("x"), text, {8, 2}, literal()));
    EXPECT_FALSE(
        replaceCurrentMatch(QStringLiteral("one"), QStringLiteral("x"), text, {4, 3}, literal()));
    // A selection that only looks like a match, because matching started elsewhere, is none.
    EXPECT_FALSE(replaceCurrentMatch(QStringLiteral("aa"), QStringLiteral("x"),
                                     QStringLiteral("aaa"), {1, 2}, literal()));
    const auto grouped = replaceCurrentMatch(QStringLiteral("(\\d+)"), QStringLiteral("<$1>"),
                                             QStringLiteral("a1 b22"), {4, 2}, regex());
    ASSERT_TRUE(grouped);
    EXPECT_EQ(grouped->text, QStringLiteral("a1 b<22>"));
    EXPECT_EQ(grouped->selection, (TextRange{4, 4}));
}

TEST(TextSearchTest, LinesAndColumns) {
    const QString text = QStringLiteral("ab\ncd\n\tx\nfoo");
    const auto starts = lineStartOffsets(text);
    EXPECT_EQ(starts, (QList<qsizetype>{0, 3, 6, 9}));
    EXPECT_EQ(lineStartOffsets(QStringLiteral("a\n")), (QList<qsizetype>{0, 2}));
    EXPECT_EQ(lineStartOffsets(QStringLiteral("a\rb")), (QList<qsizetype>{0}));
    const auto foo = findAllMatches(QStringLiteral("foo"), text, literal());
    ASSERT_EQ(foo.results.size(), 1);
    EXPECT_EQ(foo.results[0].line, 4);
    EXPECT_EQ(foo.results[0].column, 1);
    const auto x = findAllMatches(QStringLiteral("x"), text, literal());
    EXPECT_EQ(x.results[0].line, 3);
    EXPECT_EQ(x.results[0].column, 2);
    EXPECT_EQ(lineAndColumnForLocation(0, starts), (LineAndColumn{1, 1}));
    EXPECT_EQ(lineAndColumnForLocation(2, starts), (LineAndColumn{1, 3}));
    EXPECT_EQ(lineAndColumnForLocation(3, starts), (LineAndColumn{2, 1}));
    EXPECT_EQ(lineAndColumnForLocation(11, starts), (LineAndColumn{4, 3}));
    EXPECT_EQ(lineAndColumnForLocation(5, {0}), (LineAndColumn{1, 6}));
    EXPECT_EQ(lineAndColumnForLocation(-1, starts), (LineAndColumn{1, 0}));
    EXPECT_EQ(lineAndColumnForLocation(99, starts), (LineAndColumn{4, 91}));
}

TEST(TextSearchTest, PreviewsCutLongLinesAndDropLineBreaks) {
    const QString line = QString(150, u'a') + QStringLiteral("NEEDLE") + QString(150, u'b');
    const auto long_ = findAllMatches(QStringLiteral("needle"), line, literal());
    ASSERT_EQ(long_.results.size(), 1);
    const QString preview = long_.results[0].preview;
    EXPECT_EQ(preview, QChar(0x2026) + QString(60, u'a') + QStringLiteral("NEEDLE") +
                           QString(100, u'b') + QChar(0x2026));

    const auto short_ =
        findAllMatches(QStringLiteral("b"), QStringLiteral("x\n  a b c  \r\ny"), literal());
    EXPECT_EQ(short_.results[0].preview, QStringLiteral("a b c"));
    // A carriage return never shows, whichever side of the match it is on.
    const auto crlf =
        findAllMatches(QStringLiteral("end"), QStringLiteral("the end\r\nnext"), literal());
    EXPECT_EQ(crlf.results[0].preview, QStringLiteral("the end"));
    const auto after = findAllMatches(QStringLiteral("b"), QStringLiteral("a\rb c"), literal());
    EXPECT_EQ(after.results[0].preview, QStringLiteral("b c"));
    // Exactly 60 before and 100 after reach the line's edges: no ellipsis.
    const QString edge = QString(60, u'x') + QStringLiteral("M") + QString(99, u'y');
    EXPECT_EQ(findAllMatches(QStringLiteral("M"), edge, literal(true)).results[0].preview, edge);
}

TEST(TextSearchTest, PreviewKeepsWholeCharacters) {
    // Cutting 60 units before the match would split a surrogate pair; the preview takes the
    // whole character instead.
    QString text = QStringLiteral("x");
    for (int i = 0; i < 50; ++i)
        text.append(QStringLiteral("\U0001F600"));
    text.append(QStringLiteral("aNEEDLE"));
    const auto found = findAllMatches(QStringLiteral("NEEDLE"), text, literal(true));
    const QString preview = found.results[0].preview;
    ASSERT_GE(preview.size(), 3);
    EXPECT_EQ(preview[0], QChar(0x2026));
    EXPECT_TRUE(preview[1].isHighSurrogate());
    EXPECT_TRUE(preview.endsWith(QStringLiteral("aNEEDLE")));
    // A combining mark right after the 100-unit cut stays with its base letter.
    const QString accents =
        QStringLiteral("cc") + QString(100, u'd') + QStringLiteral("\u0301tail");
    const auto marks = findAllMatches(QStringLiteral("cc"), accents, literal(true));
    EXPECT_EQ(marks.results[0].preview,
              QStringLiteral("cc") + QString(100, u'd') + QStringLiteral("\u0301\u2026"));
}

TEST(TextSearchTest, IncrementalLinesMatchTheLineTable) {
    QRandomGenerator random(11);
    const QStringList pieces = {QStringLiteral("foo"),  QStringLiteral("\n"),
                                QStringLiteral(" "),    QStringLiteral("bar"),
                                QStringLiteral("\r\n"), QString(70, u'q'),
                                QStringLiteral("\t"),   QStringLiteral("\U0001F600")};
    for (int round = 0; round < 100; ++round) {
        QString text;
        for (int i = random.bounded(0, 80); i > 0; --i)
            text.append(pieces[random.bounded(int(pieces.size()))]);
        const auto starts = lineStartOffsets(text);
        for (const QString& query :
             {QStringLiteral("o"), QStringLiteral("q\\s*"), QStringLiteral("[^q]")}) {
            const auto found = findAllMatches(query, text, regex(true));
            for (const auto& result : found.results) {
                const auto place = lineAndColumnForLocation(result.range.location, starts);
                ASSERT_EQ(result.line, place.line);
                ASSERT_EQ(result.column, place.column);
                ASSERT_EQ(result.preview,
                          makeMatchPreview(result.range, text, starts, place.line - 1));
            }
        }
    }
}

TEST(TextSearchTest, LinesStayExactFarIntoALongText) {
    // Matches a few hundred thousand lines apart: the line feeds between them are counted in
    // blocks whose tallies must never overflow or lose the last line's start.
    QString text;
    for (int line = 0; line < 300000; ++line)
        text.append(line % 140000 == 139999 ? QStringLiteral("needle\n") : QStringLiteral("hay\n"));
    text.append(QStringLiteral("needle"));
    const auto starts = lineStartOffsets(text);
    const auto found = findAllMatches(QStringLiteral("needle"), text, literal(true));
    ASSERT_EQ(found.results.size(), 3);
    for (const auto& result : found.results) {
        const auto place = lineAndColumnForLocation(result.range.location, starts);
        EXPECT_EQ(result.line, place.line);
        EXPECT_EQ(result.column, place.column);
        EXPECT_EQ(result.preview, QStringLiteral("needle"));
    }
}

TEST(TextSearchTest, HistoryKeepsNewestFirstWithoutDuplicates) {
    EXPECT_EQ(updatedHistory({QStringLiteral("bar"), QStringLiteral("foo")},
                             QStringLiteral("  foo\n"), 12),
              (QStringList{QStringLiteral("foo"), QStringLiteral("bar")}));
    QStringList fifteen;
    for (int i = 0; i < 15; ++i)
        fifteen.append(QString::number(i));
    EXPECT_EQ(updatedHistory(fifteen, QStringLiteral("  "), 12), fifteen.first(12));
    EXPECT_EQ(updatedHistory(fifteen, QStringLiteral("new"), 12).size(), 12);
    EXPECT_EQ(updatedHistory(fifteen, QStringLiteral("new"), 12).first(), QStringLiteral("new"));
    EXPECT_EQ(updatedHistory(fifteen, QStringLiteral("x"), 0), QStringList());
    EXPECT_EQ(updatedHistory({QStringLiteral("Foo")}, QStringLiteral("foo"), 12),
              (QStringList{QStringLiteral("foo"), QStringLiteral("Foo")}));
    EXPECT_EQ(updatedHistory({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("a")},
                             QStringLiteral("a"), 12),
              (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
}

TEST(TextSearchTest, ResultIdentifiersAreRandomVersion4AndDistinct) {
    QSet<QUuid> seen;
    for (int i = 0; i < 10000; ++i) {
        const QUuid id = newResultIdentifier();
        ASSERT_EQ(id.version(), QUuid::Random);
        ASSERT_EQ(id.variant(), QUuid::DCE);
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 10000);
}

TEST(TextSearchTest, AStopFlagEndsASearchAsCancelledAndAnUnsetOneChangesNothing) {
    QString runaway;
    for (int i = 0; i < 200; ++i)
        runaway += QString(30, u'a') + QStringLiteral("b\n");
    // Set from another thread while the expression backtracks: the run ends as cancelled,
    // not after its work bound as timed out.
    std::atomic<bool> stop = false;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stop = true;
    });
    try {
        findAllMatches(QStringLiteral("(a+)+$"), runaway, regex(true), std::nullopt, &stop);
        ADD_FAILURE() << "the runaway search finished";
    } catch (const RegexError& error) {
        EXPECT_TRUE(error.isCancelled());
        EXPECT_FALSE(error.isTimeout());
    }
    stopper.join();
    // Set before the start: literal queries and open-ended searches stop too.
    for (const TextSearchOptions& options : {literal(true), literal(), regex()})
        EXPECT_THROW(findAllMatches(QStringLiteral("a"), runaway, options, std::nullopt, &stop),
                     RegexError);

    // Unset, the same matches, lines, previews and counts as a search without a flag.
    const std::atomic<bool> never = false;
    QRandomGenerator random(11);
    const QStringList pieces = {QStringLiteral("ab"),  QStringLiteral("Ab "),
                                QStringLiteral("x\n"), QStringLiteral("abab"),
                                QStringLiteral("é "),  QStringLiteral("_ab")};
    const QStringList queries = {QStringLiteral("ab"), QStringLiteral("a"), QStringLiteral("b\\s"),
                                 QStringLiteral("(ab)+"), QStringLiteral("x$")};
    for (int round = 0; round < 40; ++round) {
        QString text;
        while (text.size() < 3000)
            text += pieces.at(random.bounded(pieces.size()));
        const TextSearchOptions options{random.bounded(2) == 1, random.bounded(2) == 1,
                                        random.bounded(2) == 1};
        const QString query = queries.at(random.bounded(queries.size()));
        const TextSearchMatches plain = findAllMatches(query, text, options, 500);
        const TextSearchMatches flagged = findAllMatches(query, text, options, 500, &never);
        ASSERT_EQ(flagged.totalCount, plain.totalCount);
        ASSERT_EQ(flagged.results.size(), plain.results.size());
        for (qsizetype i = 0; i < plain.results.size(); ++i) {
            TextSearchResult same = flagged.results.at(i);
            same.id = plain.results.at(i).id;
            ASSERT_EQ(same, plain.results.at(i)) << query.toStdString() << " #" << i;
        }
    }
}

TEST(TextSearchTest, ALiteralFoundInPiecesGivesTheMatchesLinesAndPreviewsOfTheWholeText) {
    // Seams fall after line feeds near every size; matches next to them, words broken by them,
    // non-ASCII lines beside ASCII ones (which the case-folding scan takes alone) and lists cut
    // short must all come out as in one piece.
    const QStringList parts = {QStringLiteral("ab"),           QStringLiteral("Ab "),
                               QStringLiteral("x\n"),          QStringLiteral("\n"),
                               QStringLiteral("abab"),         QStringLiteral("\u212Ab"),
                               QStringLiteral("\U0001D400"),   QStringLiteral("_ab\n"),
                               QStringLiteral("stra\u00DFe "), QStringLiteral("\r\n")};
    const QStringList queries = {QStringLiteral("ab"),      QStringLiteral("a"),
                                 QStringLiteral("kb"),      QStringLiteral("b a"),
                                 QStringLiteral("STRASSE"), QStringLiteral("\U0001D400")};
    QRandomGenerator random(23);
    for (int round = 0; round < 50; ++round) {
        QString text;
        const int length = random.bounded(0, 400);
        while (text.size() < length)
            text += parts.at(random.bounded(parts.size()));
        const QString query = queries.at(random.bounded(queries.size()));
        const TextSearchOptions options = literal(random.bounded(2) == 1, random.bounded(2) == 1);
        const std::optional<qsizetype> maximum =
            random.bounded(3) == 0 ? std::optional<qsizetype>(random.bounded(0, 6)) : std::nullopt;
        const TextSearchMatches whole = findAllMatchesInPieces(query, text, options, 0, maximum);
        for (const qsizetype piece : {1, 2, 7, 31}) {
            const TextSearchMatches pieces =
                findAllMatchesInPieces(query, text, options, piece, maximum);
            ASSERT_EQ(pieces.totalCount, whole.totalCount) << query.toStdString() << piece;
            ASSERT_EQ(pieces.results.size(), whole.results.size()) << piece;
            for (qsizetype i = 0; i < whole.results.size(); ++i) {
                const TextSearchResult& expected = whole.results.at(i);
                const TextSearchResult& got = pieces.results.at(i);
                ASSERT_EQ(got.range, expected.range) << query.toStdString() << piece;
                ASSERT_EQ(got.line, expected.line) << piece;
                ASSERT_EQ(got.column, expected.column) << piece;
                ASSERT_EQ(got.preview, expected.preview) << piece;
            }
        }
    }
    // A query holding a line feed may span a seam: it is searched as one piece.
    const QString lines = QStringLiteral("a\nb\na\nb\n");
    EXPECT_EQ(findAllMatchesInPieces(QStringLiteral("a\nb"), lines, literal(true), 1).totalCount,
              2);
}

TEST(TextSearchTest, ASearchInPiecesStopsAsCancelledAndKeepsIdentifiersDistinct) {
    QString text;
    for (int i = 0; i < 2000; ++i)
        text += QStringLiteral("return a;\n");
    const std::atomic<bool> stop = true;
    EXPECT_THROW(findAllMatchesInPieces(QStringLiteral("return"), text, literal(true), 100,
                                        std::nullopt, &stop),
                 RegexError);
    const TextSearchMatches found =
        findAllMatchesInPieces(QStringLiteral("return"), text, literal(true), 100);
    ASSERT_EQ(found.totalCount, 2000);
    QSet<QUuid> ids;
    for (const TextSearchResult& result : found.results)
        ids.insert(result.id);
    EXPECT_EQ(ids.size(), 2000);
    EXPECT_EQ(found.results.last().line, 2000);
}
