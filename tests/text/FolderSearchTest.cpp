#include "text/FolderSearch.h"
#include "FolderTree.h"
#include "platform/IcuConverter.h"
#include "text/FolderPatterns.h"
#include "text/SearchableText.h"

#include <QSet>
#include <atomic>
#include <gtest/gtest.h>

using namespace dunmoss;
using dunmoss::test::FolderTree;

namespace {

const TextSearchOptions kLiteral{false, true, false};

QByteArray utf16le(const QString& text) {
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

class FolderSearch : public ::testing::Test {
protected:
    QList<FolderSearchResult> search(const QString& query, const QStringList& include = {},
                                     const QStringList& exclude = {},
                                     const TextSearchOptions& options = kLiteral,
                                     int limit = folderSearchResultLimit) {
        return searchFolder(query, tree.rootURL(), include, exclude, options, limit);
    }

    // Relative paths of the files with results, sorted.
    QStringList filesFound(const QList<FolderSearchResult>& results) {
        QSet<QString> files;
        for (const FolderSearchResult& result : results)
            files.insert(result.url.toLocalFile().mid(tree.root().size() + 1));
        QStringList sorted(files.begin(), files.end());
        sorted.sort();
        return sorted;
    }

    FolderTree tree;
};

} // namespace

TEST_F(FolderSearch, WalksOnlyVisibleRegularFilesOutsideSkippedFoldersAndNeverFollowsLinks) {
    FolderTree outside;
    outside.write(QStringLiteral("secret.txt"), "needle");
    for (const char* path : {"node_modules/a.txt", ".git/config", "src/a.txt", ".env",
                             ".hidden/b.txt", "deep/er/DerivedData/c.txt", "deep/er/d.txt"})
        tree.write(QString::fromLatin1(path), "needle");
    tree.symlink(tree.path(QStringLiteral("src/a.txt")), QStringLiteral("link.txt"));
    tree.symlink(outside.root(), QStringLiteral("outside"));
    tree.symlink(tree.root(), QStringLiteral("src/loop"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(tree.path(QStringLiteral("fifo.txt"))).constData(), 0600),
              0);

    const auto results = search(QStringLiteral("needle"));
    EXPECT_EQ(filesFound(results), (QStringList{"deep/er/d.txt", "src/a.txt"}));
    EXPECT_EQ(results[0].line, 1);
    EXPECT_EQ(results[0].column, 1);
    EXPECT_EQ(results[0].preview, QStringLiteral("needle"));
    EXPECT_NE(results[0].id, results[1].id);
}

TEST_F(FolderSearch, AnEmptyQueryReadsNothingAndASpaceIsSearched) {
    tree.write(QStringLiteral("a.txt"), "a b");
    EXPECT_TRUE(search(QString()).isEmpty());
    EXPECT_EQ(search(QStringLiteral(" ")).size(), 1);
    EXPECT_TRUE(
        searchFolder(QStringLiteral("a"), tree.url("missing"), {}, {}, kLiteral, 500).isEmpty());
}

TEST(FolderPatterns, CandidatesOfAPattern) {
    const struct {
        const char* pattern;
        QStringList candidates;
    } cases[] = {
        {"src/", {"src/", "src/*"}},        {".md", {".md", "*.md"}},     {"md", {"md", "*.md"}},
        {"README", {"README", "*.README"}}, {" *.txt ", {"*.txt"}},       {"a.b", {"a.b"}},
        {"docs/*.md", {"docs/*.md"}},       {"file?.txt", {"file?.txt"}}, {"  ", {}},
    };
    for (const auto& c : cases) {
        QStringList got = wildcardPatternCandidates(QString::fromLatin1(c.pattern));
        got.sort();
        QStringList expected = c.candidates;
        expected.sort();
        EXPECT_EQ(got, expected) << c.pattern;
    }
}

TEST(FolderPatterns, IncludeAndExcludeMatchTheNameOrThePathBelowTheRoot) {
    const QUrl root = QUrl::fromLocalFile(QStringLiteral("/r"));
    const struct {
        const char* file;
        QStringList include;
        QStringList exclude;
        bool accepted;
    } cases[] = {
        {"README.md", {".md"}, {}, true},
        {"docs/guide.MD", {".md"}, {}, true},
        {"docs/guide.MD", {"md"}, {}, true},
        {"src/a.txt", {"src/"}, {}, true},
        {"src/b/c.txt", {"src/"}, {}, true},
        {"lib/src/a.txt", {"src/"}, {}, false},
        {"build/x.txt", {"*.txt"}, {"build/"}, false},
        {"x.txt", {"*.txt"}, {"build/"}, true},
        {"test", {}, {"test"}, false},
        {"a.test", {}, {"test"}, false},
        {"test.txt", {}, {"test"}, true},
        {"Sources/App/main.swift", {"*.swift"}, {}, true},
        {"a.txt", {" ", ""}, {}, false},
        {"a.txt", {}, {}, true},
        {"file1.txt", {"file?.txt"}, {}, true},
        {"file12.txt", {"file?.txt"}, {}, false},
        {"a+b(1).txt", {"a+b(1).*"}, {}, true},
    };
    for (const auto& c : cases) {
        WildcardRegexCache cache;
        const QUrl file = QUrl::fromLocalFile(QStringLiteral("/r/") + QString::fromLatin1(c.file));
        EXPECT_EQ(fileMatchesFolderPatterns(file, root, c.include, c.exclude, cache), c.accepted)
            << c.file << " include " << qPrintable(c.include.join(u',')) << " exclude "
            << qPrintable(c.exclude.join(u','));
    }
}

TEST_F(FolderSearch, ScreensFilesBySizeZeroBytesAndDecoding) {
    using Kind = SearchableFileContent::Kind;
    QByteArray exact(folderSearchMaxFileBytes, 'a');
    exact.replace(0, 6, "needle");
    QByteArray lateZero(folderSearchSniffByteCount, 'a');
    lateZero += QByteArray(1, '\0') + "needle";
    const QString text = QStringLiteral("needle\nzweite Zeile\n");
    const struct {
        const char* name;
        QByteArray bytes;
        Kind kind;
    } cases[] = {
        {"exact.txt", exact, Kind::Text},
        {"over.txt", exact + 'a', Kind::Oversized},
        {"le-bom.txt", QByteArray("\xFF\xFE", 2) + utf16le(text), Kind::Text},
        {"le-bare.txt", utf16le(text), Kind::Text},
        {"binary.bin", QByteArray("needle\0\x01\x02\xFF\xFE\x80\xFF", 13), Kind::Binary},
        {"late-zero.txt", lateZero, Kind::Text},
        {"latin1-only.txt", QByteArray("needle\x81\x7f\x81"), Kind::EncodingFailed},
    };
    for (const auto& c : cases) {
        const QString path = tree.write(QString::fromLatin1(c.name), c.bytes);
        const SearchableFileContent content = loadSearchableText(QUrl::fromLocalFile(path));
        EXPECT_EQ(content.kind, c.kind) << c.name;
        if (c.kind == Kind::Text) {
            EXPECT_TRUE(content.text.contains(QStringLiteral("needle"))) << c.name;
        }
    }
    EXPECT_EQ(filesFound(search(QStringLiteral("needle"))),
              (QStringList{"exact.txt", "late-zero.txt", "le-bare.txt", "le-bom.txt"}));
    EXPECT_EQ(loadSearchableText(tree.path(QStringLiteral("missing"))).kind, Kind::EncodingFailed);
}

// Files are read into memory a thread reuses: bytes a caller still holds are never written over
// by the next file, whatever the sizes.
TEST_F(FolderSearch, BytesReadStayTheCallersWhileLaterFilesAreRead) {
    const QByteArray sizes[] = {
        QByteArray(3000, 'a'),    QByteArray(10, 'b'),      QByteArray(),
        QByteArray(1 << 20, 'c'), QByteArray(3 << 20, 'd'), QByteArray(200'000, 'e')};
    QList<QByteArray> held;
    for (const QByteArray& bytes : sizes) {
        const QString path = tree.write(QString::number(held.size()), bytes);
        held.append(readSearchableBytes(path).bytes);
        ASSERT_EQ(held.last(), bytes);
        // A file read and let go in between.
        const SearchableFileContent dropped = readSearchableBytes(path);
        EXPECT_EQ(dropped.bytes, bytes);
    }
    for (qsizetype i = 0; i < held.size(); ++i)
        EXPECT_EQ(held[i], sizes[i]) << i;
}

TEST_F(FolderSearch, CountsLinesAtLineFeedsAndPreviewsWithoutCarriageReturns) {
    tree.write(QStringLiteral("crlf.txt"), "one\r\ntwo needle\r\nthree\r\n");
    tree.write(QStringLiteral("cr.txt"), "one\rtwo needle\rthree needle\r");
    const auto crlf = search(QStringLiteral("needle"), {QStringLiteral("crlf.txt")});
    ASSERT_EQ(crlf.size(), 1);
    EXPECT_EQ(crlf[0].line, 2);
    EXPECT_EQ(crlf[0].column, 5);
    EXPECT_EQ(crlf[0].preview, QStringLiteral("two needle"));
    const auto cr = search(QStringLiteral("needle"), {QStringLiteral("cr.txt")});
    ASSERT_EQ(cr.size(), 2);
    EXPECT_EQ(cr[0].line, 1);
    EXPECT_EQ(cr[1].line, 1);
}

TEST_F(FolderSearch, StopsAtTheLimitInWalkOrder) {
    const QByteArray lines = QByteArray("x needle\n").repeated(300);
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        tree.write(QString::fromLatin1(name), lines);
    const auto results = search(QStringLiteral("needle"));
    ASSERT_EQ(results.size(), 500);
    const auto groups = groupFolderSearchResults(results);
    ASSERT_EQ(groups.size(), 2);
    EXPECT_EQ(groups[0].results.size(), 300);
    EXPECT_EQ(groups[1].results.size(), 200);
    EXPECT_EQ(groups[1].results.last().line, 200);
    // Without a limit in reach every file is searched, in the same order.
    const auto all = search(QStringLiteral("needle"), {}, {}, kLiteral, 10'000);
    ASSERT_EQ(all.size(), 900);
    EXPECT_EQ(all[299].url, results[299].url);
    EXPECT_EQ(all[300].url, results[300].url);
}

TEST_F(FolderSearch, ManyFilesComeBackInWalkOrderAndACancelledRunStops) {
    for (int i = 0; i < 300; ++i)
        tree.write(QStringLiteral("d%1/f%2.txt").arg(i % 7).arg(i), "needle\n");
    QStringList walked;
    walkFolderFiles(tree.root(), {}, [&](const QString& path) {
        walked.append(path);
        return true;
    });
    const auto results = search(QStringLiteral("needle"), {}, {}, kLiteral, 10'000);
    ASSERT_EQ(results.size(), 300);
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(results[i].url.toLocalFile(), walked[i]) << i;

    EXPECT_TRUE(searchFolder(QStringLiteral("needle"), tree.rootURL(), {}, {}, kLiteral, 500, [] {
                    return true;
                }).isEmpty());
}

TEST_F(FolderSearch, ACancellationStopsAnExpressionInsideAFile) {
    QByteArray runaway;
    for (int i = 0; i < 200; ++i)
        runaway += QByteArray(30, 'a') + "b\n";
    tree.write(QStringLiteral("a.txt"), runaway);
    // Asked before the file is read and before its first match; true once the expression runs.
    std::atomic<int> asked = 0;
    const CancellationCheck cancelled = [&] { return asked.fetch_add(1) >= 2; };
    QList<FolderSearchResult> results;
    EXPECT_NO_THROW(results = searchFolder(QStringLiteral("(a+)+$"), tree.rootURL(), {}, {},
                                           TextSearchOptions{true, true, false}, 500, cancelled))
        << "the file ran to its work bound";
    EXPECT_TRUE(results.isEmpty());
    EXPECT_GT(asked.load(), 2);
}

TEST_F(FolderSearch, AnInvalidExpressionFailsOnlyOnceATextFileIsReached) {
    const TextSearchOptions regex{true, true, false};
    tree.write(QStringLiteral("data.bin"), QByteArray("\0\x01\xFF", 3));
    EXPECT_TRUE(search(QStringLiteral("(unclosed"), {}, {}, regex).isEmpty());
    tree.write(QStringLiteral("a.txt"), "text");
    EXPECT_THROW(search(QStringLiteral("(unclosed"), {}, {}, regex), RegexError);
    EXPECT_EQ(search(QStringLiteral("t(e)x"), {}, {}, regex).size(), 1);
}

TEST(FolderSearchResults, FilterGroupAndCountByFile) {
    auto result = [](const char* path, qsizetype line, qsizetype column, const char* preview) {
        return FolderSearchResult{QUuid::createUuid(),
                                  QUrl::fromLocalFile(QString::fromLatin1(path)), line, column,
                                  QString::fromLatin1(preview)};
    };
    const QList<FolderSearchResult> results{
        result("/p/A.txt", 12, 5, "alpha"), result("/p/B.txt", 1, 1, "beta"),
        result("/p/./A.txt", 3, 4, "Gamma 12:5"), result("/p/B.txt", 2, 1, "delta")};
    EXPECT_EQ(countUniqueResultFiles(results), 2);

    const auto groups = groupFolderSearchResults(results);
    ASSERT_EQ(groups.size(), 2);
    EXPECT_EQ(groups[0].url, results[0].url);
    EXPECT_EQ(groups[0].results, (QList<FolderSearchResult>{results[0], results[2]}));
    EXPECT_EQ(groups[1].results, (QList<FolderSearchResult>{results[1], results[3]}));
    EXPECT_EQ(folderSearchResultGroupID(groups[0]), QStringLiteral("/p/A.txt"));
    EXPECT_TRUE(groupFolderSearchResults({}).isEmpty());

    EXPECT_EQ(filterFolderSearchResults(results, QStringLiteral("  12:5 ")),
              (QList<FolderSearchResult>{results[0], results[2]}));
    EXPECT_EQ(filterFolderSearchResults(results, QStringLiteral("b.TXT")),
              (QList<FolderSearchResult>{results[1], results[3]}));
    EXPECT_EQ(filterFolderSearchResults(results, QStringLiteral("gamma")),
              (QList<FolderSearchResult>{results[2]}));
    EXPECT_EQ(filterFolderSearchResults(results, QStringLiteral(" \n")), results);
}

// No text form names a file whose name is not valid UTF-8: the walk reports it in a readable
// form, whether its own name or a folder's is at fault, and a search counts what the patterns
// take of them instead of leaving them out unnoticed.
TEST_F(FolderSearch, NamesThatAreNotUtf8AreCountedNotSearched) {
    tree.write(QStringLiteral("a.txt"), "needle\n");
    tree.writeNative("caf\xE9.txt", "needle\n");
    tree.writeNative("d\xFF/b.txt", "needle\n");
    tree.writeNative("d\xFF/c.md", "needle\n");
    QStringList walked;
    QStringList unnamed;
    FolderWalkOptions options;
    options.unnamedFile = [&](const QString& path) { unnamed.append(path); };
    walkFolderFiles(
        tree.root(), {},
        [&](const QString& path) {
            walked.append(path);
            return true;
        },
        options);
    unnamed.sort();
    EXPECT_EQ(walked, QStringList{tree.path(QStringLiteral("a.txt"))});
    EXPECT_EQ(unnamed, (QStringList{tree.path(QStringLiteral("caf\\xE9.txt")),
                                    tree.path(QStringLiteral("d\\xFF/b.txt")),
                                    tree.path(QStringLiteral("d\\xFF/c.md"))}));

    int skipped = -1;
    EXPECT_EQ(
        searchFolder(QStringLiteral("needle"), tree.rootURL(), {}, {}, kLiteral, 500, {}, &skipped)
            .size(),
        1);
    EXPECT_EQ(skipped, 3);
    searchFolder(QStringLiteral("needle"), tree.rootURL(), {QStringLiteral("*.txt")}, {}, kLiteral,
                 500, {}, &skipped);
    EXPECT_EQ(skipped, 2);
}

// An expression that backtracks without end over one file costs that file only: it is listed
// as not searched, and every other file keeps its matches.
TEST_F(FolderSearch, AFileTooCostlyForTheExpressionIsListedAndTheOthersKeepTheirMatches) {
    tree.write(QStringLiteral("a.txt"), "needle\n");
    tree.write(QStringLiteral("b.txt"), "needle " + QByteArray(40, 'x') + "\n");
    tree.write(QStringLiteral("c.txt"), "one needle\n");
    const TextSearchOptions regex{true, true, false};
    QList<QUrl> costly{QUrl(QStringLiteral("file:///stale"))};
    const auto results = searchFolder(QStringLiteral("needle|(x+x+)+y"), tree.rootURL(), {}, {},
                                      regex, 500, {}, nullptr, &costly);
    EXPECT_EQ(filesFound(results), (QStringList{"a.txt", "c.txt"}));
    EXPECT_EQ(costly, QList<QUrl>{tree.url(QStringLiteral("b.txt"))});
}

// Ignoring case, "[A-Z]" takes every letter of a long run: the search still covers the file
// and finds what lies behind it.
TEST_F(FolderSearch, ALongRunOfLettersIsSearchedThrough) {
    QByteArray letters;
    for (int i = 0; i < 50000; ++i)
        letters.append(char('a' + i * 7 % 26));
    tree.write(QStringLiteral("minified.js"), letters + " Handed\n");
    tree.write(QStringLiteral("notes.txt"), "Started\n");
    QList<QUrl> costly;
    const auto results =
        searchFolder(QStringLiteral("[A-Z][a-z]+ed\\b"), tree.rootURL(), {}, {},
                     TextSearchOptions{true, false, false}, 500, {}, nullptr, &costly);
    EXPECT_EQ(filesFound(results), (QStringList{"minified.js", "notes.txt"}));
    EXPECT_TRUE(costly.isEmpty());
}
