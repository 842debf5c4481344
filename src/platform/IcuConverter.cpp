#include "platform/IcuConverter.h"

#include "platform/CjkTableDecoder.h"
#include "platform/UnicodeFastCodecs.h"

#include <array>
#include <unicode/ucnv.h>

namespace dunmoss {

namespace {

constexpr int kCharsetCount = 7;

// Converters are not thread-safe, so every thread keeps its own, opened on first use. Each has
// stop callbacks in both directions: any invalid, unassigned or cut-off input fails the call.
struct ConverterCache {
    std::array<UConverter*, kCharsetCount> converters{};
    ~ConverterCache() {
        for (UConverter* converter : converters) {
            if (converter)
                ucnv_close(converter);
        }
    }
};

UConverter* strictConverter(IcuCharset charset) {
    thread_local ConverterCache cache;
    UConverter*& slot = cache.converters[static_cast<size_t>(charset)];
    if (slot) {
        ucnv_reset(slot);
        return slot;
    }
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(icuConverterName(charset), &status);
    if (U_FAILURE(status))
        return nullptr;
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setFallback(converter, false);
    if (U_FAILURE(status)) {
        ucnv_close(converter);
        return nullptr;
    }
    slot = converter;
    return slot;
}

bool isCjk(IcuCharset charset) {
    return charset == IcuCharset::Gb18030 || charset == IcuCharset::Big5 ||
           charset == IcuCharset::ShiftJIS;
}

} // namespace

const char* icuConverterName(IcuCharset charset) {
    switch (charset) {
    case IcuCharset::Utf8:
        return "UTF-8";
    case IcuCharset::Utf16LittleEndian:
        return "UTF-16LE";
    case IcuCharset::Utf16BigEndian:
        return "UTF-16BE";
    case IcuCharset::Gb18030:
        return "gb18030";
    case IcuCharset::Big5:
        return "windows-950-2000";
    case IcuCharset::ShiftJIS:
        return "ibm-943_P15A-2003";
    case IcuCharset::IsoLatin1:
        return "ISO-8859-1";
    }
    return "UTF-8";
}

namespace {

std::optional<QString> decodeWith(UConverter* converter, QByteArrayView bytes) {
    // None of the table charsets yields more UTF-16 units than bytes; grow if ICU asks.
    QString out(bytes.size() + 16, Qt::Uninitialized);
    UChar* target = reinterpret_cast<UChar*>(out.data());
    const char* source = bytes.data();
    const char* const sourceEnd = source + bytes.size();
    for (;;) {
        UErrorCode status = U_ZERO_ERROR;
        auto* const base = reinterpret_cast<UChar*>(out.data());
        ucnv_toUnicode(converter, &target, base + out.size(), &source, sourceEnd, nullptr, true,
                       &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            const qsizetype written = target - base;
            out.resize(out.size() * 2);
            target = reinterpret_cast<UChar*>(out.data()) + written;
            continue;
        }
        if (U_FAILURE(status))
            return std::nullopt;
        out.resize(target - reinterpret_cast<UChar*>(out.data()));
        releaseUnusedCapacity(out);
        return out;
    }
}

} // namespace

std::optional<QString> icuDecode(IcuCharset charset, QByteArrayView bytes) {
    UConverter* converter = strictConverter(charset);
    if (!converter)
        return std::nullopt;
    return decodeWith(converter, bytes);
}

std::optional<QString> strictDecodeNamed(const char* converterName, QByteArrayView bytes) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(converterName, &status);
    if (U_FAILURE(status))
        return std::nullopt;
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setFallback(converter, false);
    std::optional<QString> text;
    if (U_SUCCESS(status))
        text = decodeWith(converter, bytes);
    ucnv_close(converter);
    return text;
}

std::optional<QByteArray> icuEncode(IcuCharset charset, QStringView text) {
    UConverter* converter = strictConverter(charset);
    if (!converter)
        return std::nullopt;
    QByteArray out(text.size() * ucnv_getMaxCharSize(converter) + 16, Qt::Uninitialized);
    char* target = out.data();
    const auto* source = reinterpret_cast<const UChar*>(text.utf16());
    const UChar* const sourceEnd = source + text.size();
    for (;;) {
        UErrorCode status = U_ZERO_ERROR;
        ucnv_fromUnicode(converter, &target, out.data() + out.size(), &source, sourceEnd, nullptr,
                         true, &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            const qsizetype written = target - out.data();
            out.resize(out.size() * 2);
            target = out.data() + written;
            continue;
        }
        if (U_FAILURE(status))
            return std::nullopt;
        out.resize(target - out.data());
        return out;
    }
}

bool isCutOffCharacter(IcuCharset charset, QByteArrayView bytes) {
    if (bytes.isEmpty() || charset == IcuCharset::IsoLatin1)
        return false;
    UConverter* converter = strictConverter(charset);
    if (!converter)
        return false;
    // One character needs at most four bytes and gives at most two units.
    UChar units[8];
    UChar* target = units;
    const char* source = bytes.data();
    UErrorCode status = U_ZERO_ERROR;
    ucnv_toUnicode(converter, &target, units + 8, &source, bytes.data() + bytes.size(), nullptr,
                   true, &status);
    return status == U_TRUNCATED_CHAR_FOUND && target == units;
}

std::optional<QString> strictDecode(IcuCharset charset, QByteArrayView bytes) {
    switch (charset) {
    case IcuCharset::Utf8:
        return decodeUtf8Strict(bytes);
    case IcuCharset::Utf16LittleEndian:
        return decodeUtf16Strict(bytes, false);
    case IcuCharset::Utf16BigEndian:
        return decodeUtf16Strict(bytes, true);
    case IcuCharset::IsoLatin1:
        return decodeLatin1(bytes);
    default:
        break;
    }
    Q_ASSERT(isCjk(charset));
    QString out;
    switch (decodeWithCjkTables(charset, bytes, out)) {
    case CjkTableDecodeResult::Decoded:
        return out;
    case CjkTableDecodeResult::Invalid:
        return std::nullopt;
    case CjkTableDecodeResult::NeedsReference:
        break;
    }
    return icuDecode(charset, bytes);
}

std::optional<QByteArray> strictEncode(IcuCharset charset, QStringView text) {
    switch (charset) {
    case IcuCharset::Utf8:
        return encodeUtf8Strict(text);
    case IcuCharset::Utf16LittleEndian:
        return encodeUtf16Strict(text, false);
    case IcuCharset::Utf16BigEndian:
        return encodeUtf16Strict(text, true);
    case IcuCharset::IsoLatin1:
        return encodeLatin1Strict(text);
    default:
        break;
    }
    // Saving is not a hot path, so ICU's converters serve as they are, with one check: even
    // with stop callbacks ICU drops unmappable default-ignorable characters (soft hyphen,
    // zero-width space, variation selectors, ...) and maps some private-use characters through
    // one-way fallbacks. Bytes that do not read back as the text would lose characters.
    std::optional<QByteArray> bytes = icuEncode(charset, text);
    if (bytes && strictDecode(charset, *bytes) != text)
        return std::nullopt;
    return bytes;
}

} // namespace dunmoss
