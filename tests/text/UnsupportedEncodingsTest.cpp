// Files in encodings outside the nine (tests/data/unsupported-encodings, written with iconv from
// the encoding corpus and from a short menu text) open through the Latin-1 fallback with its
// warning, never as another encoding's text; the same lines in the nine encodings keep theirs.
#include "platform/IcuConverter.h"
#include "text/EncodingDetection.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

QByteArray sample(const QString& name) {
    QFile file(QStringLiteral(DUNMOSS_SOURCE_DIR "/tests/data/unsupported-encodings/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(name);
    return file.readAll();
}

QString corpusLines(const QString& script, int count) {
    QFile file(QStringLiteral(DUNMOSS_SOURCE_DIR "/tests/data/encoding-corpus/%1.txt").arg(script));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    return lines.first(qMin<qsizetype>(count, lines.size())).join(u'\n') + u'\n';
}

} // namespace

TEST(UnsupportedEncodings, OpenThroughTheFallback) {
    const QDir folder(QStringLiteral(DUNMOSS_SOURCE_DIR "/tests/data/unsupported-encodings"));
    const QStringList names = folder.entryList(QDir::Files);
    ASSERT_EQ(names.size(), 11);
    for (const QString& name : names) {
        const QByteArray bytes = sample(name);
        for (const ByteTail tail : {ByteTail::Complete, ByteTail::MayBeCut}) {
            // A preview may end inside a character.
            const QByteArrayView shown = tail == ByteTail::Complete
                                             ? QByteArrayView(bytes)
                                             : QByteArrayView(bytes).chopped(1);
            const std::optional<DecodedTextData> decoded = decodeTextData(shown, tail);
            ASSERT_TRUE(decoded);
            EXPECT_TRUE(decoded->decodedViaFallback) << qPrintable(name);
            EXPECT_EQ(decoded->encoding, TextFileEncoding::IsoLatin1) << qPrintable(name);
            EXPECT_EQ(decoded->text, QString::fromLatin1(shown)) << qPrintable(name);
        }
    }
}

TEST(UnsupportedEncodings, TheSameLinesInTheNineKeepTheirEncodings) {
    const struct {
        const char* script;
        IcuCharset charset;
        TextFileEncoding encoding;
    } cases[] = {
        {"ja", IcuCharset::ShiftJIS, TextFileEncoding::ShiftJIS},
        {"zh-Hant", IcuCharset::Big5, TextFileEncoding::Big5},
        {"zh-Hans", IcuCharset::Gb18030, TextFileEncoding::Gb18030},
        {"ko", IcuCharset::Gb18030, TextFileEncoding::Gb18030},
    };
    for (const auto& c : cases) {
        const QString text = corpusLines(QString::fromLatin1(c.script), 8);
        const DecodedTextData decoded =
            decodeTextData(strictEncode(c.charset, text).value()).value();
        EXPECT_EQ(decoded.encoding, c.encoding) << c.script;
        EXPECT_FALSE(decoded.decodedViaFallback) << c.script;
        EXPECT_EQ(decoded.text, text) << c.script;
    }
    // Escape sequences that switch no character set (terminal colours, the reset to ASCII that
    // terminals send) are no ISO-2022; UTF-16 whose first character is U+0000 is no UTF-32.
    const QByteArray coloured("\x1b(B\x1b[m plain \x1b[1;31mred\x1b(B\x1b[m\n");
    EXPECT_EQ(decodeTextData(coloured)->encoding, TextFileEncoding::Utf8);
    const DecodedTextData utf16 = decodeTextData(QByteArray("\xFF\xFE\0\0a\0b\0", 8)).value();
    EXPECT_EQ(utf16.encoding, TextFileEncoding::Utf16LittleEndian);
    EXPECT_EQ(utf16.text, QString(QChar(0)) + QStringLiteral("ab"));
}

// EUC-TW reads a few short GB 18030 texts too, as other characters. Those keep their encoding:
// their ideographs are common ones, while EUC-TW read as GB 18030 gives many rare ones, as in
// the 100-byte file above.
TEST(UnsupportedEncodings, ShortGb18030ThatEucTwAlsoReadsKeepsItsEncoding) {
    for (const QString& text :
         {QStringLiteral("整数1 -lt 整数2 <整数1> 小于 <整数2>\n"),
          QStringLiteral("设置\n视图\n重做\n粘贴\n全选\n书签\n语言\n主题\n深色\n浅色\n行尾\n"),
          QStringLiteral("深色主题\n")}) {
        const QByteArray bytes = strictEncode(IcuCharset::Gb18030, text).value();
        ASSERT_TRUE(strictDecodeNamed("EUC-TW", bytes)) << qPrintable(text);
        const DecodedTextData decoded = decodeTextData(bytes).value();
        EXPECT_EQ(decoded.encoding, TextFileEncoding::Gb18030) << qPrintable(text);
        EXPECT_FALSE(decoded.decodedViaFallback) << qPrintable(text);
        EXPECT_EQ(decoded.text, text);
    }
}

// ISO-2022 is judged from its first escape to a double-byte set on, wherever that comes, and
// only in files without a byte above 0x7F: a real UTF-8 character, even far after the escapes,
// makes the file UTF-8 with its escapes shown.
TEST(UnsupportedEncodings, Iso2022IsJudgedFromItsFirstEscapeOn) {
    const QByteArray iso = sample(QStringLiteral("ja.iso-2022-jp"));
    ASSERT_EQ(iso.indexOf("\x1B$B"), 12);
    for (int head = 0; head < 130; ++head) { // the escape at every place of a 64-byte block
        const QByteArray bytes = QByteArray(head, 'a') + iso;
        EXPECT_TRUE(decodeTextData(bytes)->decodedViaFallback) << head;
    }
    const QByteArray mixed = iso + QByteArray(9000, 'x') + "caf\xC3\xA9\n";
    const DecodedTextData decoded = decodeTextData(mixed).value();
    EXPECT_EQ(decoded.encoding, TextFileEncoding::Utf8);
    EXPECT_EQ(decoded.text, QString::fromUtf8(mixed));
}

// A short text is judged by how many of its characters are frequent in each language, which
// must not send single lines in the nine to the fallback. (Some short Big5 lines read as
// GB 18030 by the legacy guess itself; only their staying out of the fallback is checked.)
TEST(UnsupportedEncodings, SingleLinesInTheNineKeepTheirEncodings) {
    const struct {
        const char* script;
        IcuCharset charset;
        std::optional<TextFileEncoding> encoding;
    } cases[] = {
        {"zh-Hans", IcuCharset::Gb18030, TextFileEncoding::Gb18030},
        {"zh-Hant", IcuCharset::Big5, std::nullopt},
        {"ja", IcuCharset::ShiftJIS, TextFileEncoding::ShiftJIS},
    };
    for (const auto& c : cases) {
        const QString text = corpusLines(QString::fromLatin1(c.script), 1000);
        for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts)) {
            const std::optional<QByteArray> bytes = strictEncode(c.charset, line + u'\n');
            if (!bytes || QString::fromUtf8(*bytes).toUtf8() == *bytes)
                continue; // not held by the encoding, or ASCII only
            // Alone, and as the one such line of a file of ASCII.
            for (const QByteArray& file : {*bytes, *bytes + QByteArray(9000, 'x')}) {
                const DecodedTextData decoded = decodeTextData(file).value();
                EXPECT_FALSE(decoded.decodedViaFallback) << c.script << ": " << qPrintable(line);
                if (c.encoding) {
                    EXPECT_EQ(decoded.encoding, *c.encoding)
                        << c.script << ": " << qPrintable(line);
                }
            }
        }
    }
}
