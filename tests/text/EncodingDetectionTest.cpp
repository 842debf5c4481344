#include "text/EncodingDetection.h"
#include "platform/FileError.h"
#include "platform/IcuConverter.h"

#include <QRandomGenerator>
#include <climits>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

QByteArray hex(const char* digits) {
    return QByteArray::fromHex(digits);
}

const QString kJapanese =
    QStringLiteral("日本語のテキストです。ひらがなとカタカナを含みます。東京の天気は晴れです。\n");
const QString kSimplified =
    QStringLiteral("编码检测与解码测试。我们今天学习计算机科学和数据结构，中文文本。\n");
const QString kTraditional =
    QStringLiteral("繁體中文測試資料，這是一段用於編碼偵測的文字。我們今天學習電腦科學。\n");

DecodedTextData detect(QByteArrayView bytes, ByteTail tail = ByteTail::Complete) {
    std::optional<DecodedTextData> decoded = decodeTextData(bytes, tail);
    EXPECT_TRUE(decoded);
    return decoded.value_or(DecodedTextData{});
}

int decodeErrorCode(QByteArrayView bytes, TextFileEncoding encoding) {
    try {
        decodeWithEncoding(bytes, encoding);
    } catch (const FileError& error) {
        return error.numericCode();
    }
    return 0;
}

// The legacy guess written the plain way: every candidate decoded whole by ICU itself.
std::optional<TextFileEncoding> referenceGuess(QByteArrayView bytes) {
    const std::pair<TextFileEncoding, IcuCharset> candidates[] = {
        {TextFileEncoding::Gb18030, IcuCharset::Gb18030},
        {TextFileEncoding::Big5, IcuCharset::Big5},
        {TextFileEncoding::ShiftJIS, IcuCharset::ShiftJIS}};
    int best = INT_MAX;
    QList<TextFileEncoding> tied;
    for (const auto& [encoding, charset] : candidates) {
        const std::optional<QString> text = icuDecode(charset, bytes);
        if (!text)
            continue;
        const int penalty = legacyDecodingPenalty(*text, encoding);
        if (penalty < best)
            tied.clear();
        if (penalty <= best)
            tied.append(encoding);
        best = qMin(best, penalty);
    }
    if (tied.isEmpty())
        return std::nullopt;
    if (tied.size() > 1) {
        if (const auto picked = pickLegacyEncodingByFoundation(bytes, tied))
            return picked;
    }
    return tied.first();
}

} // namespace

TEST(EncodingDetection, MarksDecideAndAreDropped) {
    DecodedTextData empty = detect(QByteArrayView());
    EXPECT_EQ(empty.text, QString());
    EXPECT_EQ(empty.encoding, TextFileEncoding::Utf8);
    EXPECT_FALSE(empty.decodedViaFallback);

    DecodedTextData bom = detect(hex("efbbbf616263"));
    EXPECT_EQ(bom.text, "abc");
    EXPECT_EQ(bom.encoding, TextFileEncoding::Utf8WithBOM);

    DecodedTextData little = detect(hex("fffe6100"));
    EXPECT_EQ(little.text, "a");
    EXPECT_EQ(little.encoding, TextFileEncoding::Utf16LittleEndian);

    DecodedTextData big = detect(hex("feff0061"));
    EXPECT_EQ(big.text, "a");
    EXPECT_EQ(big.encoding, TextFileEncoding::Utf16BigEndian);

    // A UTF-8 mark before bytes that are not UTF-8 decides nothing; the mark's bytes stay part of
    // the input of the later steps (here the last one).
    DecodedTextData broken = detect(hex("efbbbfff21"));
    EXPECT_EQ(broken.encoding, TextFileEncoding::IsoLatin1);
    EXPECT_EQ(broken.text, QStringLiteral("ï»¿ÿ!"));
    EXPECT_TRUE(broken.decodedViaFallback);
}

TEST(EncodingDetection, MarklessUtf16IsSniffedFromZeroBytes) {
    DecodedTextData sniffed = detect(hex("6100620063006400"));
    EXPECT_EQ(sniffed.text, "abcd");
    EXPECT_EQ(sniffed.encoding, TextFileEncoding::Utf16LittleEndian);
    EXPECT_EQ(detect(hex("0061006200630064")).encoding, TextFileEncoding::Utf16BigEndian);

    // Seven bytes are too few to sniff: UTF-8, zero bytes kept as U+0000.
    DecodedTextData seven = detect(hex("61006200630064"));
    EXPECT_EQ(seven.encoding, TextFileEncoding::Utf8);
    EXPECT_EQ(seven.text, QStringView(u"a\0b\0c\0d", 7));

    EXPECT_FALSE(sniffBOMlessUTF16(hex("6100006200620063")));     // zeros on both parities
    EXPECT_FALSE(sniffBOMlessUTF16(hex("61626364656667006869"))); // one zero in ten bytes
    EXPECT_EQ(sniffBOMlessUTF16(hex("6162636465666700")), TextFileEncoding::Utf16LittleEndian);

    // Sniffed but implausible (control characters): not taken as UTF-16.
    DecodedTextData controls = detect(hex("0100020003000400"));
    EXPECT_NE(controls.encoding, TextFileEncoding::Utf16LittleEndian);
}

TEST(EncodingDetection, ValidUtf8WinsOverLegacyDecodings) {
    EXPECT_EQ(detect(QByteArray("plain ascii")).encoding, TextFileEncoding::Utf8);
    const QByteArray chinese = kSimplified.toUtf8();
    ASSERT_TRUE(strictDecode(IcuCharset::Gb18030, hex("e4b8ade69687")));
    EXPECT_EQ(detect(hex("e4b8ade69687")).encoding, TextFileEncoding::Utf8);
    EXPECT_EQ(detect(chinese).text, kSimplified);
}

TEST(EncodingDetection, LegacyTextsAreRecognised) {
    for (int repeat : {1, 400}) { // short inputs, and inputs beyond the scoring prefix
        const QByteArray gb =
            strictEncode(IcuCharset::Gb18030, kSimplified.repeated(repeat)).value();
        const QByteArray sjis =
            strictEncode(IcuCharset::ShiftJIS, kJapanese.repeated(repeat)).value();
        const QByteArray big5 =
            strictEncode(IcuCharset::Big5, kTraditional.repeated(repeat)).value();
        DecodedTextData fromGb = detect(gb);
        EXPECT_EQ(fromGb.encoding, TextFileEncoding::Gb18030);
        EXPECT_EQ(fromGb.text, kSimplified.repeated(repeat));
        DecodedTextData fromSjis = detect(sjis);
        EXPECT_EQ(fromSjis.encoding, TextFileEncoding::ShiftJIS);
        EXPECT_EQ(fromSjis.text, kJapanese.repeated(repeat));
        // Big5 text also decodes as GB 18030 (with kana, so a worse penalty).
        EXPECT_EQ(guessLegacyEncoding(big5), TextFileEncoding::Big5);
        EXPECT_EQ(detect(big5).text, kTraditional.repeated(repeat));
    }
}

TEST(EncodingDetection, GuessMatchesDecodingEveryCandidateWhole) {
    const QByteArray sjis = strictEncode(IcuCharset::ShiftJIS, kJapanese.repeated(600)).value();
    // Valid GB 18030 but not Shift JIS, far beyond the start: Shift JIS scores best on the start
    // yet fails as a whole, so GB 18030 must win.
    const QByteArray spoiled = sjis + hex("e0fe");
    EXPECT_EQ(referenceGuess(spoiled), TextFileEncoding::Gb18030);
    EXPECT_EQ(guessLegacyEncoding(spoiled), TextFileEncoding::Gb18030);

    QRandomGenerator random(7);
    const QByteArray sources[] = {
        sjis, strictEncode(IcuCharset::Gb18030, kSimplified.repeated(500)).value(),
        strictEncode(IcuCharset::Big5, kTraditional.repeated(500)).value()};
    for (int round = 0; round < 60; ++round) {
        QByteArray bytes = sources[round % 3];
        for (int damage = random.bounded(3); damage > 0; --damage)
            bytes[random.bounded(int(bytes.size()))] = char(0x80 + random.bounded(128));
        if (round % 4 == 0)
            bytes.truncate(random.bounded(30000));
        EXPECT_EQ(guessLegacyEncoding(bytes), referenceGuess(bytes)) << "round " << round;
    }
}

TEST(EncodingDetection, TiesAreSettledOnlyAmongTheTiedCandidates) {
    // Traditional Chinese in Big5 reads as GB 18030 too, with the same penalty: a tie that the
    // detector settles for Big5 although GB 18030 comes first.
    const QString traditional = QStringLiteral(
        "臺灣的電腦軟體與網路服務\n請輸入您的密碼以繼續。\n檔案已儲存，請重新開啟。\n");
    const QByteArray big5 = strictEncode(IcuCharset::Big5, traditional).value();
    const std::optional<QString> asGb = strictDecode(IcuCharset::Gb18030, big5);
    ASSERT_TRUE(asGb);
    ASSERT_EQ(legacyDecodingPenalty(*asGb, TextFileEncoding::Gb18030),
              legacyDecodingPenalty(traditional, TextFileEncoding::Big5));
    const QList<TextFileEncoding> tied = {TextFileEncoding::Gb18030, TextFileEncoding::Big5};
    EXPECT_EQ(pickLegacyEncodingByFoundation(big5, tied), TextFileEncoding::Big5);
    EXPECT_EQ(guessLegacyEncoding(big5), TextFileEncoding::Big5);
    EXPECT_NE(pickLegacyEncodingByFoundation(big5, {TextFileEncoding::Gb18030}),
              TextFileEncoding::Big5);

    // B0 A1 pairs: GB 18030 and Big5 both decode them to ideographs (penalty 0); Shift JIS reads
    // half-width katakana and scores far worse. The guess is the detector's pick among the two,
    // or the first of them when it picks neither.
    const QByteArray pairs = hex("b0a1b0a2b0a3b0a4").repeated(4);
    ASSERT_TRUE(strictDecode(IcuCharset::Big5, pairs));
    EXPECT_EQ(guessLegacyEncoding(pairs),
              pickLegacyEncodingByFoundation(pairs, tied).value_or(TextFileEncoding::Gb18030));

    // The detector would call clear Japanese text Shift JIS, but it may only answer among the
    // candidates it is given.
    const QByteArray sjis = strictEncode(IcuCharset::ShiftJIS, kJapanese.repeated(30)).value();
    const QList<TextFileEncoding> all = legacyCandidateEncodings();
    EXPECT_EQ(pickLegacyEncodingByFoundation(sjis, all), TextFileEncoding::ShiftJIS);
    EXPECT_NE(
        pickLegacyEncodingByFoundation(sjis, {TextFileEncoding::Gb18030, TextFileEncoding::Big5}),
        TextFileEncoding::ShiftJIS);
}

// A tie in a line too short for the detector's own minimum (ten characters) is still settled by
// the characters it holds, also when ASCII follows it.
TEST(EncodingDetection, TiesInShortTextAreSettledByTheirCharacters) {
    for (const QString& line :
         {QStringLiteral("C 代表 sizeof(char)、S 代表 sizeof(short)、I 代表\n"),
          QStringLiteral("Ubuntu 5.10 'Breezy Badger'的光碟\n"),
          QStringLiteral("同時指定了多個-l 或-t 選項\n"),
          QStringLiteral("按下 CTRL-C 以結束輸出。\n")}) {
        const QByteArray big5 = strictEncode(IcuCharset::Big5, line).value();
        for (const QByteArray& bytes : {big5, big5 + QByteArray(9000, 'x')}) {
            const DecodedTextData decoded = detect(bytes);
            EXPECT_EQ(decoded.encoding, TextFileEncoding::Big5) << qPrintable(line);
            EXPECT_EQ(decoded.text, QString::fromLatin1(bytes.sliced(big5.size())).prepend(line));
        }
    }
}

// The scoring and the tie-break look from the first non-ASCII byte on, however far into the
// file it comes.
TEST(EncodingDetection, LegacyCluesCountBehindALongAsciiHead) {
    const QString head = QString(20000, QChar(u'a')) + u'\n';
    const QString kana = QStringLiteral("あいうカ");
    EXPECT_EQ(legacyDecodingPenalty(head + kana, TextFileEncoding::ShiftJIS), -4);
    EXPECT_EQ(legacyDecodingPenalty(head + kana, TextFileEncoding::Gb18030), 20);

    const QString traditional = QStringLiteral(
        "臺灣的電腦軟體與網路服務\n請輸入您的密碼以繼續。\n檔案已儲存，請重新開啟。\n");
    const QByteArray big5 = strictEncode(IcuCharset::Big5, head + traditional).value();
    const QList<TextFileEncoding> tied = {TextFileEncoding::Gb18030, TextFileEncoding::Big5};
    EXPECT_EQ(pickLegacyEncodingByFoundation(big5, tied), TextFileEncoding::Big5);
    EXPECT_EQ(detect(big5).encoding, TextFileEncoding::Big5);
    EXPECT_EQ(detect(big5).text, head + traditional);
}

TEST(EncodingDetection, PenaltyAndPlausibility) {
    const QString kana = QStringLiteral("あいうカ");
    EXPECT_EQ(legacyDecodingPenalty(kana, TextFileEncoding::ShiftJIS), -4);
    EXPECT_EQ(legacyDecodingPenalty(kana, TextFileEncoding::Gb18030), 20);
    EXPECT_EQ(legacyDecodingPenalty(kana, TextFileEncoding::Big5), 20);
    EXPECT_EQ(legacyDecodingPenalty(QStringLiteral("ｶ\x0c\u0085\uFFFD\x7f\t\n\r"),
                                    TextFileEncoding::ShiftJIS),
              500);
    // Only the first 4,000 scalars count; a surrogate pair is one scalar.
    const QString emoji = QString::fromUcs4(U"\U0001F600");
    EXPECT_EQ(legacyDecodingPenalty(emoji.repeated(4000) + QChar(0x01), TextFileEncoding::Big5), 0);
    EXPECT_EQ(legacyDecodingPenalty(emoji.repeated(3999) + QChar(0x01), TextFileEncoding::Big5),
              100);

    EXPECT_TRUE(looksLikeText(QString()));
    EXPECT_TRUE(looksLikeText(QStringLiteral("tab\t lf\n ff\x0c cr\r")));
    EXPECT_FALSE(looksLikeText(QStringLiteral("nul \x01")));
    EXPECT_FALSE(looksLikeText(QStringLiteral("c1 \u0085")));
    EXPECT_FALSE(looksLikeText(QStringLiteral("replacement \uFFFD")));
    EXPECT_TRUE(looksLikeText(QString(8000, QChar(u'a')) + QChar(0x01)));
}

TEST(EncodingDetection, GenericUtf16FollowsItsMark) {
    EXPECT_EQ(decodeWithEncoding(hex("fffe6100"), TextFileEncoding::Utf16), "a");
    EXPECT_EQ(decodeWithEncoding(hex("feff0061"), TextFileEncoding::Utf16), "a");
    EXPECT_EQ(decodeWithEncoding(hex("0061"), TextFileEncoding::Utf16), "a");
    const QString chinese = QStringLiteral("中文字");
    EXPECT_EQ(detect(encodeText(chinese, TextFileEncoding::Utf16)).text, chinese);
}

// Mark-less UTF-16 that the zero-byte sniff misses is read in the byte order its line breaks
// and spaces show, and answered in that order so that a save keeps it.
TEST(EncodingDetection, MarklessUtf16IsReadInTheOrderItsSpacesShow) {
    // 一 (U+4E00) puts zero bytes on the other parity; Cyrillic has too few zero bytes.
    const QString texts[] = {QStringLiteral("一个中文文件，一行一行。\n第二行一二三。\n"),
                             QStringLiteral("Файл сохранён и открыт снова.\nВторая строка.\n"),
                             QStringLiteral("한국어텍스트입니다\n파일을저장하고다시엽니다\n")};
    for (const QString& text : texts) {
        for (IcuCharset order : {IcuCharset::Utf16LittleEndian, IcuCharset::Utf16BigEndian}) {
            const QByteArray bytes = strictEncode(order, text).value();
            ASSERT_FALSE(sniffBOMlessUTF16(bytes));
            const DecodedTextData decoded = detect(bytes);
            EXPECT_EQ(decoded.text, text);
            const TextFileEncoding expected = order == IcuCharset::Utf16LittleEndian
                                                  ? TextFileEncoding::Utf16LittleEndian
                                                  : TextFileEncoding::Utf16BigEndian;
            EXPECT_EQ(decoded.encoding, expected);
            EXPECT_EQ(utf16ByteOrderFromEvidence(bytes), expected);
        }
    }
    // Without any such unit nothing speaks for UTF-16 (no mark, no zero bytes, not UTF-8 and
    // no legacy encoding: 81 7F is invalid in all): the fallback reads it, and says so.
    const DecodedTextData unmarked = detect(hex("4e2d817f4e2d817f"));
    EXPECT_EQ(unmarked.encoding, TextFileEncoding::IsoLatin1);
    EXPECT_TRUE(unmarked.decodedViaFallback);
    // Zero bytes scattered on both parities are no evidence either.
    EXPECT_FALSE(utf16ByteOrderFromEvidence(hex("0a002000000a0020")));
}

// The faults of the specified order: a strictly valid but implausible reading, Latin-1 that a
// legacy encoding or generic UTF-16 also decodes, and UTF-8 with a stray byte.
TEST(EncodingDetection, NoReadingWinsThatIsNotPlausible) {
    // Little-endian Cyrillic is valid UTF-8 full of control characters (04 bytes).
    const QString russian = QStringLiteral("Привет, мир\n");
    EXPECT_EQ(detect(strictEncode(IcuCharset::Utf16LittleEndian, russian).value()).text, russian);
    // Even-length Latin-1: German as Shift JIS or GB 18030, French guillemets as half-width
    // katakana, and once as any even-length bytes for generic UTF-16.
    for (const QByteArray& latin :
         {QByteArray("Gr\xF6\xDF"
                     "e der Datei: f\xFCr Sie\n"),
          QByteArray("Men\xFC \xC4ndern\n"), QByteArray("un \xAB\xA0:\xA0\xBB suivant\n"),
          QByteArray("caf\xE9!\n")}) {
        ASSERT_FALSE(strictDecode(IcuCharset::Utf8, latin));
        const DecodedTextData decoded = detect(latin);
        EXPECT_EQ(decoded.encoding, TextFileEncoding::IsoLatin1) << latin.constData();
        EXPECT_TRUE(decoded.decodedViaFallback);
    }
    // UTF-8 Chinese with one Latin-1 byte also reads as GB 18030, but is damaged UTF-8.
    QByteArray damaged = QStringLiteral("客户端使用授权标识，但不支持\ncancel\n").toUtf8();
    damaged.insert(damaged.indexOf('\n') + 1, "caf\xE9s ");
    ASSERT_TRUE(strictDecode(IcuCharset::Gb18030, damaged));
    EXPECT_TRUE(detect(damaged).decodedViaFallback);
    // Terminal colour codes leave UTF-8 implausible, yet nothing reads it better.
    const QByteArray coloured("\x1b[1;32mok\x1b[0m build\n");
    EXPECT_EQ(detect(coloured).encoding, TextFileEncoding::Utf8);
    // Shift JIS with half-width katakana beside hiragana is Japanese, not GB 18030.
    const QString halfWidth = QStringLiteral("ﾌｧｲﾙを開きます。ﾃﾞｰﾀを保存しました。\n");
    const QByteArray sjis = strictEncode(IcuCharset::ShiftJIS, halfWidth).value();
    ASSERT_TRUE(strictDecode(IcuCharset::Gb18030, sjis));
    EXPECT_EQ(detect(sjis).encoding, TextFileEncoding::ShiftJIS);
    EXPECT_EQ(detect(sjis).text, halfWidth);
}

TEST(EncodingDetection, OnlyLatin1IsLeft) {
    DecodedTextData decoded = detect(hex("817f81"));
    EXPECT_EQ(decoded.encoding, TextFileEncoding::IsoLatin1);
    EXPECT_TRUE(decoded.decodedViaFallback);
    EXPECT_EQ(decoded.text, QStringLiteral("\u0081\u007f\u0081"));
}

TEST(EncodingDetection, ChosenEncodingDecodesStrictly) {
    EXPECT_EQ(decodeErrorCode(hex("ff"), TextFileEncoding::Utf8), 261);
    EXPECT_EQ(decodeErrorCode(hex("610062"), TextFileEncoding::Utf16LittleEndian), 261);
    EXPECT_EQ(decodeErrorCode(hex("817f"), TextFileEncoding::Big5), 261);
    EXPECT_EQ(decodeErrorCode(hex("d6"), TextFileEncoding::Gb18030), 261);
    EXPECT_EQ(decodeWithEncoding(hex("efbbbf61"), TextFileEncoding::Utf8), "a");
    EXPECT_EQ(decodeWithEncoding(hex("fffe6100"), TextFileEncoding::Utf16LittleEndian), "a");
    EXPECT_EQ(decodeWithEncoding(hex("e9"), TextFileEncoding::IsoLatin1), QStringLiteral("é"));
}

TEST(EncodingDetection, BytesThatMayBeCutDropTheCutCharacter) {
    const QByteArray gb = strictEncode(IcuCharset::Gb18030, kSimplified.repeated(5)).value();
    const QByteArray cut = gb + hex("d6"); // the lead byte of 中
    EXPECT_NE(detect(cut).encoding, TextFileEncoding::Gb18030);
    DecodedTextData tolerant = detect(cut, ByteTail::MayBeCut);
    EXPECT_EQ(tolerant.encoding, TextFileEncoding::Gb18030);
    EXPECT_EQ(tolerant.text, kSimplified.repeated(5));
    EXPECT_EQ(decodeWithEncoding(gb + hex("8130"), TextFileEncoding::Gb18030, ByteTail::MayBeCut),
              kSimplified.repeated(5));
    // Damage that is not at the end is not excused.
    QByteArray damaged = gb;
    damaged[10] = char(0xFF);
    EXPECT_EQ(decodeErrorCode(damaged, TextFileEncoding::Gb18030), 261);
    EXPECT_THROW(decodeWithEncoding(damaged, TextFileEncoding::Gb18030, ByteTail::MayBeCut),
                 FileError);
}

TEST(EncodingDetection, OnlyACutOffCharacterIsForgivenAtTheEnd) {
    // A complete but invalid ending (é and LF in Latin-1) is no cut character: dropping it would
    // lose text and call a Latin-1 preview UTF-8 or GB 18030.
    const QByteArray latin = QByteArray("plain ascii caf\xE9\n");
    const DecodedTextData preview = detect(latin, ByteTail::MayBeCut);
    EXPECT_EQ(preview.encoding, TextFileEncoding::IsoLatin1);
    EXPECT_EQ(preview.text, QStringLiteral("plain ascii café\n"));
    EXPECT_EQ(decodeErrorCode(latin, TextFileEncoding::Utf8), 261);
    EXPECT_THROW(decodeWithEncoding(latin, TextFileEncoding::Utf8, ByteTail::MayBeCut), FileError);
    EXPECT_THROW(decodeWithEncoding(latin, TextFileEncoding::Gb18030, ByteTail::MayBeCut),
                 FileError);

    // UTF-16: a lone low surrogate at the end is an error, a high one a cut pair.
    EXPECT_THROW(decodeWithEncoding(hex("610000dc"), TextFileEncoding::Utf16LittleEndian,
                                    ByteTail::MayBeCut),
                 FileError);
    EXPECT_EQ(decodeWithEncoding(hex("61003dd8"), TextFileEncoding::Utf16LittleEndian,
                                 ByteTail::MayBeCut),
              "a");
    EXPECT_EQ(
        decodeWithEncoding(hex("fffe61003dd8de"), TextFileEncoding::Utf16, ByteTail::MayBeCut),
        "a");
    EXPECT_EQ(decodeWithEncoding(hex("0061d83dde"), TextFileEncoding::Utf16, ByteTail::MayBeCut),
              "a");

    // A mark followed only by a cut character is an empty text in the mark's encoding.
    const DecodedTextData markOnly = detect(hex("efbbbfefbf"), ByteTail::MayBeCut);
    EXPECT_EQ(markOnly.encoding, TextFileEncoding::Utf8WithBOM);
    EXPECT_EQ(markOnly.text, QString());
}

TEST(EncodingDetection, ACutCharacterDoesNotHandTheTextToAnotherLegacyEncoding) {
    // GB 18030 whose bytes Shift JIS also reads (as half-width katakana), with a four-byte code
    // (D8 38 A1 34) that Big5 rejects, cut after the lead byte B0. Complete bytes fail in
    // GB 18030 and come out as Shift JIS; the cut must not decide the encoding.
    const QString text = QString::fromUcs4(U"中文 text \U000F0064 more");
    const QByteArray bytes = strictEncode(IcuCharset::Gb18030, text).value() + hex("b0");
    ASSERT_EQ(detect(bytes).encoding, TextFileEncoding::ShiftJIS);
    const DecodedTextData tolerant = detect(bytes, ByteTail::MayBeCut);
    EXPECT_EQ(tolerant.encoding, TextFileEncoding::Gb18030);
    EXPECT_EQ(tolerant.text, text);
}

TEST(EncodingDetection, LineEndingIsTheDominantKind) {
    EXPECT_EQ(detectLineEnding(u"a\r\nb\nc"), TextLineEnding::CarriageReturnLineFeed);
    EXPECT_EQ(detectLineEnding(u"a\nb\nc\r\nd"), TextLineEnding::LineFeed);
    EXPECT_EQ(detectLineEnding(u"a\rb\rc\nd"), TextLineEnding::CarriageReturn);
    EXPECT_EQ(detectLineEnding(u"a\rb\nc"), TextLineEnding::LineFeed);
    EXPECT_EQ(detectLineEnding(u"no breaks"), TextLineEnding::LineFeed);
    EXPECT_EQ(detectLineEnding(u""), TextLineEnding::LineFeed);
    EXPECT_EQ(detectLineEnding(u"a\r\nb\r\nc\rd\re"), TextLineEnding::CarriageReturnLineFeed);
    EXPECT_EQ(detectLineEnding(u"a\r\nb\rc\rd\re"), TextLineEnding::CarriageReturn);

    // Pairs that straddle the eight-unit blocks of the vectorised scan.
    for (int offset = 0; offset < 24; ++offset) {
        const QString text = QString(offset, QChar(u'x')) + QStringLiteral("\r\n") +
                             QString(offset, QChar(u'y')) + QStringLiteral("\r\nend\n");
        EXPECT_EQ(detectLineEnding(text), TextLineEnding::CarriageReturnLineFeed) << offset;
        const QString lone = QString(offset, QChar(u'x')) + QStringLiteral("\r") +
                             QString(7, QChar(u'y')) + QStringLiteral("\n\r");
        EXPECT_EQ(detectLineEnding(lone), TextLineEnding::CarriageReturn) << offset;
    }
}

TEST(EncodingDetection, NormalisationTurnsEveryBreakIntoLineFeed) {
    EXPECT_EQ(normalizeLineEndings(QStringLiteral("a\r\r\nb")), "a\n\nb");
    EXPECT_EQ(normalizeLineEndings(QStringLiteral("\r\n\r\n")), "\n\n");
    EXPECT_EQ(normalizeLineEndings(QStringLiteral("x\r")), "x\n");
    EXPECT_EQ(normalizeLineEndings(QStringLiteral("\n\r")), "\n\n");
    const QString plain = QString::fromLatin1("no carriage returns\nhere");
    const QString normalised = normalizeLineEndings(plain);
    EXPECT_EQ(normalised, plain);
    EXPECT_TRUE(normalised.isSharedWith(plain));
}
