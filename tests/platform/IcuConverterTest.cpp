// The fast conversion paths must accept and reject exactly what ICU's strict converters do.
#include "platform/IcuConverter.h"
#include "platform/CharsetDetector.h"

#include <QRandomGenerator>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace dunmoss;

namespace {

const IcuCharset kAllCharsets[] = {IcuCharset::Utf8,           IcuCharset::Utf16LittleEndian,
                                   IcuCharset::Utf16BigEndian, IcuCharset::Gb18030,
                                   IcuCharset::Big5,           IcuCharset::ShiftJIS,
                                   IcuCharset::IsoLatin1};
const IcuCharset kCjkCharsets[] = {IcuCharset::Gb18030, IcuCharset::Big5, IcuCharset::ShiftJIS};

const QString kJapanese = QStringLiteral(
    "日本語のテキストです。ひらがなとカタカナを含みます。ｶﾀｶﾅ半角も。C:\\path~tilde\n");
const QString kSimplified = QStringLiteral("编码检测与解码测试。我们今天学习计算机科学。𠀀𪚥\r\n");
const QString kTraditional = QStringLiteral("繁體中文測試資料，這是一段用於編碼偵測的文字。\n");

void expectSameAsIcu(IcuCharset charset, QByteArrayView bytes) {
    const std::optional<QString> fast = strictDecode(charset, bytes);
    const std::optional<QString> reference = icuDecode(charset, bytes);
    ASSERT_EQ(fast.has_value(), reference.has_value())
        << icuConverterName(charset) << " bytes " << bytes.toByteArray().toHex().constData();
    if (fast) {
        ASSERT_EQ(*fast, *reference)
            << icuConverterName(charset) << " bytes " << bytes.toByteArray().toHex().constData();
    }
}

QByteArray bytesOf(std::initializer_list<int> values) {
    QByteArray bytes;
    for (int value : values)
        bytes.append(char(value));
    return bytes;
}

} // namespace

TEST(IcuConverter, EveryOneAndTwoByteSequenceOfTheCjkCharsetsMatchesIcu) {
    for (IcuCharset charset : kCjkCharsets) {
        for (int b1 = 0; b1 < 256; ++b1) {
            expectSameAsIcu(charset, bytesOf({b1}));
            // Between ASCII, so the run paths around a sequence are exercised too.
            expectSameAsIcu(charset, bytesOf({'a', b1, 'b'}));
            for (int b2 = 0; b2 < 256; ++b2) {
                expectSameAsIcu(charset, bytesOf({b1, b2}));
                if (::testing::Test::HasFatalFailure())
                    return;
            }
        }
    }
}

TEST(IcuConverter, EveryGb18030FourByteSequenceMatchesIcu) {
    for (int b1 = 0x81; b1 <= 0xFE; ++b1) {
        for (int b2 = 0x30; b2 <= 0x39; ++b2) {
            QByteArray group;
            for (int b3 = 0x81; b3 <= 0xFE; ++b3) {
                for (int b4 = 0x30; b4 <= 0x39; ++b4) {
                    const QByteArray code = bytesOf({b1, b2, b3, b4});
                    group += code;
                    // Code by code where single codes are valid and invalid side by side.
                    if (b1 <= 0x84 || (b1 == 0xE3 && b2 >= 0x32) || b1 == 0x85 || b1 == 0xE4)
                        expectSameAsIcu(IcuCharset::Gb18030, code);
                }
            }
            expectSameAsIcu(IcuCharset::Gb18030, group);
            if (::testing::Test::HasFatalFailure())
                return;
        }
    }
    // Four-byte shapes the tables do not cover, and cut-off codes.
    for (const QByteArray& odd :
         {bytesOf({0x81, 0x30, 0x20, 0x30}), bytesOf({0x81, 0x30, 0x81}),
          bytesOf({0x90, 0x30, 0x81, 0x7F}), bytesOf({0xFE, 0x39, 0xFE, 0x39}),
          bytesOf({0x84, 0x31, 0xA4, 0x39}), bytesOf({0x84, 0x31, 0xA5, 0x30})})
        expectSameAsIcu(IcuCharset::Gb18030, odd);
}

TEST(IcuConverter, Utf8FastPathRejectsWhatIcuRejects) {
    const QByteArray cases[] = {
        bytesOf({0xC0, 0x80}),
        bytesOf({0xC1, 0xBF}),
        bytesOf({0xE0, 0x80, 0x80}),
        bytesOf({0xE0, 0x9F, 0xBF}),
        bytesOf({0xED, 0xA0, 0x80}),
        bytesOf({0xED, 0x9F, 0xBF}),
        bytesOf({0xF0, 0x8F, 0xBF, 0xBF}),
        bytesOf({0xF4, 0x90, 0x80, 0x80}),
        bytesOf({0xF4, 0x8F, 0xBF, 0xBF}),
        bytesOf({0xF5, 0x80, 0x80, 0x80}),
        bytesOf({0xFF}),
        bytesOf({0x80}),
        bytesOf({0xE4, 0xB8}),
        bytesOf({0xEF, 0xBF, 0xBF}),
        bytesOf({0xEF, 0xBB, 0xBF, 'a'}),
        bytesOf({0xF0, 0x9F, 0x98}),
        QByteArray("0123456789abcdef0123456789\xC3\xA9xyz"),
        QByteArray(40, 'a') + bytesOf({0xE9}),
    };
    for (const QByteArray& bytes : cases)
        expectSameAsIcu(IcuCharset::Utf8, bytes);
    EXPECT_FALSE(strictDecode(IcuCharset::Utf8, bytesOf({0xED, 0xA0, 0x80})));
    EXPECT_EQ(strictDecode(IcuCharset::Utf8, bytesOf({0xF0, 0x9F, 0x98, 0x80})),
              QString::fromUcs4(U"\U0001F600"));
}

TEST(IcuConverter, Utf16RejectsUnpairedSurrogatesAndOddLengths) {
    for (bool big : {false, true}) {
        const IcuCharset charset = big ? IcuCharset::Utf16BigEndian : IcuCharset::Utf16LittleEndian;
        const auto unit = [big](int value) {
            return big ? bytesOf({value >> 8, value & 0xFF}) : bytesOf({value & 0xFF, value >> 8});
        };
        const QByteArray lonelyHigh = unit('a') + unit(0xD83D) + unit('b');
        const QByteArray lonelyLow = unit(0xDE00) + unit('a');
        const QByteArray highAtEnd = QByteArray(unit('x')).repeated(20) + unit(0xD83D);
        const QByteArray pair = unit(0xD83D) + unit(0xDE00);
        for (const QByteArray& bytes : {lonelyHigh, lonelyLow, highAtEnd, pair, unit('a') + "x"})
            expectSameAsIcu(charset, bytes);
        EXPECT_FALSE(strictDecode(charset, lonelyHigh));
        EXPECT_FALSE(strictDecode(charset, highAtEnd));
        EXPECT_FALSE(strictDecode(charset, unit('a') + "x"));
        EXPECT_EQ(strictDecode(charset, pair), QString::fromUcs4(U"\U0001F600"));
    }
}

TEST(IcuConverter, RandomisedInputsDecodeAsIcuDoes) {
    QRandomGenerator random(20240611);
    const QString texts[] = {kJapanese, kSimplified, kTraditional};
    for (int round = 0; round < 3000; ++round) {
        const IcuCharset charset = kAllCharsets[random.bounded(7)];
        // Start from a valid encoding where there is one, then damage a few bytes.
        QByteArray bytes = icuEncode(charset, texts[random.bounded(3)].repeated(3))
                               .value_or(QByteArray("plain ascii text with no trouble"));
        const int damage = random.bounded(3);
        for (int i = 0; i < damage && !bytes.isEmpty(); ++i)
            bytes[random.bounded(int(bytes.size()))] = char(random.bounded(256));
        if (random.bounded(4) == 0)
            bytes.chop(random.bounded(qMin<qsizetype>(4, bytes.size()) + 1));
        expectSameAsIcu(charset, bytes);
        if (HasFatalFailure())
            return;
    }
}

TEST(IcuConverter, EncodingIsStrictAndRoundTrips) {
    const QString lonely = QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b");
    for (IcuCharset charset : kAllCharsets)
        EXPECT_FALSE(strictEncode(charset, lonely)) << icuConverterName(charset);
    EXPECT_FALSE(strictEncode(IcuCharset::Utf8, QString(QChar(0xDC00))));
    EXPECT_FALSE(strictEncode(IcuCharset::IsoLatin1, QStringLiteral("abcdefghijĀ")));
    EXPECT_EQ(strictEncode(IcuCharset::IsoLatin1, QStringLiteral("ÿé")), bytesOf({0xFF, 0xE9}));
    EXPECT_FALSE(strictEncode(IcuCharset::Big5, QString::fromUcs4(U"\U0001F600")));
    EXPECT_FALSE(strictEncode(IcuCharset::ShiftJIS, QStringLiteral("编码")));

    const QString mixed = kJapanese + kSimplified + QStringLiteral("ASCII only tail 0123456789");
    for (IcuCharset charset : {IcuCharset::Utf8, IcuCharset::Utf16LittleEndian,
                               IcuCharset::Utf16BigEndian, IcuCharset::Gb18030}) {
        const std::optional<QByteArray> fast = strictEncode(charset, mixed);
        ASSERT_TRUE(fast);
        EXPECT_EQ(*fast, icuEncode(charset, mixed).value());
        EXPECT_EQ(strictDecode(charset, *fast), mixed);
    }
    EXPECT_EQ(
        strictDecode(IcuCharset::ShiftJIS, strictEncode(IcuCharset::ShiftJIS, kJapanese).value()),
        kJapanese);
    EXPECT_EQ(strictDecode(IcuCharset::Big5, strictEncode(IcuCharset::Big5, kTraditional).value()),
              kTraditional);
}

// ICU leaves out default-ignorable characters it cannot map and maps some private-use
// characters one way; a save must fail instead of quietly losing them.
TEST(IcuConverter, EncodedBytesAlwaysReadBackAsTheText) {
    const QString softHyphen = QStringLiteral("a\u00ADb");
    const QString zeroWidth = QStringLiteral("x\u200By\uFEFF");
    for (IcuCharset charset : {IcuCharset::Big5, IcuCharset::ShiftJIS}) {
        EXPECT_FALSE(strictEncode(charset, softHyphen)) << icuConverterName(charset);
        EXPECT_FALSE(strictEncode(charset, zeroWidth)) << icuConverterName(charset);
    }
    EXPECT_FALSE(strictEncode(IcuCharset::ShiftJIS, QString(QChar(0xF86F))));
    EXPECT_EQ(strictEncode(IcuCharset::Gb18030, softHyphen).value(),
              bytesOf({'a', 0x81, 0x30, 0x85, 0x32, 'b'}));

    for (IcuCharset charset : kAllCharsets) {
        for (char32_t scalar = 0; scalar <= 0x10FFFF; ++scalar) {
            if (scalar >= 0xD800 && scalar <= 0xDFFF)
                continue;
            if (scalar > 0xFFFF && scalar % 97 != 0)
                continue; // a sample of the supplementary planes
            const QString text = QString::fromUcs4(&scalar, 1);
            const std::optional<QByteArray> bytes = strictEncode(charset, text);
            if (bytes) {
                ASSERT_EQ(strictDecode(charset, *bytes), text)
                    << icuConverterName(charset) << " U+" << std::hex << unsigned(scalar);
            }
        }
    }
}

TEST(IcuConverter, ConversionsAreSafeOnSeveralThreadsAtOnce) {
    struct Sample {
        IcuCharset charset;
        QString text;
        QByteArray bytes;
    };
    const std::vector<Sample> samples = {
        {IcuCharset::Gb18030, kSimplified.repeated(50), {}},
        {IcuCharset::Big5, kTraditional.repeated(50), {}},
        {IcuCharset::ShiftJIS, kJapanese.repeated(50), {}},
    };
    std::vector<Sample> prepared = samples;
    for (Sample& sample : prepared)
        sample.bytes = icuEncode(sample.charset, sample.text).value();
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 40; ++i) {
                const Sample& sample = prepared[(t + i) % prepared.size()];
                if (strictDecode(sample.charset, sample.bytes) != sample.text ||
                    icuDecode(sample.charset, sample.bytes) != sample.text ||
                    strictEncode(sample.charset, sample.text) != sample.bytes)
                    ++failures;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST(CharsetDetector, AnswersOnlyAmongTheAllowedCharsets) {
    const QByteArray japanese = icuEncode(IcuCharset::ShiftJIS, kJapanese.repeated(20)).value();
    EXPECT_EQ(
        detectCharsetAmong(japanese, {QStringLiteral("GB18030"), QStringLiteral("Shift_JIS")}), 1);
    EXPECT_FALSE(detectCharsetAmong(japanese, {}));
    EXPECT_FALSE(detectCharsetAmong(QByteArrayView(), {QStringLiteral("Shift_JIS")}));
}
