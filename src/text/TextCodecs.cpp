#include "text/TextCodecs.h"

#include "platform/HexDigit.h"
#include "platform/UnicodeFastCodecs.h"

namespace dunmoss {

namespace {

constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kHexDigits[] = "0123456789ABCDEF";

int base64Value(char16_t c) {
    if (c >= u'A' && c <= u'Z')
        return c - u'A';
    if (c >= u'a' && c <= u'z')
        return c - u'a' + 26;
    if (c >= u'0' && c <= u'9')
        return c - u'0' + 52;
    if (c == u'+')
        return 62;
    if (c == u'/')
        return 63;
    return -1;
}

void appendUtf8(QByteArray& out, char32_t cp) {
    if (cp < 0x80) {
        out.append(char(cp));
    } else if (cp < 0x800) {
        out.append(char(0xC0 | (cp >> 6)));
        out.append(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.append(char(0xE0 | (cp >> 12)));
        out.append(char(0x80 | ((cp >> 6) & 0x3F)));
        out.append(char(0x80 | (cp & 0x3F)));
    } else {
        out.append(char(0xF0 | (cp >> 18)));
        out.append(char(0x80 | ((cp >> 12) & 0x3F)));
        out.append(char(0x80 | ((cp >> 6) & 0x3F)));
        out.append(char(0x80 | (cp & 0x3F)));
    }
}

// Appends the UTF-8 of a text, with U+FFFD for an unpaired surrogate.
void appendUtf8Lenient(QByteArray& out, QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            appendUtf8(out, QChar::surrogateToUcs4(c, text[i + 1].unicode()));
            ++i;
        } else {
            appendUtf8(out, QChar::isSurrogate(c) ? char32_t(0xFFFD) : char32_t(c));
        }
    }
}

bool isUrlQueryAllowed(char16_t c) {
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9'))
        return true;
    switch (c) {
    case u'!':
    case u'$':
    case u'&':
    case u'\'':
    case u'(':
    case u')':
    case u'*':
    case u'+':
    case u',':
    case u'-':
    case u'.':
    case u'/':
    case u':':
    case u';':
    case u'=':
    case u'?':
    case u'_':
    case u'~':
    case u'@':
        return true;
    default:
        return false;
    }
}

} // namespace

QByteArray utf8Bytes(QStringView text) {
    QByteArray out;
    out.reserve(text.size());
    appendUtf8Lenient(out, text);
    return out;
}

QString base64Encode(QByteArrayView bytes) {
    QString out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    for (; i + 3 <= n; i += 3) {
        const uint32_t v = (uint32_t(p[i]) << 16) | (uint32_t(p[i + 1]) << 8) | p[i + 2];
        out.append(QLatin1Char(kBase64Alphabet[v >> 18]));
        out.append(QLatin1Char(kBase64Alphabet[(v >> 12) & 63]));
        out.append(QLatin1Char(kBase64Alphabet[(v >> 6) & 63]));
        out.append(QLatin1Char(kBase64Alphabet[v & 63]));
    }
    if (n - i == 1) {
        const uint32_t v = uint32_t(p[i]) << 16;
        out.append(QLatin1Char(kBase64Alphabet[v >> 18]));
        out.append(QLatin1Char(kBase64Alphabet[(v >> 12) & 63]));
        out.append(QLatin1String("=="));
    } else if (n - i == 2) {
        const uint32_t v = (uint32_t(p[i]) << 16) | (uint32_t(p[i + 1]) << 8);
        out.append(QLatin1Char(kBase64Alphabet[v >> 18]));
        out.append(QLatin1Char(kBase64Alphabet[(v >> 12) & 63]));
        out.append(QLatin1Char(kBase64Alphabet[(v >> 6) & 63]));
        out.append(QLatin1Char('='));
    }
    return out;
}

std::optional<QByteArray> base64DecodeStrict(QStringView text) {
    const qsizetype n = text.size();
    if (n % 4 != 0)
        return std::nullopt;
    QByteArray out;
    out.reserve(n / 4 * 3);
    for (qsizetype i = 0; i < n; i += 4) {
        const bool lastGroup = i + 4 == n;
        int values[4];
        int padding = 0;
        for (int k = 0; k < 4; ++k) {
            const char16_t c = text[i + k].unicode();
            if (c == u'=') {
                // Padding only in the last two places of the last group, and nothing after it.
                if (!lastGroup || k < 2)
                    return std::nullopt;
                ++padding;
                values[k] = 0;
                continue;
            }
            if (padding > 0)
                return std::nullopt;
            values[k] = base64Value(c);
            if (values[k] < 0)
                return std::nullopt;
        }
        const uint32_t v = (uint32_t(values[0]) << 18) | (uint32_t(values[1]) << 12) |
                           (uint32_t(values[2]) << 6) | uint32_t(values[3]);
        out.append(char(v >> 16));
        if (padding < 2)
            out.append(char((v >> 8) & 0xFF));
        if (padding < 1)
            out.append(char(v & 0xFF));
    }
    return out;
}

std::optional<QString> percentEncodeUrlQuery(QStringView text) {
    const std::optional<QByteArray> bytes = encodeUtf8Strict(text);
    if (!bytes)
        return std::nullopt;
    QString out;
    out.reserve(bytes->size());
    for (const char byte : *bytes) {
        const auto u = static_cast<unsigned char>(byte);
        if (u < 0x80 && isUrlQueryAllowed(u)) {
            out.append(QLatin1Char(char(u)));
        } else {
            out.append(QLatin1Char('%'));
            out.append(QLatin1Char(kHexDigits[u >> 4]));
            out.append(QLatin1Char(kHexDigits[u & 15]));
        }
    }
    return out;
}

std::optional<QString> percentDecodeStrict(QStringView text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    // Text between escapes must be encodable as it stands: an unpaired surrogate is refused.
    auto appendPlain = [&bytes](QStringView plain) {
        const std::optional<QByteArray> encoded = encodeUtf8Strict(plain);
        if (encoded)
            bytes.append(*encoded);
        return encoded.has_value();
    };
    qsizetype plainStart = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] != u'%') {
            ++i;
            continue;
        }
        if (!appendPlain(text.sliced(plainStart, i - plainStart)))
            return std::nullopt;
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = hexDigitValue(text[i + 1].unicode());
        const int low = hexDigitValue(text[i + 2].unicode());
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.append(char(high * 16 + low));
        i += 3;
        plainStart = i;
    }
    if (!appendPlain(text.sliced(plainStart)))
        return std::nullopt;
    return decodeUtf8Strict(bytes);
}

} // namespace dunmoss
