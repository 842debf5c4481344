#include "text/TextEncoding.h"
#include "platform/FileError.h"
#include "platform/Localization.h"
#include "text/EncodingDetection.h"

#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

QByteArray hex(const char* digits) {
    return QByteArray::fromHex(digits);
}

// The error code of a failed encode, or 0 when it succeeded.
int encodeErrorCode(const QString& text, TextFileEncoding encoding) {
    try {
        encodeText(text, encoding);
    } catch (const FileError& error) {
        return error.numericCode();
    }
    return 0;
}

} // namespace

TEST(TextEncoding, CasesAreListedInOrderWithStableIdentifiersAndKeys) {
    const QStringList identifiers = {"utf8",    "utf8-bom", "utf16",     "utf16-le",   "utf16-be",
                                     "gb18030", "big5",     "shift-jis", "iso-latin-1"};
    ASSERT_EQ(allTextFileEncodings().size(), identifiers.size());
    for (qsizetype i = 0; i < identifiers.size(); ++i) {
        const TextFileEncoding encoding = allTextFileEncodings()[i];
        EXPECT_EQ(identifier(encoding), identifiers[i]);
        EXPECT_EQ(displayKey(encoding), "encoding." + identifiers[i]);
        EXPECT_EQ(textFileEncodingFromIdentifier(identifiers[i]), encoding);
    }
    EXPECT_EQ(displayKey(TextFileEncoding::Utf16LittleEndian), "encoding.utf16-le");
    EXPECT_FALSE(textFileEncodingFromIdentifier("UTF-8"));

    const QStringList endings = {"lf", "crlf", "cr"};
    ASSERT_EQ(allTextLineEndings().size(), 3);
    for (qsizetype i = 0; i < endings.size(); ++i) {
        EXPECT_EQ(identifier(allTextLineEndings()[i]), endings[i]);
        EXPECT_EQ(textLineEndingFromIdentifier(endings[i]), allTextLineEndings()[i]);
    }
    EXPECT_EQ(displayKey(TextLineEnding::CarriageReturnLineFeed), "line-ending.crlf");
    EXPECT_FALSE(textLineEndingFromIdentifier("CRLF"));
}

TEST(TextEncoding, EveryDisplayKeyHasTextInBothLanguages) {
    QStringList keys = {QStringLiteral("encoding.fallback.warning.format"),
                        QStringLiteral("encoding.fallback.warning.many.format")};
    for (TextFileEncoding encoding : allTextFileEncodings())
        keys += displayKey(encoding);
    for (TextLineEnding lineEnding : allTextLineEndings())
        keys += displayKey(lineEnding);
    for (const QString& key : keys) {
        EXPECT_TRUE(localizedStringInLproj(key, "en")) << qPrintable(key);
        EXPECT_TRUE(localizedStringInLproj(key, "zh-Hans")) << qPrintable(key);
    }
}

TEST(TextEncoding, EmptyTextGivesOnlyTheMark) {
    EXPECT_EQ(encodeText({}, TextFileEncoding::Utf8), QByteArray());
    EXPECT_EQ(encodeText({}, TextFileEncoding::Utf8WithBOM), hex("efbbbf"));
    EXPECT_EQ(encodeText({}, TextFileEncoding::Utf16LittleEndian), hex("fffe"));
    EXPECT_EQ(encodeText({}, TextFileEncoding::Utf16BigEndian), hex("feff"));
    EXPECT_EQ(encodeText({}, TextFileEncoding::Utf16), hex("feff"));
    EXPECT_EQ(encodeText({}, TextFileEncoding::Gb18030), QByteArray());
}

TEST(TextEncoding, EncodesCharactersOrFailsWithoutSubstituting) {
    const QString eAcute = QStringLiteral("é");
    EXPECT_EQ(encodeText(eAcute, TextFileEncoding::IsoLatin1), hex("e9"));
    EXPECT_EQ(encodeText(eAcute, TextFileEncoding::Utf8), hex("c3a9"));
    // Generic UTF-16 is written with its mark, so it reads back in the same byte order.
    EXPECT_EQ(encodeText(QStringLiteral("a"), TextFileEncoding::Utf16), hex("feff0061"));
    EXPECT_EQ(encodeText(QStringLiteral("a"), TextFileEncoding::Utf16LittleEndian),
              hex("fffe6100"));
    EXPECT_EQ(encodeText(QStringLiteral("中"), TextFileEncoding::Gb18030), hex("d6d0"));
    EXPECT_EQ(encodeText(QStringLiteral("中"), TextFileEncoding::Big5), hex("a4a4"));
    EXPECT_EQ(encodeText(QStringLiteral("あ"), TextFileEncoding::ShiftJIS), hex("82a0"));
    // Backslash and tilde keep their ASCII bytes in Shift JIS, so source files survive.
    EXPECT_EQ(encodeText(QStringLiteral("\\~"), TextFileEncoding::ShiftJIS), hex("5c7e"));

    EXPECT_EQ(encodeErrorCode(QStringLiteral("中"), TextFileEncoding::IsoLatin1), 517);
    EXPECT_EQ(encodeErrorCode(QString::fromUcs4(U"\U0001F600"), TextFileEncoding::Big5), 517);
    EXPECT_EQ(encodeErrorCode(QStringLiteral("编码"), TextFileEncoding::ShiftJIS), 517);
    // A character the encoding lacks is never left out silently, however invisible it is.
    EXPECT_EQ(encodeErrorCode(QStringLiteral("soft\u00ADhyphen"), TextFileEncoding::Big5), 517);
    EXPECT_EQ(encodeErrorCode(QStringLiteral("zero\u200Bwidth"), TextFileEncoding::ShiftJIS), 517);
}

TEST(TextEncoding, UnpairedSurrogatesFailInEveryEncoding) {
    const QString lonelyHigh = QStringLiteral("ab") + QChar(0xD83D);
    const QString lonelyLow = QChar(0xDE00) + QStringLiteral("ab");
    for (TextFileEncoding encoding : allTextFileEncodings()) {
        EXPECT_EQ(encodeErrorCode(lonelyHigh, encoding), 517) << qPrintable(identifier(encoding));
        EXPECT_EQ(encodeErrorCode(lonelyLow, encoding), 517) << qPrintable(identifier(encoding));
    }
}

TEST(TextEncoding, EveryEncodingRoundTripsTextItCanHold) {
    const QString ascii = QStringLiteral("plain text\twith tab\nand lines\n");
    const QString chinese = ascii + QStringLiteral("中文字符测试，全角标点。");
    const QString japanese = ascii + QStringLiteral("ひらがなカタカナ漢字ｶﾅ");
    const QString everything = chinese + japanese + QString::fromUcs4(U"\U0001F600\U00020000");
    const struct {
        TextFileEncoding encoding;
        QString text;
    } cases[] = {
        {TextFileEncoding::Utf8, everything},
        {TextFileEncoding::Utf8WithBOM, everything},
        {TextFileEncoding::Utf16, everything},
        {TextFileEncoding::Utf16LittleEndian, everything},
        {TextFileEncoding::Utf16BigEndian, everything},
        {TextFileEncoding::Gb18030, everything},
        {TextFileEncoding::Big5, ascii + QStringLiteral("繁體中文測試")},
        {TextFileEncoding::ShiftJIS, japanese},
        {TextFileEncoding::IsoLatin1, ascii + QStringLiteral("café ÿ")},
    };
    for (const auto& c : cases) {
        const QByteArray bytes = encodeText(c.text, c.encoding);
        EXPECT_EQ(decodeWithEncoding(bytes, c.encoding), c.text)
            << qPrintable(identifier(c.encoding));
    }
}

TEST(TextEncoding, LineEndingsReplaceOnlyLineFeeds) {
    const QString text = QStringLiteral("a\nb\n");
    EXPECT_EQ(textWithLineEnding(text, TextLineEnding::CarriageReturnLineFeed), "a\r\nb\r\n");
    EXPECT_EQ(textWithLineEnding(text, TextLineEnding::CarriageReturn), "a\rb\r");
    EXPECT_EQ(textWithLineEnding(text, TextLineEnding::LineFeed), text);
    EXPECT_EQ(textWithLineEnding("no breaks", TextLineEnding::CarriageReturnLineFeed), "no breaks");
    // A stray CR is left alone; consecutive and edge LFs are all converted.
    EXPECT_EQ(textWithLineEnding("\n\nx\ry\n", TextLineEnding::CarriageReturnLineFeed),
              "\r\n\r\nx\ry\r\n");
    EXPECT_EQ(textWithLineEnding({}, TextLineEnding::CarriageReturnLineFeed), QString());
}
