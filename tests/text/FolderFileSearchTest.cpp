#include "text/FolderFileSearch.h"
#include "DescribedMatches.h"
#include "text/EncodingDetection.h"
#include "text/SearchableText.h"
#include "text/Utf8LiteralScan.h"

#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace dunmoss;
using dunmoss::test::described;

namespace {

const QUrl kUrl = QUrl::fromLocalFile(QStringLiteral("/x/file.txt"));

// The matches of the decoded text, the way every file was searched before the byte scan.
FolderFileMatches decodedMatches(const QString& query, const TextSearchOptions& options,
                                 const QByteArray& bytes, qsizetype room,
                                 const CancellationCheck& cancelled = {}) {
    const SearchableFileContent content = screenSearchableBytes(bytes);
    if (content.kind != SearchableFileContent::Kind::Text)
        return {};
    return folderMatchesInText(query, options, content.text, kUrl, room, cancelled);
}

// Both paths agree on the bytes; true when the byte scan really ran.
bool expectSameMatches(const QString& query, const TextSearchOptions& options,
                       const QByteArray& bytes, qsizetype room = 1'000'000) {
    const QStringList expected = described(decodedMatches(query, options, bytes, room));
    const QStringList actual =
        described(folderMatchesInFileBytes(query, options, bytes, kUrl, room));
    EXPECT_EQ(actual, expected) << "query " << query.toStdString() << " in "
                                << bytes.left(300).toStdString();
    return findsInUtf8Bytes(query, options, bytes);
}

QString randomPieces(QRandomGenerator& random, const QStringList& pieces, int count) {
    QString text;
    for (int i = 0; i < count; ++i)
        text += pieces[random.bounded(int(pieces.size()))];
    return text;
}

} // namespace

TEST(Utf8LiteralScan, PlacesMatchesAsTheDecodedTextDoes) {
    const TextSearchOptions literal{false, true, false};
    const auto found = [&](const char* bytes, const char* query, const TextSearchOptions& options) {
        return described(folderMatchesInFileBytes(QString::fromUtf8(query), options,
                                                  QByteArray(bytes), kUrl, 100));
    };
    // Matches never overlap: "aa" is found once in "aaa" and twice in "aaaa".
    EXPECT_EQ(found("aaa\naaaa", "aa", literal), (QStringList{"1:1 aaa", "2:1 aaaa", "2:3 aaaa"}));
    // Columns count UTF-16 units; a lone CR ends no line but cuts the preview.
    EXPECT_EQ(found("\xF0\x9F\x98\x80\xC3\xA9x\rx\r\nx", "x", literal),
              (QStringList{"1:4 \xF0\x9F\x98\x80\xC3\xA9x", "1:6 x", "2:1 x"}));
    // A whole word is bounded by characters that are no word characters, whatever their size:
    // "é" and "_" are word characters, Han is not.
    const char* words = "\xC3\xA9"
                        "ab ab_ ab\xE4\xB8\xAD ab";
    EXPECT_EQ(found(words, "ab", {false, true, true}),
              (QStringList{QStringLiteral("1:9 ") + QString::fromUtf8(words),
                           QStringLiteral("1:13 ") + QString::fromUtf8(words)}));
}

TEST(Utf8LiteralScan, TakesOnlyPlainUtf8AndLiteralsItCanFind) {
    const QList<QByteArray> plain = {
        "", "ascii only\r\n",
        "gr\xC3\xBC\xC3\x9F"
        "e \xF0\x9F\x98\x80\n",
        QByteArray(70'000, 'a') + QByteArray(1, '\0'), // a zero byte past every sample
    };
    for (const QByteArray& bytes : plain) {
        EXPECT_TRUE(detectsAsPlainUtf8(bytes)) << bytes.left(40).toStdString();
        const std::optional<DecodedTextData> decoded = decodeTextData(bytes);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->step, DetectionStep::Utf8);
        EXPECT_EQ(decoded->text, QString::fromUtf8(bytes));
    }
    const QList<QByteArray> others = {
        "\xEF\xBB\xBFmarked",               // UTF-8 mark
        QByteArray("a\0b\0c\0d\0\n\0", 10), // UTF-16 without a mark
        "caf\xE9",                          // Latin-1
        "\xC0\xAF overlong",
        "\xED\xA0\x80 surrogate",                  // refused by strict UTF-8
        "\x1B$B\x30\x21\x1B(B ISO-2022-JP text\n", // escapes of a 7-bit encoding
    };
    for (const QByteArray& bytes : others)
        EXPECT_FALSE(detectsAsPlainUtf8(bytes)) << bytes.toStdString();

    EXPECT_TRUE(findsInUtf8Bytes(QStringLiteral("a b"), {false, true, true}));
    // Ignoring case only ASCII is sure to match as the expression does.
    EXPECT_TRUE(findsInUtf8Bytes(QStringLiteral("ab"), {false, false, false}, "xAB"));
    EXPECT_FALSE(findsInUtf8Bytes(QStringLiteral("ab"), {false, false, false},
                                  "\xC3\xA9"
                                  "AB"));
    EXPECT_FALSE(findsInUtf8Bytes(QString::fromUtf8("\xC3\xA9"), {false, false, false}));
    EXPECT_FALSE(findsInUtf8Bytes(QStringLiteral("a+"), {true, true, false}));
    EXPECT_FALSE(findsInUtf8Bytes(QStringLiteral("a\nb"), {false, true, false}));
    EXPECT_FALSE(findsInUtf8Bytes(QStringLiteral("a\rb"), {false, true, false}));
    EXPECT_FALSE(findsInUtf8Bytes(QString(QChar(0xD800)), {false, true, false}));
    EXPECT_FALSE(findsInUtf8Bytes(QString(), {false, true, false}));
}

TEST(Utf8LiteralScan, RandomTextsGiveTheDecodedTextsMatches) {
    QRandomGenerator random(34);
    const QStringList pieces = {
        QStringLiteral("a"),    QStringLiteral("a"),          QStringLiteral("b"),
        QStringLiteral(" "),    QStringLiteral("\n"),         QStringLiteral("\r\n"),
        QStringLiteral("\r"),   QStringLiteral("_"),          QStringLiteral("1"),
        QStringLiteral("\t"),   QString::fromUtf8("é"),       QString::fromUtf8("中"),
        QString::fromUtf8("😀"), QString::fromUtf8("e\u0301"), QString::fromUtf8("🇫🇷"),
        QString(u'\u200D'),     QString::fromUtf8("ß"),       QString(200, u'a'),
    };
    const QStringList queryPieces = {QStringLiteral("a"),         QStringLiteral("b"),
                                     QStringLiteral(" "),         QString::fromUtf8("é"),
                                     QString::fromUtf8("中"),     QString::fromUtf8("😀"),
                                     QString::fromUtf8("\u0301"), QStringLiteral("_")};
    const QStringList asciiPieces = {
        QStringLiteral("a"), QStringLiteral("A"),    QStringLiteral("b"),  QStringLiteral("B"),
        QStringLiteral(" "), QStringLiteral("\r\n"), QStringLiteral("\n"), QStringLiteral("_"),
        QStringLiteral("@"), QStringLiteral("["),    QStringLiteral("`"),  QStringLiteral("{")};
    const QStringList asciiQueryPieces = {QStringLiteral("a"),  QStringLiteral("B"),
                                          QStringLiteral("aB"), QStringLiteral("@"),
                                          QStringLiteral("`"),  QStringLiteral(" ")};
    int scanned = 0;
    for (int round = 0; round < 3000; ++round) {
        const QByteArray bytes = randomPieces(random, pieces, random.bounded(1, 60)).toUtf8();
        const QString query = randomPieces(random, queryPieces, random.bounded(1, 4));
        const TextSearchOptions options{false, true, random.bounded(2) == 1};
        scanned += expectSameMatches(query, options, bytes, random.bounded(1, 8));
        expectSameMatches(query, options, bytes);
        // Ignoring case over ASCII: letters of either case on both sides.
        const QByteArray ascii = randomPieces(random, asciiPieces, random.bounded(1, 60)).toUtf8();
        const QString asciiQuery = randomPieces(random, asciiQueryPieces, random.bounded(1, 4));
        const TextSearchOptions ignoringCase{false, false, random.bounded(2) == 1};
        scanned += expectSameMatches(asciiQuery, ignoringCase, ascii, random.bounded(1, 8));
        expectSameMatches(asciiQuery, ignoringCase, ascii);
    }
    // Nearly every round took the byte scan: the comparison was not of one path with itself.
    EXPECT_GT(scanned, 5900);
}

TEST(Utf8LiteralScan, RealFilesGiveTheDecodedTextsMatches) {
    QStringList roots = {QStringLiteral(DUNMOSS_SOURCE_DIR "/tests/data"),
                         QStringLiteral(DUNMOSS_SOURCE_DIR "/src/text"),
                         QStringLiteral("/usr/share/doc")};
    const QStringList queries = {QStringLiteral("the"),    QStringLiteral("e"),
                                 QStringLiteral("return"), QString::fromUtf8("é"),
                                 QString::fromUtf8("の"),  QStringLiteral("a")};
    int files = 0;
    int scanned = 0;
    for (const QString& root : roots) {
        QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
        for (int taken = 0; it.hasNext() && taken < 150;) {
            QFile file(it.next());
            if (it.fileInfo().size() > 2'000'000 || !file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray bytes = file.readAll();
            ++taken;
            ++files;
            for (const QString& query : queries) {
                for (const bool wholeWord : {false, true}) {
                    scanned += expectSameMatches(query, {false, true, wholeWord}, bytes, 500);
                    expectSameMatches(query, {false, false, wholeWord}, bytes, 500);
                }
            }
        }
    }
    EXPECT_GT(files, 20);
    EXPECT_GT(scanned, 100);
}

TEST(Utf8LiteralScan, ACancelledSearchStopsLikeTheDecodedOne) {
    QByteArray bytes;
    for (int i = 0; i < 3000; ++i)
        bytes += "x needle\n";
    const TextSearchOptions literal{false, true, false};
    int asked = 0;
    // Asked before the first match and again before the 1,025th.
    const CancellationCheck secondTime = [&asked] { return ++asked >= 2; };
    const FolderFileMatches fromBytes =
        folderMatchesInFileBytes(QStringLiteral("needle"), literal, bytes, kUrl, 5000, secondTime);
    EXPECT_EQ(asked, 2);
    asked = 0;
    const FolderFileMatches decoded =
        decodedMatches(QStringLiteral("needle"), literal, bytes, 5000, secondTime);
    EXPECT_EQ(described(fromBytes), described(decoded));
    EXPECT_EQ(fromBytes.found.size(), 1024);
    EXPECT_TRUE(folderMatchesInFileBytes(QStringLiteral("needle"), literal, bytes, kUrl, 5000, [] {
                    return true;
                }).found.isEmpty());
}
