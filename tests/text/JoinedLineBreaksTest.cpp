// A document decoded with its line breaks joined in the same pass must be the document that
// decoding first and joining afterwards gives: same encoding, warning, line ending and text.
#include "text/EncodingDetection.h"
#include "text/TextFileLoader.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

PlainTextDocument decodedThenJoined(QByteArrayView bytes) {
    const std::optional<DecodedTextData> decoded = decodeTextData(bytes);
    EXPECT_TRUE(decoded);
    EXPECT_FALSE(decoded->joinedLineEnding);
    return makePlainTextDocument(decoded->text, decoded->encoding, decoded->decodedViaFallback);
}

void expectSameDocument(QByteArrayView bytes) {
    const PlainTextDocument joined = decodeDocumentData(bytes);
    const PlainTextDocument reference = decodedThenJoined(bytes);
    EXPECT_EQ(joined.encoding, reference.encoding);
    EXPECT_EQ(joined.lineEnding, reference.lineEnding);
    EXPECT_EQ(joined.decodedViaFallback, reference.decodedViaFallback);
    EXPECT_EQ(joined.text, reference.text);
}

QByteArray utf16LittleEndian(const QString& text) {
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

} // namespace

TEST(JoinedLineBreaks, EveryMixOfBreaksGivesTheLineEndingAndTextOfBefore) {
    for (const char* text :
         {"", "one", "a\r\nb\r\nc", "a\rb\rc\n", "a\nb\r\nc\n", "\r\n\r\n\n\n\n", "\r\r\n\n",
          "\xEF\xBB\xBFmarked\r\ntext\r\n", "caf\xC3\xA9\r\n\xE4\xB8\xAD\r", "end\r"})
        expectSameDocument(QByteArrayView(text));
    QRandomGenerator random(11);
    const char* const parts[] = {"\r", "\n", "\r\n", "word ", "\xC3\xA9", "\xF0\x9F\x98\x80"};
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes;
        for (int i = int(random.bounded(30)); i > 0; --i)
            bytes += parts[random.bounded(int(std::size(parts)))];
        expectSameDocument(bytes);
    }
}

TEST(JoinedLineBreaks, PairsFillingThePlausibilitySampleDoNotWidenIt) {
    // 4,000 CR LF pairs are the 8,000 scalars looked at for plausibility; joined they are only
    // half of them, and the NUL-laden UTF-16 after them must stay out of the sample, or the
    // whole file would read as UTF-16.
    QByteArray bytes = QByteArray("\r\n").repeated(plausibilityScalarCount / 2);
    bytes += utf16LittleEndian(QStringLiteral("plain words and spaces ").repeated(200));
    // A zero byte out of step keeps the byte order from being sniffed from zeros alone.
    bytes += QByteArray("\0x", 2);
    const PlainTextDocument document = decodeDocumentData(bytes);
    EXPECT_EQ(document.encoding, TextFileEncoding::Utf8);
    EXPECT_EQ(document.lineEnding, TextLineEnding::CarriageReturnLineFeed);
    expectSameDocument(bytes);
    // One pair fewer and the NUL is in the sample either way: UTF-16 it is, as before.
    bytes.remove(0, 2);
    EXPECT_NE(decodeDocumentData(bytes).encoding, TextFileEncoding::Utf8);
    expectSameDocument(bytes);
}

TEST(JoinedLineBreaks, ACutPreviewAndOtherEncodingsStillJoinTheirBreaks) {
    // A preview cut inside a character drops only that character.
    const PlainTextDocument preview = decodePreviewBytes(QByteArray("ab\r\ncd\r\n\xE4\xB8"));
    EXPECT_EQ(preview.text, QStringLiteral("ab\ncd\n"));
    EXPECT_EQ(preview.lineEnding, TextLineEnding::CarriageReturnLineFeed);
    // UTF-16 and Latin-1 are joined after decoding, as always.
    expectSameDocument(QByteArray("\xFF\xFE") + utf16LittleEndian(QStringLiteral("a\r\nb\r\n")));
    expectSameDocument(QByteArray("caf\xE9\r\nna\xEFve\r\n"));
}
