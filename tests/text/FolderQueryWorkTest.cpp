#include "DescribedMatches.h"
#include "text/FolderFileSearch.h"

#include <QRandomGenerator>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace dunmoss;
using dunmoss::test::described;

namespace {

const QUrl kUrl = QUrl::fromLocalFile(QStringLiteral("/x/app.min.js"));

// One line of minified script: the piece again and again, no line feed.
QString lineOf(const QString& piece, qsizetype units) {
    QString line;
    while (line.size() < units)
        line += piece;
    return line;
}

struct LongLineCase {
    const char* query;
    QString piece; // the query's literal once
    TextSearchOptions options;
};

const TextSearchOptions kRegex{true, true, false};

// A line of this many "x" costs "(x+x+)+(?=z) y" about a twentieth of a file's bound.
constexpr int kCostlyLineXs = 22;

// Occurrences 300 units apart, each searched on its own.
QString sparse(const char* occurrence) {
    const QString head = QString::fromUtf8(occurrence);
    return head + QString(300 - head.size(), u' ');
}

// Each a way the search builds its stretches: a literal ending a match, with or without what
// may come before it, or a whole line from the first one; folded or not; occurrences crowding
// the line (every ten units) or apart.
const LongLineCase kLongLineCases[] = {
    {";$", QStringLiteral("x=1;a,b[2]"), kRegex},
    {"a$", QStringLiteral("x=1;a,b[2]"), kRegex},
    {".*,", QStringLiteral("x=1;a,b[2]"), kRegex},
    {"[0-9]+\\]", QStringLiteral("x=1;a,b[2]"), kRegex},
    {"\\breturn\\b", QStringLiteral("return a; "), kRegex},
    {"function\\(", QStringLiteral("function(;"), kRegex},
    {"\\bfoo\\w*", QStringLiteral("foo bar x;"), kRegex},
    {"FOO\\w*", QStringLiteral("foo bar x;"), {true, false, false}},
    {"bar", QStringLiteral("foo bar x;"), {true, false, true}},
    {"[0-9]+\\]", sparse("x[12]"), kRegex},
    {"\\breturn\\b", sparse("return a;"), kRegex},
    {"\\w+;", sparse("x=a;"), kRegex},
    {"FOO\\w*", sparse("foo"), {true, false, false}},
};

// Lines of Cyrillic after a head of ASCII letters long enough to keep them apart: folded, each
// may hold any ASCII literal.
QString foldedLines(int lines) {
    QRandomGenerator random(5);
    QString text;
    for (int i = 0; i < lines; ++i) {
        for (int k = 0; k < 70; ++k)
            text += QChar(u'a' + random.bounded(26));
        const int wide = 30 + random.bounded(150);
        for (int k = 0; k < wide; ++k)
            text += k % 7 == 0 ? QChar(u' ') : QChar(char16_t(0x0430 + random.bounded(32)));
        text += u'\n';
    }
    return text;
}

// One line of runs of 2,000 to 10,000 of the alphabet's characters, each ended by the
// occurrence: a match, when any, takes in the whole run.
QString runsEndedBy(const char* alphabet, const char* occurrence) {
    const QString letters = QString::fromUtf8(alphabet);
    QRandomGenerator random(9);
    QString text;
    while (text.size() < 400'000) {
        const int length = 2000 + random.bounded(8000);
        for (int k = 0; k < length; ++k)
            text += letters[random.bounded(int(letters.size()))];
        text += QString::fromUtf8(occurrence);
    }
    return text;
}

} // namespace

TEST(FolderQueryWork, AnExpressionAnchoredAtTheTextStartReadsItsFirstLineAlone) {
    // Folded, every line beyond ASCII may hold the literal; ICU tries the text's start alone, and
    // so does the search, in the text or in its bytes.
    const QString text = QStringLiteral("Abc xyz\n") + foldedLines(2000);
    const qsizetype firstLine = text.indexOf(u'\n') + 1;
    for (const char* query : {"\\Aa", "^a", "x?\\Ab", "\\A\\w+ ", "(?i)\\AABC"}) {
        for (const bool folds : {true, false}) {
            const TextSearchOptions options{true, !folds, false};
            const QString pattern = QString::fromUtf8(query);
            const FolderQuery prepared(pattern, options);
            FolderSearchWork inText;
            const FolderFileMatches found =
                prepared.matchesInText(text, kUrl, 1'000'000, {}, &inText);
            EXPECT_LE(inText.unitsExamined, 4 * firstLine) << query << " folded " << folds;
            EXPECT_EQ(described(found),
                      described(folderMatchesInText(pattern, options, text, kUrl, 1'000'000)))
                << query;
            FolderSearchWork inBytes;
            EXPECT_EQ(described(prepared.matchesInFileBytes(text.toUtf8(), kUrl, 1'000'000, {},
                                                            &inBytes)),
                      described(found))
                << query;
            EXPECT_LE(inBytes.unitsExamined, 8 * firstLine) << query << " folded " << folds;
        }
    }
}

TEST(FolderQueryWork, FoldedLinesBeyondAsciiCostWhatOneRunOverThemCosts) {
    // Each line is a stretch that may match, too short to spare ICU anything: once such
    // stretches cover most of what was passed, one run takes the rest, and the lines' ends and
    // the literal are looked for no more.
    const QString text = foldedLines(3000);
    for (const char* query : {".*zzz", ".*timeout", "\\w+zzz", "[a-z]*xq"}) {
        const QString pattern = QString::fromUtf8(query);
        const TextSearchOptions options{true, false, false};
        const FolderQuery prepared(pattern, options);
        FolderSearchWork work;
        const FolderFileMatches found = prepared.matchesInText(text, kUrl, 1'000'000, {}, &work);
        EXPECT_LE(work.unitsExamined, 2 * text.size()) << query;
        EXPECT_EQ(described(found),
                  described(folderMatchesInText(pattern, options, text, kUrl, 1'000'000)))
            << query;
    }
}

TEST(FolderQueryWork, ReadsBackLittleOfARunTheExpressionReadsAgain) {
    // Reading back from an occurrence over a run the pattern takes in, when ICU then reads the
    // run all the same, goes no further than half of it, and an eighth once reading back keeps
    // finding nothing: the literal, the line's ends, ICU and the reading back come to less than
    // three and a half times the text.
    struct Case {
        const char* query;
        const char* alphabet;
        const char* occurrence;
    };
    const Case cases[] = {
        {"[0-9]+\\]", "0123456789", "]"},
        {"[a-z]*X\\b", "abcdefghijklmnopqrstuvwxyz", "X"},
        {"[a-z]*X\\b", "abcdefghijklmnopqrstuvwxyz", "X "},
        {"a\\w*X", "abcdefghijklmnopqrstuvwxyz0123456789_", "X"},
    };
    for (const Case& c : cases) {
        const QString query = QString::fromUtf8(c.query);
        const QString text = runsEndedBy(c.alphabet, c.occurrence);
        const FolderQuery prepared(query, kRegex);
        FolderSearchWork work;
        const FolderFileMatches found = prepared.matchesInText(text, kUrl, 1'000'000, {}, &work);
        EXPECT_LE(work.unitsExamined, 7 * text.size() / 2) << c.query << " " << c.occurrence;
        EXPECT_EQ(described(found),
                  described(folderMatchesInText(query, kRegex, text, kUrl, 1'000'000)))
            << c.query;
    }
}

TEST(FolderQueryWork, ReadsALongLineAFewTimesOverWhateverItsOccurrences) {
    // A file's cost follows its size: up to 20,000 occurrences on one line of 200,000 units are
    // each placed on the line without looking for its ends again.
    for (const LongLineCase& c : kLongLineCases) {
        const QString query = QString::fromUtf8(c.query);
        const QString text = lineOf(c.piece, 200'000);
        const FolderQuery prepared(query, c.options);
        FolderSearchWork work;
        const FolderFileMatches found = prepared.matchesInText(text, kUrl, 1'000'000, {}, &work);
        EXPECT_LE(work.unitsExamined, 8 * text.size()) << c.query;
        EXPECT_EQ(described(found),
                  described(folderMatchesInText(query, c.options, text, kUrl, 1'000'000)))
            << c.query;
    }
}

TEST(FolderQueryWork, SeesACancelInsideOneLongLine) {
    // Stop is pressed once the search has read 100,000 units of a line of 2,000,000: it ends
    // within a few checks, with what it found before.
    constexpr qsizetype kCancelAfter = 100'000;
    for (const LongLineCase& c : kLongLineCases) {
        const QString query = QString::fromUtf8(c.query);
        const QString text = lineOf(c.piece, 2'000'000);
        const FolderQuery prepared(query, c.options);
        FolderSearchWork work;
        const FolderFileMatches found = prepared.matchesInText(
            text, kUrl, 1'000'000, [&] { return work.unitsExamined > kCancelAfter; }, &work);
        EXPECT_LE(work.unitsExamined, kCancelAfter + 2 * SearchWorkMeter::kUnitsPerCheck)
            << c.query;
        const FolderFileMatches all = prepared.matchesInText(text, kUrl, 1'000'000);
        EXPECT_LT(found.found.size(), std::max<qsizetype>(all.found.size(), 1)) << c.query;
    }
}

TEST(FolderQueryWork, BoundsTheExpressionsWorkPerFileNotPerStretch) {
    // Each line is a stretch of its own, and alone well within the bound; a file of them is
    // too costly as a whole. (The bound is some seconds of backtracking.)
    const QString query = QStringLiteral("(x+x+)+(?=z) y");
    const QString line = QString(kCostlyLineXs, u'x') + QStringLiteral(" y\n");
    const FolderQuery prepared(query, kRegex);
    const FolderFileMatches alone = prepared.matchesInText(line, kUrl, 100);
    EXPECT_FALSE(alone.costly);
    const FolderFileMatches whole = prepared.matchesInText(line.repeated(20), kUrl, 100);
    EXPECT_EQ(whole.costly, kUrl);
    EXPECT_TRUE(whole.found.isEmpty());
}

TEST(FolderQueryWork, ListsNoMatchFoundAfterACancel) {
    // Stop is pressed on another thread as the search first asks, which does not see it yet.
    // Both the fast path and the plain one must then end before listing another match, though
    // each match looks ahead to the end of the line.
    const QString query = QStringLiteral("\\w*ed(?=.*Q)");
    const QString text = QStringLiteral("xed ").repeated(3000) + u'Q';
    const FolderQuery prepared(query, kRegex);
    for (const bool fast : {true, false}) {
        std::atomic<bool> stop = false;
        const CancellationCheck pressedAsFirstAsked = [&] {
            if (stop.load())
                return true;
            std::thread([&] { stop = true; }).join();
            return false;
        };
        const FolderFileMatches found =
            fast ? prepared.matchesInText(text, kUrl, 100'000, pressedAsFirstAsked)
                 : folderMatchesInText(query, kRegex, text, kUrl, 100'000, pressedAsFirstAsked);
        EXPECT_TRUE(stop.load()) << fast;
        EXPECT_TRUE(found.found.isEmpty()) << fast << ' ' << found.found.size();
        EXPECT_FALSE(found.costly) << fast;
    }
}

TEST(FolderQueryWork, CrowdedCandidateLinesOfAnExpressionThatJumpsToItsStartsAreOneRun) {
    // One short line in eight holds the literal: a run a line costs more than one run of an
    // expression that jumps to its possible starts itself, so after a few lines one run takes
    // the rest and the lines' ends and the literal are looked for no more.
    QString text;
    for (int line = 0; text.size() < 200'000; ++line)
        text += line % 8 == 0 ? QStringLiteral("2026-12-09 worker-7 request 41 ab Q abQ ed\n")
                              : QStringLiteral("2026-12-09 worker-7 request 41 served in time\n");
    for (const char* query : {"(ab)\\1Q", "(ab)Q"}) {
        const QString pattern = QString::fromUtf8(query);
        const FolderQuery prepared(pattern, kRegex);
        FolderSearchWork work;
        const FolderFileMatches found = prepared.matchesInText(text, kUrl, 1'000'000, {}, &work);
        EXPECT_LE(work.unitsExamined, text.size() + text.size() / 20) << query;
        EXPECT_EQ(described(found),
                  described(folderMatchesInText(pattern, kRegex, text, kUrl, 1'000'000)))
            << query;
    }
}

TEST(FolderQueryWork, CandidateLinesOfAnExpressionThatMayStartAtMostUnitsAreRunAlone) {
    // One line in eight holds the literal, as above, but the expression may start at every
    // letter of the text: one run over the rest would try each of them, so only those lines are
    // handed to it.
    QString text;
    for (int line = 0; text.size() < 200'000; ++line)
        text += line % 8 == 0 ? QStringLiteral("The request was Started and then served late\n")
                              : QStringLiteral("The quick brown fox jumps over the lazy dog\n");
    const QString pattern = QStringLiteral("[A-Z][a-z]+ed\\b");
    const TextSearchOptions folded{true, false, false};
    const FolderQuery prepared(pattern, folded);
    FolderSearchWork work;
    const FolderFileMatches found = prepared.matchesInText(text, kUrl, 1'000'000, {}, &work);
    EXPECT_LE(work.unitsRunOver, text.size() / 4);
    EXPECT_EQ(described(found),
              described(folderMatchesInText(pattern, folded, text, kUrl, 1'000'000)));
}
