#include "text/Utf8LiteralScan.h"

#include "platform/UnicodeFastCodecs.h"
#include "platform/Utf8Decoding.h"
#include "text/EncodingDetection.h"
#include "text/Graphemes.h"
#include "text/MatchPreview.h"
#include "text/SearchScanner.h"

#include <cstring>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dunmoss {

namespace {

bool isContinuation(uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

#if defined(__SSE2__)
__m128i loadBytes(const char* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}
#endif

// First index at or after `from` where the needle starts, or -1. Sixteen positions at a time
// are tested on the needle's first and last byte together; only those candidates are compared.
qsizetype findBytes(QByteArrayView haystack, qsizetype from, QByteArrayView needle) {
    const char* h = haystack.data();
    const char* n = needle.data();
    const qsizetype size = haystack.size();
    const qsizetype length = needle.size();
    if (from + length > size)
        return -1;
    if (length == 1) {
        const void* hit = std::memchr(h + from, n[0], size_t(size - from));
        return hit ? static_cast<const char*>(hit) - h : -1;
    }
    const char first = n[0];
    const char last = n[length - 1];
    const size_t middle = size_t(length - 2);
    qsizetype i = from;
#if defined(__SSE2__)
    const __m128i firsts = _mm_set1_epi8(first);
    const __m128i lasts = _mm_set1_epi8(last);
    for (; i + length - 1 + 16 <= size; i += 16) {
        auto mask = unsigned(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(loadBytes(h + i), firsts),
                                            _mm_cmpeq_epi8(loadBytes(h + i + length - 1), lasts))));
        for (; mask != 0; mask &= mask - 1) {
            const qsizetype at = i + __builtin_ctz(mask);
            if (std::memcmp(h + at + 1, n + 1, middle) == 0)
                return at;
        }
    }
#endif
    for (; i + length <= size; ++i) {
        if (h[i] == first && h[i + length - 1] == last &&
            std::memcmp(h + i + 1, n + 1, middle) == 0)
            return i;
    }
    return -1;
}

char foldedAscii(char byte) {
    return byte >= 'A' && byte <= 'Z' ? char(byte | 0x20) : byte;
}

// findBytes for ASCII bytes and a needle of ASCII lower case, ASCII letters matching in either
// case.
qsizetype findFoldedBytes(QByteArrayView haystack, qsizetype from, QByteArrayView needle) {
    const char* h = haystack.data();
    const char* n = needle.data();
    const qsizetype size = haystack.size();
    const qsizetype length = needle.size();
    const auto restMatches = [&](qsizetype at) {
        for (qsizetype k = 1; k + 1 < length; ++k)
            if (foldedAscii(h[at + k]) != n[k])
                return false;
        return true;
    };
    qsizetype i = from;
#if defined(__SSE2__)
    const __m128i firsts = _mm_set1_epi8(n[0]);
    const __m128i lasts = _mm_set1_epi8(n[length - 1]);
    const __m128i beforeA = _mm_set1_epi8('A' - 1);
    const __m128i afterZ = _mm_set1_epi8('Z' + 1);
    const __m128i caseBit = _mm_set1_epi8(0x20);
    // Signed compares: every byte is ASCII.
    const auto fold = [&](__m128i v) {
        const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(v, beforeA), _mm_cmplt_epi8(v, afterZ));
        return _mm_or_si128(v, _mm_and_si128(upper, caseBit));
    };
    for (; i + length - 1 + 16 <= size; i += 16) {
        auto mask = unsigned(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(fold(loadBytes(h + i)), firsts),
                          _mm_cmpeq_epi8(fold(loadBytes(h + i + length - 1)), lasts))));
        for (; mask != 0; mask &= mask - 1) {
            const qsizetype at = i + __builtin_ctz(mask);
            if (restMatches(at))
                return at;
        }
    }
#endif
    for (; i + length <= size; ++i) {
        if (foldedAscii(h[i]) == n[0] && foldedAscii(h[i + length - 1]) == n[length - 1] &&
            restMatches(i))
            return i;
    }
    return -1;
}

// Line feeds in the bytes, tallied sixteen at a time in byte lanes.
qsizetype countLineFeeds(QByteArrayView bytes) {
    const char* p = bytes.data();
    const qsizetype size = bytes.size();
    qsizetype count = 0;
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i feeds = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    while (size - i >= 16) {
        // A lane holds at most 255 hits.
        const qsizetype blockEnd = i + qMin<qsizetype>((size - i) / 16, 255) * 16;
        __m128i lanes = zero;
        for (; i < blockEnd; i += 16)
            lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(loadBytes(p + i), feeds));
        const __m128i sums = _mm_sad_epu8(lanes, zero);
        count += _mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4);
    }
#endif
    for (; i < size; ++i)
        count += p[i] == '\n';
    return count;
}

// The UTF-16 units strict UTF-8 bytes decode to: one per sequence, two for four bytes.
qsizetype utf16Units(QByteArrayView bytes) {
    qsizetype units = 0;
    for (const char c : bytes) {
        const auto byte = uint8_t(c);
        units += !isContinuation(byte) + (byte >= 0xF0);
    }
    return units;
}

// The scalar of the strict UTF-8 sequence starting at `p`.
char32_t scalarAt(const uint8_t* p) {
    const uint8_t lead = p[0];
    if (lead < 0x80)
        return lead;
    if (lead < 0xE0)
        return (char32_t(lead & 0x1F) << 6) | (p[1] & 0x3F);
    if (lead < 0xF0)
        return (char32_t(lead & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
    return (char32_t(lead & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) |
           (char32_t(p[2] & 0x3F) << 6) | (p[3] & 0x3F);
}

// Whether the characters just before `at` and at `end` leave the match a whole word.
bool boundsWholeWord(QByteArrayView bytes, qsizetype at, qsizetype end) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    if (at > 0) {
        qsizetype lead = at - 1;
        while (lead > 0 && isContinuation(data[lead]))
            --lead;
        if (isSearchWordCharacter(scalarAt(data + lead)))
            return false;
    }
    return end >= bytes.size() || !isSearchWordCharacter(scalarAt(data + end));
}

// Places matches visited in increasing order: lines are counted once, and a line is decoded
// only when a match on it needs its preview.
class LineTracker {
public:
    explicit LineTracker(QByteArrayView bytes) : m_bytes(bytes) { m_lineEnd = lineEndFrom(0); }

    LocatedMatch locate(qsizetype at, qsizetype matchUnits) {
        if (at >= m_lineEnd)
            moveTo(at);
        m_unitsBefore += utf16Units(m_bytes.sliced(m_counted, at - m_counted));
        m_counted = at;
        if (!m_line) {
            const std::optional<QString> line =
                decodeUtf8Units(m_bytes.sliced(m_lineStart, m_lineEnd - m_lineStart));
            m_line = line.value_or(QString());
            m_graphemes.emplace(*m_line);
        }
        return LocatedMatch{m_lineIndex + 1, m_unitsBefore + 1,
                            matchPreviewOnLine(TextRange{m_unitsBefore, matchUnits}, *m_line, 0,
                                               m_line->size(), *m_graphemes)};
    }

private:
    // Just past the line feed at or after `from`, or the end of the bytes.
    qsizetype lineEndFrom(qsizetype from) const {
        if (from >= m_bytes.size())
            return m_bytes.size();
        const void* feed = std::memchr(m_bytes.data() + from, '\n', size_t(m_bytes.size() - from));
        return feed ? static_cast<const char*>(feed) - m_bytes.data() + 1 : m_bytes.size();
    }

    void moveTo(qsizetype at) {
        const QByteArrayView skipped = m_bytes.sliced(m_lineEnd, at - m_lineEnd);
        m_lineIndex += 1 + countLineFeeds(skipped);
        m_lineStart = m_lineEnd + skipped.lastIndexOf('\n') + 1;
        m_lineEnd = lineEndFrom(at);
        m_counted = m_lineStart;
        m_unitsBefore = 0;
        m_graphemes.reset();
        m_line.reset();
    }

    QByteArrayView m_bytes;
    qsizetype m_lineIndex = 0;
    qsizetype m_lineStart = 0;
    qsizetype m_lineEnd = 0;
    // The units of the line's bytes before m_counted.
    qsizetype m_counted = 0;
    qsizetype m_unitsBefore = 0;
    std::optional<QString> m_line;
    std::optional<GraphemeBoundaries> m_graphemes;
};

} // namespace

bool findsInUtf8Bytes(const QString& query, const TextSearchOptions& options) {
    return !options.isRegex && !query.isEmpty() && !query.contains(u'\n') &&
           !query.contains(u'\r') &&
           (options.isCaseSensitive ? hasOnlyPairedSurrogates(query)
                                    : QtPrivate::isAscii(QStringView(query)));
}

bool findsInUtf8Bytes(const QString& query, const TextSearchOptions& options,
                      QByteArrayView bytes) {
    return findsInUtf8Bytes(query, options) && detectsAsPlainUtf8(bytes) &&
           (options.isCaseSensitive || QtPrivate::isAscii(QLatin1StringView(bytes)));
}

QList<LocatedMatch> findLiteralInUtf8(QByteArrayView bytes, const QString& query,
                                      const TextSearchOptions& options, qsizetype room,
                                      const CancellationCheck& cancelled) {
    QList<LocatedMatch> found;
    const bool folds = !options.isCaseSensitive;
    const bool wholeWord = options.isWholeWord;
    const QByteArray needle = folds ? query.toLower().toUtf8() : query.toUtf8();
    const auto find = [folds](QByteArrayView haystack, qsizetype from, QByteArrayView what) {
        if (from + what.size() > haystack.size())
            return qsizetype(-1);
        return folds ? findFoldedBytes(haystack, from, what) : findBytes(haystack, from, what);
    };
    LineTracker lines(bytes);
    qsizetype from = 0;
    for (qsizetype asked = 0; found.size() < room; ++asked) {
        if (cancelled && asked % 1024 == 0 && cancelled())
            break;
        qsizetype at = find(bytes, from, needle);
        // A match that is not a whole word is tried again one character later.
        while (at >= 0 && wholeWord && !boundsWholeWord(bytes, at, at + needle.size()))
            at = find(bytes, at + 1, needle);
        if (at < 0)
            break;
        from = at + needle.size();
        found.append(lines.locate(at, query.size()));
    }
    return found;
}

} // namespace dunmoss
