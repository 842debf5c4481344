#include "platform/UnicodeFastCodecs.h"

#include "platform/LargeBuffers.h"
#include "platform/Utf8Decoding.h"

#include <QtEndian>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) && Q_BYTE_ORDER == Q_LITTLE_ENDIAN
#include <emmintrin.h>
#define DUNMOSS_SSE2 1
#endif

namespace dunmoss {

namespace {

char16_t* unitsOf(QString& string) {
    return reinterpret_cast<char16_t*>(string.data());
}

bool isHighSurrogate(char16_t unit) {
    return (unit & 0xFC00) == 0xD800;
}
bool isLowSurrogate(char16_t unit) {
    return (unit & 0xFC00) == 0xDC00;
}

// Index of the first surrogate unit at or after `from`, or `size` when there is none.
qsizetype nextSurrogate(const char16_t* units, qsizetype from, qsizetype size) {
    qsizetype i = from;
#ifdef DUNMOSS_SSE2
    const __m128i mask = _mm_set1_epi16(static_cast<short>(0xF800));
    const __m128i surrogate = _mm_set1_epi16(static_cast<short>(0xD800));
    for (; i + 8 <= size; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
        const int hits = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, mask), surrogate));
        if (hits != 0)
            return i + __builtin_ctz(static_cast<unsigned>(hits)) / 2;
    }
#endif
    for (; i < size; ++i) {
        if ((units[i] & 0xF800) == 0xD800)
            return i;
    }
    return size;
}

bool onlyPairedSurrogates(const char16_t* units, qsizetype size) {
    qsizetype i = nextSurrogate(units, 0, size);
    while (i < size) {
        if (!isHighSurrogate(units[i]) || i + 1 >= size || !isLowSurrogate(units[i + 1]))
            return false;
        i = nextSurrogate(units, i + 2, size);
    }
    return true;
}

// Copies units, swapping the two bytes of each when the byte order differs from the host's.
void copyUnits(char16_t* target, const char* source, qsizetype count, bool swap) {
    if (count == 0)
        return; // an empty view may carry no pointer at all
    if (!swap) {
        std::memcpy(target, source, size_t(count) * 2);
        return;
    }
    qsizetype i = 0;
#ifdef DUNMOSS_SSE2
    for (; i + 8 <= count; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 2 * i));
        const __m128i swapped = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + i), swapped);
    }
#endif
    for (; i < count; ++i) {
        const auto lo = static_cast<uint8_t>(source[2 * i]);
        const auto hi = static_cast<uint8_t>(source[2 * i + 1]);
        target[i] = static_cast<char16_t>((lo << 8) | hi);
    }
}

constexpr bool hostIsBigEndian = Q_BYTE_ORDER == Q_BIG_ENDIAN;

} // namespace

void releaseUnusedCapacity(QString& text) {
    if (text.capacity() - text.size() > text.size() / 4 + 256)
        text.squeeze();
}

bool hasOnlyPairedSurrogates(QStringView text) {
    return onlyPairedSurrogates(reinterpret_cast<const char16_t*>(text.utf16()), text.size());
}

std::optional<QString> decodeUtf8Strict(QByteArrayView bytes) {
    return decodeUtf8Units(bytes);
}

std::optional<QByteArray> encodeUtf8Strict(QStringView text) {
    const auto* s = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype size = text.size();
    // At most three bytes per unit (a surrogate pair gives four bytes for two units).
    QByteArray out(size * 3, Qt::Uninitialized);
    auto* const start = reinterpret_cast<uint8_t*>(out.data());
    adviseHugePages(start, size_t(out.size()));
    uint8_t* d = start;
    qsizetype i = 0;
    while (i < size) {
#ifdef DUNMOSS_SSE2
        const __m128i nonAscii = _mm_set1_epi16(static_cast<short>(0xFF80));
        const __m128i zero = _mm_setzero_si128();
        while (i + 8 <= size) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
            const __m128i isAscii = _mm_cmpeq_epi16(_mm_and_si128(v, nonAscii), zero);
            if (_mm_movemask_epi8(isAscii) != 0xFFFF)
                break;
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d), _mm_packus_epi16(v, v));
            i += 8;
            d += 8;
        }
        if (i >= size)
            break;
#endif
        const char16_t unit = s[i];
        if (unit < 0x80) {
            *d++ = static_cast<uint8_t>(unit);
            ++i;
        } else if (unit < 0x800) {
            *d++ = static_cast<uint8_t>(0xC0 | (unit >> 6));
            *d++ = static_cast<uint8_t>(0x80 | (unit & 0x3F));
            ++i;
        } else if (!isHighSurrogate(unit) && !isLowSurrogate(unit)) {
            *d++ = static_cast<uint8_t>(0xE0 | (unit >> 12));
            *d++ = static_cast<uint8_t>(0x80 | ((unit >> 6) & 0x3F));
            *d++ = static_cast<uint8_t>(0x80 | (unit & 0x3F));
            ++i;
        } else {
            if (!isHighSurrogate(unit) || i + 1 >= size || !isLowSurrogate(s[i + 1]))
                return std::nullopt;
            const char32_t scalar =
                0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(s[i + 1]) - 0xDC00);
            *d++ = static_cast<uint8_t>(0xF0 | (scalar >> 18));
            *d++ = static_cast<uint8_t>(0x80 | ((scalar >> 12) & 0x3F));
            *d++ = static_cast<uint8_t>(0x80 | ((scalar >> 6) & 0x3F));
            *d++ = static_cast<uint8_t>(0x80 | (scalar & 0x3F));
            i += 2;
        }
    }
    out.resize(d - start);
    return out;
}

std::optional<QString> decodeUtf16Strict(QByteArrayView bytes, bool bigEndian) {
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    const qsizetype count = bytes.size() / 2;
    QString out(count, Qt::Uninitialized);
    adviseHugePages(out.data(), size_t(count) * 2);
    copyUnits(unitsOf(out), bytes.data(), count, bigEndian != hostIsBigEndian);
    if (!onlyPairedSurrogates(unitsOf(out), count))
        return std::nullopt;
    return out;
}

std::optional<QByteArray> encodeUtf16Strict(QStringView text, bool bigEndian) {
    if (!hasOnlyPairedSurrogates(text))
        return std::nullopt;
    QByteArray out(text.size() * 2, Qt::Uninitialized);
    copyUnits(reinterpret_cast<char16_t*>(out.data()), reinterpret_cast<const char*>(text.utf16()),
              text.size(), bigEndian != hostIsBigEndian);
    return out;
}

QString decodeLatin1(QByteArrayView bytes) {
    return QString::fromLatin1(bytes);
}

std::optional<QByteArray> encodeLatin1Strict(QStringView text) {
    const auto* s = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype size = text.size();
    qsizetype i = 0;
#ifdef DUNMOSS_SSE2
    const __m128i wide = _mm_set1_epi16(static_cast<short>(0xFF00));
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= size; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, wide), zero)) != 0xFFFF)
            return std::nullopt;
    }
#endif
    for (; i < size; ++i) {
        if (s[i] > 0xFF)
            return std::nullopt;
    }
    return text.toLatin1();
}

} // namespace dunmoss
