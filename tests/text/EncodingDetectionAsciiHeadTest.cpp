// Files whose first clue to their encoding comes late, behind a licence header, a long HTML head
// or a log: real text (tests/data) in each encoding detection reads, and in each one it only
// recognises to warn about, behind ASCII heads of several lengths. The head must change nothing:
// the same encoding, or the same fallback warning.
#include "platform/IcuConverter.h"
#include "text/EncodingDetection.h"
#include "text/TextEncoding.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

QByteArray dataFile(const QString& path) {
    QFile file(QStringLiteral(DUNMOSS_SOURCE_DIR "/tests/data/") + path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(path);
    return file.readAll();
}

QString corpus(const char* script) {
    return QString::fromUtf8(dataFile(QStringLiteral("encoding-corpus/%1.txt").arg(script)));
}

// ASCII lines such as lead a source file, cut to exactly `length` characters.
QString asciiHead(qsizetype length) {
    const QString lines = QStringLiteral(
        "# Copyright (C) the authors. This file is free software; you may copy and\n"
        "# change it under the terms of the licence that came with it. <meta charset>\n"
        "2024-05-01 12:00:01 INFO  worker 3 finished job 8812 in 41 ms, queue empty\n");
    QString head;
    while (head.size() < length)
        head += lines;
    head.truncate(length);
    return head;
}

// The lines of the text that the charset holds.
QString linesIn(IcuCharset charset, const QString& text) {
    QString kept;
    for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts)) {
        if (strictEncode(charset, line))
            kept += line + u'\n';
    }
    return kept;
}

QByteArray encoded(IcuCharset charset, const QString& text) {
    return strictEncode(charset, text).value();
}

// Each ASCII character as four bytes of UTF-32.
QByteArray utf32(const QString& ascii, bool bigEndian) {
    QByteArray bytes;
    for (QChar c : ascii) {
        const char unit = char(c.unicode());
        bytes += bigEndian ? QByteArray(3, '\0') + unit : unit + QByteArray(3, '\0');
    }
    return bytes;
}

QByteArray withStrayLatin1Byte(const QString& text) {
    QByteArray bytes = text.toUtf8();
    bytes.insert(bytes.indexOf('\n', bytes.size() / 2) + 1, "Le caf\xE9s est pr\xEAt.\n");
    return bytes;
}

struct Case {
    const char* name;
    // The file's bytes behind the head.
    std::function<QByteArray(const QString& head)> bytes;
    // What the file opens as; Latin-1 means through the fallback, with its warning.
    TextFileEncoding encoding;
    // The text after the head, for the encodings that read it.
    QString text;
};

QList<Case> cases() {
    const QString russian = corpus("ru");
    const QString greek = corpus("el");
    const QString japanese = corpus("ja");
    const QString korean = corpus("ko");
    const QString simplified = corpus("zh-Hans");
    const QString traditional = corpus("zh-Hant");
    const QString big5 = linesIn(IcuCharset::Big5, traditional);
    const QString shiftJis = linesIn(IcuCharset::ShiftJIS, japanese);
    const QString german = linesIn(IcuCharset::IsoLatin1, corpus("de"));
    const QString french = corpus("fr");
    const auto unsupported = [](const char* name) {
        const QByteArray file = dataFile(QStringLiteral("unsupported-encodings/") + name);
        return [file](const QString& head) { return head.toLatin1() + file; };
    };
    const auto withAsciiTail = [](std::function<QByteArray(const QString&)> bytes) {
        return [bytes](const QString& head) { return bytes(head) + asciiHead(9216).toLatin1(); };
    };
    const auto markedUtf32 = [](const char* name, bool bigEndian) {
        const QByteArray file = dataFile(QStringLiteral("unsupported-encodings/") + name);
        return [file, bigEndian](const QString& head) {
            return file.first(4) + utf32(head, bigEndian) + file.sliced(4);
        };
    };
    const auto latin1 = TextFileEncoding::IsoLatin1;
    return {
        {"utf-8", [=](const QString& h) { return (h + russian).toUtf8(); }, TextFileEncoding::Utf8,
         russian},
        {"utf-8 with mark",
         [=](const QString& h) { return QByteArray("\xEF\xBB\xBF") + (h + greek).toUtf8(); },
         TextFileEncoding::Utf8WithBOM, greek},
        {"utf-16-le with mark",
         [=](const QString& h) {
             return QByteArray("\xFF\xFE") + encoded(IcuCharset::Utf16LittleEndian, h + korean);
         },
         TextFileEncoding::Utf16LittleEndian, korean},
        {"utf-16 (big-endian with mark)",
         [=](const QString& h) { return encodeText(h + traditional, TextFileEncoding::Utf16); },
         TextFileEncoding::Utf16BigEndian, traditional},
        {"utf-16-le without mark",
         [=](const QString& h) { return encoded(IcuCharset::Utf16LittleEndian, h + japanese); },
         TextFileEncoding::Utf16LittleEndian, japanese},
        {"utf-16-be without mark",
         [=](const QString& h) { return encoded(IcuCharset::Utf16BigEndian, h + simplified); },
         TextFileEncoding::Utf16BigEndian, simplified},
        {"gb18030", [=](const QString& h) { return encoded(IcuCharset::Gb18030, h + simplified); },
         TextFileEncoding::Gb18030, simplified},
        {"big5", [=](const QString& h) { return encoded(IcuCharset::Big5, h + big5); },
         TextFileEncoding::Big5, big5},
        {"shift-jis", [=](const QString& h) { return encoded(IcuCharset::ShiftJIS, h + shiftJis); },
         TextFileEncoding::ShiftJIS, shiftJis},
        {"latin-1",
         [=](const QString& h) { return encoded(IcuCharset::IsoLatin1, h + german); },
         latin1,
         {}},
        // One accented name, the first non-ASCII byte of the file.
        {"latin-1, one word",
         [](const QString& h) { return h.toLatin1() + "St\xE9phane\n"; },
         latin1,
         {}},
        {"utf-8 with a stray byte",
         [=](const QString& h) { return withStrayLatin1Byte(h + french); },
         latin1,
         {}},
        {"utf-8 with a stray byte, few accents",
         [](const QString& h) {
             return (h + QStringLiteral("Grüße aus München.\n")).toUtf8() +
                    "Das caf\xE9s ist gut.\n";
         },
         latin1,
         {}},
        {"euc-jp", unsupported("ja.euc-jp"), latin1, {}},
        {"euc-kr", unsupported("ko.euc-kr"), latin1, {}},
        // One line, which the charset detector only judges shown repeatedly; also as the one
        // comment of a source file, with more ASCII after it than the detector is shown.
        {"euc-jp, 33 bytes", unsupported("ja-short.euc-jp"), latin1, {}},
        {"euc-kr, 44 bytes", unsupported("ko-short.euc-kr"), latin1, {}},
        {"euc-jp, 33 bytes before 9 KB of ASCII",
         withAsciiTail(unsupported("ja-short.euc-jp")),
         latin1,
         {}},
        {"euc-kr, 44 bytes before 9 KB of ASCII",
         withAsciiTail(unsupported("ko-short.euc-kr")),
         latin1,
         {}},
        // The second line is cut inside a character by the end of the sample judged.
        {"euc-kr, 44 bytes twice, 8 KB apart",
         [file = dataFile(QStringLiteral("unsupported-encodings/ko-short.euc-kr"))](
             const QString& head) {
             return head.toLatin1() + file + asciiHead(8147).toLatin1() + file;
         },
         latin1,
         {}},
        {"uhc", unsupported("ko.uhc"), latin1, {}},
        {"euc-tw", unsupported("zh-Hant.euc-tw"), latin1, {}},
        {"euc-tw, 100 bytes", unsupported("zh-Hant-short.euc-tw"), latin1, {}},
        {"iso-2022-jp", unsupported("ja.iso-2022-jp"), latin1, {}},
        {"iso-2022-kr", unsupported("ko.iso-2022-kr"), latin1, {}},
        {"utf-32-be with mark", markedUtf32("el.utf-32be", true), latin1, {}},
        {"utf-32-le with mark", markedUtf32("ru.utf-32le", false), latin1, {}},
    };
}

} // namespace

TEST(EncodingDetectionAsciiHead, EveryEncodingReadsTheSameBehindAnyAsciiHead) {
    for (const Case& c : cases()) {
        for (const qsizetype headLength : {0, 4096, 9216, 71680}) {
            const QString head = asciiHead(headLength);
            const QByteArray bytes = c.bytes(head);
            const std::optional<DecodedTextData> decoded = decodeTextData(bytes);
            ASSERT_TRUE(decoded);
            const std::string label =
                std::string(c.name) + " behind " + std::to_string(headLength) + " ASCII characters";
            EXPECT_EQ(identifier(decoded->encoding), identifier(c.encoding)) << label;
            if (c.encoding == TextFileEncoding::IsoLatin1) {
                EXPECT_TRUE(decoded->decodedViaFallback) << label;
                EXPECT_EQ(decoded->text, QString::fromLatin1(bytes)) << label;
            } else {
                EXPECT_FALSE(decoded->decodedViaFallback) << label;
                EXPECT_EQ(decoded->text, head + c.text) << label;
            }
        }
    }
}
