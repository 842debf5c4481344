#include "DescribedMatches.h"
#include "text/FolderFileSearch.h"

#include <gtest/gtest.h>

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
    const char* piece; // ten units, the query's literal once
    TextSearchOptions options;
};

const TextSearchOptions kRegex{true, true, false};

// Queries whose literal stands every ten units, each a way the search builds its stretches:
// one a literal ending a match, one a literal with what may come before it, a whole line from
// the first one, folded or not, ending the file or not.
const LongLineCase kLongLineCases[] = {
    {";$", "x=1;a,b[2]", kRegex},
    {"a$", "x=1;a,b[2]", kRegex},
    {".*,", "x=1;a,b[2]", kRegex},
    {"[0-9]+\\]", "x=1;a,b[2]", kRegex},
    {"\\breturn\\b", "return a; ", kRegex},
    {"function\\(", "function(;", kRegex},
    {"\\bfoo\\w*", "foo bar x;", kRegex},
    {"FOO\\w*", "foo bar x;", {true, false, false}},
    {"bar", "foo bar x;", {true, false, true}},
};

} // namespace

TEST(FolderQueryWork, ReadsALongLineAFewTimesOverWhateverItsOccurrences) {
    // A file's cost follows its size: 20,000 occurrences on one line of 200,000 units are each
    // placed on the line without looking for its ends again.
    for (const LongLineCase& c : kLongLineCases) {
        const QString query = QString::fromUtf8(c.query);
        const QString text = lineOf(QString::fromUtf8(c.piece), 200'000);
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
        const QString text = lineOf(QString::fromUtf8(c.piece), 2'000'000);
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
