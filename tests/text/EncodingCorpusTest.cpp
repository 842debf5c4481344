// Detection over real translated text (tests/data/encoding-corpus, one file of sample
// sentences per script), cut into documents of many sizes and written in every encoding and
// line ending that holds them: at least 98% must read back as the text itself, and next to
// none as other text without the fallback warning. The few left are one-line documents that
// are truly ambiguous: Big5 that GB 18030 also reads (the charset detector settles the tie)
// and Shift JIS written in half-width katakana alone, which reads as GB 18030 ideographs.
#include "platform/FileError.h"
#include "platform/IcuConverter.h"
#include "text/EncodingDetection.h"
#include "text/TextEncoding.h"

#include <QFile>
#include <QHash>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

QStringList corpusLines(const QString& script) {
    QFile file(QStringLiteral(DUNMOSS_SOURCE_DIR "/tests/data/encoding-corpus/%1.txt").arg(script));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

// Documents from one line to all of them, starting at different lines.
QStringList documents(const QStringList& lines) {
    QStringList result;
    for (qsizetype count : {1, 2, 3, 5, 8, 13, 21, 1000}) {
        for (qsizetype start : {qsizetype(0), count * 7 % lines.size()}) {
            QStringList picked;
            for (qsizetype i = 0; i < qMin(count, lines.size()); ++i)
                picked += lines[(start + i) % lines.size()];
            result += picked.join(u'\n') + u'\n';
        }
    }
    return result;
}

// Katakana written with their half-width forms, as older Japanese files do.
QString withHalfWidthKatakana(const QString& text) {
    static const QHash<QChar, QChar> halfWidth = [] {
        QHash<QChar, QChar> table;
        for (char16_t unit = 0xFF66; unit <= 0xFF9D; ++unit) {
            const QString full = QString(QChar(unit)).normalized(QString::NormalizationForm_KC);
            table.insert(full[0], QChar(unit));
        }
        return table;
    }();
    QString result;
    for (QChar c : text) {
        const QString parts = QString(c).normalized(QString::NormalizationForm_D);
        if (c.unicode() < 0x30A0 || c.unicode() > 0x30FF || !halfWidth.contains(parts[0])) {
            result += c;
            continue;
        }
        result += halfWidth[parts[0]];
        if (parts.size() > 1)
            result += QChar(parts[1] == QChar(0x3099) ? 0xFF9E : 0xFF9F);
    }
    return result;
}

struct Encoded {
    const char* name;
    std::optional<QByteArray> (*encode)(const QString&);
};

std::optional<QByteArray> saved(const QString& text, TextFileEncoding encoding) {
    try {
        return encodeText(text, encoding);
    } catch (const FileError&) {
        return std::nullopt;
    }
}

// What each script is written in: every Unicode form (UTF-16 also without a mark, in either
// byte order) and the legacy encodings made for it.
QList<Encoded> encodingsFor(const QString& script) {
    QList<Encoded> list = {
        {"utf8", [](const QString& t) { return saved(t, TextFileEncoding::Utf8); }},
        {"utf8-bom", [](const QString& t) { return saved(t, TextFileEncoding::Utf8WithBOM); }},
        {"utf16", [](const QString& t) { return saved(t, TextFileEncoding::Utf16); }},
        {"utf16-le bare",
         [](const QString& t) { return strictEncode(IcuCharset::Utf16LittleEndian, t); }},
        {"utf16-be bare",
         [](const QString& t) { return strictEncode(IcuCharset::Utf16BigEndian, t); }},
    };
    if (script.startsWith(QStringLiteral("zh"))) {
        list += {"gb18030", [](const QString& t) { return saved(t, TextFileEncoding::Gb18030); }};
        list += {"big5", [](const QString& t) { return saved(t, TextFileEncoding::Big5); }};
    } else if (script == QStringLiteral("ja")) {
        list +=
            {"shift-jis", [](const QString& t) { return saved(t, TextFileEncoding::ShiftJIS); }};
    } else if (script == QStringLiteral("de") || script == QStringLiteral("fr") ||
               script == QStringLiteral("es")) {
        list +=
            {"iso-latin-1", [](const QString& t) { return saved(t, TextFileEncoding::IsoLatin1); }};
    }
    return list;
}

} // namespace

TEST(EncodingCorpus, RealTextReadsBackInEveryEncodingAndLineEnding) {
    const QStringList scripts = {
        QStringLiteral("zh-Hans"), QStringLiteral("zh-Hant"), QStringLiteral("ja"),
        QStringLiteral("ko"),      QStringLiteral("ru"),      QStringLiteral("el"),
        QStringLiteral("de"),      QStringLiteral("fr"),      QStringLiteral("es")};
    int files = 0;
    int right = 0;
    QStringList silentlyWrong;
    QHash<QString, int> perEncoding;
    const auto check = [&](const QString& label, const QString& text, const QByteArray& bytes) {
        ++files;
        const std::optional<DecodedTextData> decoded = decodeTextData(bytes);
        ASSERT_TRUE(decoded);
        if (normalizeLineEndings(decoded->text) == text)
            ++right;
        else if (!decoded->decodedViaFallback)
            silentlyWrong += label + " -> " + identifier(decoded->encoding);
    };
    for (const QString& script : scripts) {
        const QStringList lines = corpusLines(script);
        ASSERT_GE(lines.size(), 30) << qPrintable(script);
        QStringList texts = documents(lines);
        if (script == QStringLiteral("ja")) {
            for (const QString& text : documents(lines))
                texts += withHalfWidthKatakana(text);
        }
        for (const Encoded& encoded : encodingsFor(script)) {
            int index = 0;
            for (const QString& text : texts) {
                ++index;
                for (TextLineEnding ending : allTextLineEndings()) {
                    const std::optional<QByteArray> bytes =
                        encoded.encode(textWithLineEnding(text, ending));
                    if (!bytes)
                        continue; // a character the encoding lacks
                    ++perEncoding[QString::fromLatin1(encoded.name)];
                    check(QStringLiteral("%1 #%2 %3 %4")
                              .arg(script)
                              .arg(index)
                              .arg(encoded.name, identifier(ending)),
                          text, *bytes);
                }
            }
        }
    }
    // Every encoding was exercised on a good share of the corpus.
    for (const char* name : {"utf8", "utf16", "utf16-le bare", "utf16-be bare", "gb18030", "big5",
                             "shift-jis", "iso-latin-1"})
        EXPECT_GE(perEncoding.value(QString::fromLatin1(name)), 40) << name;
    EXPECT_GE(right * 100, files * 98) << right << " of " << files;
    EXPECT_LE(silentlyWrong.size() * 200, files)
        << qPrintable(silentlyWrong.join(QStringLiteral("; ")));
}

// Files that are no clean text of any encoding: UTF-8 with terminal colour codes stays UTF-8;
// UTF-8 with one Latin-1 byte (of either parity) is read through the fallback, with its warning.
TEST(EncodingCorpus, ControlCodesAndStrayBytesInUtf8) {
    int checked = 0;
    for (const QString& script : {QStringLiteral("de"), QStringLiteral("ru"),
                                  QStringLiteral("zh-Hans"), QStringLiteral("ja")}) {
        for (const QString& text : documents(corpusLines(script))) {
            QString coloured = text;
            coloured.replace(u'\n', QStringLiteral("\x1b[0m\n\x1b[1;31m"));
            for (const QString& colouredText : {coloured, coloured + u'x'}) {
                const DecodedTextData decoded = decodeTextData(colouredText.toUtf8()).value();
                EXPECT_EQ(decoded.encoding, TextFileEncoding::Utf8) << qPrintable(script);
                EXPECT_EQ(decoded.text, colouredText);
            }
            for (const QByteArray& stray : {QByteArray(" caf\xE9"), QByteArray(" \xE9t\xE9")}) {
                QByteArray bytes = text.toUtf8();
                bytes.insert(bytes.indexOf('\n', bytes.size() / 2), stray);
                const DecodedTextData decoded = decodeTextData(bytes).value();
                EXPECT_TRUE(decoded.decodedViaFallback) << qPrintable(text.left(40));
                ++checked;
            }
        }
    }
    EXPECT_GE(checked, 100);
}
