#include "text/TextEncoding.h"

#include "platform/FileError.h"
#include "platform/IcuConverter.h"
#include "platform/Localization.h"
#include "text/TextEncodingCharset.h"

#include <array>
#include <cstring>

namespace dunmoss {

namespace {

struct EncodingInfo {
    TextFileEncoding encoding;
    const char* identifier;
    const char* displayKey;
};

struct LineEndingInfo {
    TextLineEnding lineEnding;
    const char* identifier;
    const char* displayKey;
};

const std::array<EncodingInfo, 9> kEncodings = {{
    {TextFileEncoding::Utf8, "utf8", lkey("encoding.utf8")},
    {TextFileEncoding::Utf8WithBOM, "utf8-bom", lkey("encoding.utf8-bom")},
    {TextFileEncoding::Utf16, "utf16", lkey("encoding.utf16")},
    {TextFileEncoding::Utf16LittleEndian, "utf16-le", lkey("encoding.utf16-le")},
    {TextFileEncoding::Utf16BigEndian, "utf16-be", lkey("encoding.utf16-be")},
    {TextFileEncoding::Gb18030, "gb18030", lkey("encoding.gb18030")},
    {TextFileEncoding::Big5, "big5", lkey("encoding.big5")},
    {TextFileEncoding::ShiftJIS, "shift-jis", lkey("encoding.shift-jis")},
    {TextFileEncoding::IsoLatin1, "iso-latin-1", lkey("encoding.iso-latin-1")},
}};

const std::array<LineEndingInfo, 3> kLineEndings = {{
    {TextLineEnding::LineFeed, "lf", lkey("line-ending.lf")},
    {TextLineEnding::CarriageReturnLineFeed, "crlf", lkey("line-ending.crlf")},
    {TextLineEnding::CarriageReturn, "cr", lkey("line-ending.cr")},
}};

const EncodingInfo& infoFor(TextFileEncoding encoding) {
    return kEncodings[static_cast<size_t>(encoding)];
}

const LineEndingInfo& infoFor(TextLineEnding lineEnding) {
    return kLineEndings[static_cast<size_t>(lineEnding)];
}

} // namespace

IcuCharset textCharset(TextFileEncoding encoding) {
    switch (encoding) {
    case TextFileEncoding::Utf8:
    case TextFileEncoding::Utf8WithBOM:
        return IcuCharset::Utf8;
    case TextFileEncoding::Utf16LittleEndian:
        return IcuCharset::Utf16LittleEndian;
    case TextFileEncoding::Utf16:
        // Written big-endian after the mark FE FF, so that it reads back in the same order
        // whatever its text (mark-less big-endian CJK text has no zero bytes to sniff).
    case TextFileEncoding::Utf16BigEndian:
        return IcuCharset::Utf16BigEndian;
    case TextFileEncoding::Gb18030:
        return IcuCharset::Gb18030;
    case TextFileEncoding::Big5:
        return IcuCharset::Big5;
    case TextFileEncoding::ShiftJIS:
        return IcuCharset::ShiftJIS;
    case TextFileEncoding::IsoLatin1:
        return IcuCharset::IsoLatin1;
    }
    return IcuCharset::Utf8;
}

const QList<TextFileEncoding>& allTextFileEncodings() {
    static const QList<TextFileEncoding> all = [] {
        QList<TextFileEncoding> list;
        for (const EncodingInfo& info : kEncodings)
            list.append(info.encoding);
        return list;
    }();
    return all;
}

const QList<TextLineEnding>& allTextLineEndings() {
    static const QList<TextLineEnding> all = [] {
        QList<TextLineEnding> list;
        for (const LineEndingInfo& info : kLineEndings)
            list.append(info.lineEnding);
        return list;
    }();
    return all;
}

// Each identifier is made once and shared: a session record asks for four per tab.
template <typename Table> auto madeIdentifiers(const Table& table) {
    std::array<QString, std::tuple_size_v<Table>> strings;
    for (size_t i = 0; i < table.size(); ++i)
        strings[i] = QString::fromLatin1(table[i].identifier);
    return strings;
}

QString identifier(TextFileEncoding encoding) {
    static const auto made = madeIdentifiers(kEncodings);
    return made[static_cast<size_t>(encoding)];
}

QString identifier(TextLineEnding lineEnding) {
    static const auto made = madeIdentifiers(kLineEndings);
    return made[static_cast<size_t>(lineEnding)];
}

std::optional<TextFileEncoding> textFileEncodingFromIdentifier(const QString& identifier) {
    for (const EncodingInfo& info : kEncodings) {
        if (identifier == QLatin1String(info.identifier))
            return info.encoding;
    }
    return std::nullopt;
}

std::optional<TextLineEnding> textLineEndingFromIdentifier(const QString& identifier) {
    for (const LineEndingInfo& info : kLineEndings) {
        if (identifier == QLatin1String(info.identifier))
            return info.lineEnding;
    }
    return std::nullopt;
}

QString displayKey(TextFileEncoding encoding) {
    return QString::fromLatin1(infoFor(encoding).displayKey);
}

QString displayKey(TextLineEnding lineEnding) {
    return QString::fromLatin1(infoFor(lineEnding).displayKey);
}

QByteArray byteOrderMark(TextFileEncoding encoding) {
    switch (encoding) {
    case TextFileEncoding::Utf8WithBOM:
        return QByteArray("\xEF\xBB\xBF", 3);
    case TextFileEncoding::Utf16LittleEndian:
        return QByteArray("\xFF\xFE", 2);
    case TextFileEncoding::Utf16:
    case TextFileEncoding::Utf16BigEndian:
        return QByteArray("\xFE\xFF", 2);
    default:
        return {};
    }
}

QString textWithLineEnding(const QString& text, TextLineEnding lineEnding) {
    if (lineEnding == TextLineEnding::LineFeed)
        return text;
    if (lineEnding == TextLineEnding::CarriageReturn) {
        QString result = text;
        result.replace(QChar(u'\n'), QChar(u'\r'));
        return result;
    }
    const qsizetype breaks = text.count(QChar(u'\n'));
    if (breaks == 0)
        return text;
    QString result(text.size() + breaks, Qt::Uninitialized);
    auto* d = reinterpret_cast<char16_t*>(result.data());
    const auto* source = reinterpret_cast<const char16_t*>(text.constData());
    qsizetype from = 0;
    for (;;) {
        // Copy up to the next LF in one go, then write CR LF for it.
        const qsizetype lf = text.indexOf(QChar(u'\n'), from);
        const qsizetype stop = lf < 0 ? text.size() : lf;
        std::memcpy(d, source + from, size_t(stop - from) * sizeof(char16_t));
        d += stop - from;
        if (lf < 0)
            break;
        *d++ = u'\r';
        *d++ = u'\n';
        from = lf + 1;
    }
    return result;
}

QByteArray encodeText(const QString& text, TextFileEncoding encoding) {
    std::optional<QByteArray> bytes = strictEncode(textCharset(encoding), text);
    if (!bytes)
        throw FileError(FileErrorCode::FileWriteInapplicableStringEncoding);
    const QByteArray mark = byteOrderMark(encoding);
    if (mark.isEmpty())
        return std::move(*bytes);
    return mark + *bytes;
}

} // namespace dunmoss
