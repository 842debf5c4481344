// The vectorised, piecewise UTF-8 decoder must accept, refuse and decode exactly as ICU's strict
// converter does, wherever the pieces are cut, and its joined line breaks must be those of the
// plain text.
#include "platform/Utf8Decoding.h"
#include "platform/IcuConverter.h"
#include "platform/IdleThreadWork.h"

#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>
#include <QThreadPool>
#include <atomic>
#include <gtest/gtest.h>
#include <vector>

using namespace dunmoss;

namespace {

// Piece sizes that put seams inside characters, between CR and LF and in sixteen-byte blocks.
const qsizetype kPieceSizes[] = {0, 1, 2, 3, 5, 16, 17, 31, 64, 1000};

// The breaks and LF-only text of a decoded text, counted one unit at a time.
Utf8JoinedLines joinedByHand(const QString& text) {
    Utf8JoinedLines joined;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            ++joined.breaks.carriageReturns;
            joined.text.append(u'\n');
            if (i + 1 < text.size() && text[i + 1] == u'\n') {
                ++joined.breaks.pairs;
                ++joined.breaks.lineFeeds;
                ++i;
            }
        } else {
            joined.breaks.lineFeeds += text[i] == u'\n';
            joined.text.append(text[i]);
        }
    }
    return joined;
}

void expectSameAsIcu(QByteArrayView bytes) {
    const std::optional<QString> reference = icuDecode(IcuCharset::Utf8, bytes);
    const QByteArray hex = bytes.size() < 200 ? bytes.toByteArray().toHex() : QByteArray("(long)");
    for (const qsizetype piece : kPieceSizes) {
        const std::optional<QString> units = decodeUtf8InPieces(bytes, piece);
        ASSERT_EQ(units.has_value(), reference.has_value())
            << "piece " << piece << " " << hex.constData();
        const std::optional<Utf8JoinedLines> joined =
            decodeUtf8JoiningLineBreaksInPieces(bytes, piece);
        ASSERT_EQ(joined.has_value(), reference.has_value())
            << "piece " << piece << " " << hex.constData();
        if (!reference)
            continue;
        ASSERT_EQ(*units, *reference) << "piece " << piece << " " << hex.constData();
        const Utf8JoinedLines expected = joinedByHand(*reference);
        ASSERT_EQ(joined->text, expected.text) << "piece " << piece << " " << hex.constData();
        ASSERT_EQ(joined->breaks, expected.breaks) << "piece " << piece << " " << hex.constData();
    }
    EXPECT_EQ(decodeUtf8Units(bytes), reference);
}

// Random bytes built from pieces that matter to a UTF-8 decoder: ASCII runs long enough for the
// vector path, line breaks, every length of character, and every kind of invalid sequence.
QByteArray randomUtf8Like(QRandomGenerator& random, int parts, bool validOnly) {
    static const char* const kValid[] = {"\r\n",
                                         "\r",
                                         "\n",
                                         "\r\r\n",
                                         "\xC3\xA9",
                                         "\xDF\xBF",
                                         "\xE0\xA0\x80",
                                         "\xE4\xB8\xAD",
                                         "\xED\x9F\xBF",
                                         "\xEF\xBB\xBF",
                                         "\xF0\x90\x80\x80",
                                         "\xF4\x8F\xBF\xBF",
                                         "\xF0\x9F\x98\x80"};
    static const char* const kInvalid[] = {"\x80",
                                           "\xBF",
                                           "\xC0\x80",
                                           "\xC1\xBF",
                                           "\xC2",
                                           "\xE0\x80\x80",
                                           "\xE0\x9F\xBF",
                                           "\xED\xA0\x80",
                                           "\xED\xBF\xBF",
                                           "\xF0\x80\x80\x80",
                                           "\xF4\x90\x80\x80",
                                           "\xF5\x80\x80\x80",
                                           "\xFF",
                                           "\xE4\xB8",
                                           "\xF0\x9F\x98"};
    QByteArray bytes;
    for (int part = 0; part < parts; ++part) {
        const quint32 kind = random.bounded(10);
        if (kind < 5) {
            const int length = int(random.bounded(40));
            for (int i = 0; i < length; ++i)
                bytes.append(char(0x20 + random.bounded(0x5F)));
        } else if (kind < 9 || validOnly) {
            bytes.append(kValid[random.bounded(int(std::size(kValid)))]);
        } else {
            bytes.append(kInvalid[random.bounded(int(std::size(kInvalid)))]);
        }
    }
    return bytes;
}

} // namespace

TEST(Utf8Decoding, EveryKindOfSequenceDecodesAsIcuDoesInAnyPieces) {
    const char* const cases[] = {"",
                                 "a",
                                 "\r",
                                 "\n",
                                 "\r\n",
                                 "\n\r",
                                 "\xC2\x80",
                                 "\xC2",
                                 "\xE0\xA0\x80",
                                 "\xE0\x9F\x80",
                                 "\xED\x9F\xBF",
                                 "\xED\xA0\x80",
                                 "\xF0\x90\x80\x80",
                                 "\xF0\x8F\xBF\xBF",
                                 "\xF4\x8F\xBF\xBF",
                                 "\xF4\x90\x80\x80",
                                 "\xF5\x80\x80\x80",
                                 "\x80\x80\x80\x80\x80",
                                 "\xEF\xBB\xBFtext"};
    for (const char* bytes : cases)
        expectSameAsIcu(QByteArrayView(bytes));
    // A text with a NUL in it is still text.
    expectSameAsIcu(QByteArrayView("a\0b", 3));
}

TEST(Utf8Decoding, RandomBytesDecodeAsIcuDoesInAnyPieces) {
    QRandomGenerator random(20261207);
    for (int round = 0; round < 500; ++round)
        expectSameAsIcu(randomUtf8Like(random, 1 + int(random.bounded(60)), round % 2 == 0));
}

TEST(Utf8Decoding, AFaultAtAnySeamOrBlockEdgeIsRefused) {
    // One bad or cut sequence at every place of a 70-byte ASCII text with line breaks.
    const QByteArray ascii =
        QByteArray("The quick brown fox\r\njumps over\rthe lazy dog\n").repeated(2);
    for (const char* fault : {"\x80", "\xC3", "\xE4\xB8", "\xF0\x9F\x98", "\xED\xA0\x80"}) {
        for (qsizetype at = 0; at <= ascii.size(); ++at) {
            QByteArray bytes = ascii;
            bytes.insert(at, fault);
            expectSameAsIcu(bytes);
        }
    }
}

TEST(Utf8Decoding, RealFilesDecodeAsIcuDoesInAnyPieces) {
    int files = 0;
    QDirIterator it(QStringLiteral(DUNMOSS_SOURCE_DIR "/resources/l10n"), QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QByteArray bytes = file.readAll();
        expectSameAsIcu(bytes);
        expectSameAsIcu(bytes.replace("\n", "\r\n"));
        ++files;
    }
    EXPECT_GT(files, 3);
}

TEST(Utf8Decoding, ALargeTextDecodesAsAWholeOnOneThreadOrMany) {
    // Large enough for the pool where it has two threads: Chinese, emoji and CR LF pairs.
    QRandomGenerator random(7);
    QByteArray bytes;
    while (bytes.size() < 5'000'000)
        bytes += randomUtf8Like(random, 64, true);
    const std::optional<QString> reference = icuDecode(IcuCharset::Utf8, bytes);
    ASSERT_TRUE(reference);
    EXPECT_EQ(decodeUtf8Units(bytes), reference);
    const std::optional<Utf8JoinedLines> joined = decodeUtf8JoiningLineBreaks(bytes);
    ASSERT_TRUE(joined);
    const Utf8JoinedLines expected = joinedByHand(*reference);
    EXPECT_EQ(joined->text, expected.text);
    EXPECT_EQ(joined->breaks, expected.breaks);
    // One stray byte near the end spoils the whole.
    bytes[bytes.size() - 10] = char(0xFF);
    EXPECT_FALSE(decodeUtf8Units(bytes));
    EXPECT_FALSE(decodeUtf8JoiningLineBreaks(bytes));
}

TEST(IdleThreadWork, RunsEveryIndexOnceEvenFromInsideABusyPool) {
    std::vector<std::atomic<int>> runs(100);
    runOnIdleThreads(100, [&runs](int index) { ++runs[size_t(index)]; });
    for (const auto& count : runs)
        EXPECT_EQ(count.load(), 1);

    // Every pool thread asks for more work at once: none may wait for a queued helper.
    QThreadPool* pool = QThreadPool::globalInstance();
    std::atomic<int> total{0};
    for (int task = 0; task < pool->maxThreadCount() * 2; ++task) {
        pool->start([&total] { runOnIdleThreads(50, [&total](int) { ++total; }); });
    }
    pool->waitForDone();
    EXPECT_EQ(total.load(), pool->maxThreadCount() * 2 * 50);
}
