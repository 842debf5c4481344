#include "platform/Utf8Decoding.h"

#include "platform/IdleThreadWork.h"
#include "platform/LargeBuffers.h"
#include "platform/UnicodeFastCodecs.h"

#include <cstdint>
#include <vector>

#if defined(__SSE2__) && Q_BYTE_ORDER == Q_LITTLE_ENDIAN
#include <emmintrin.h>
#define DUNMOSS_SSE2 1
#endif

namespace dunmoss {

namespace {

// Below this a second thread costs more than it saves.
constexpr qsizetype kParallelFromBytes = qsizetype(4) << 20;
constexpr qsizetype kSmallestPieceBytes = qsizetype(1) << 20;
constexpr int kParallelFromThreads = 2;

bool isContinuation(uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

#ifdef DUNMOSS_SSE2
// Hits of sixteen-byte compares (all-ones lanes) counted in byte lanes, emptied into a total
// before a lane can overflow: no bit count per block.
class ByteLaneTally {
public:
    explicit ByteLaneTally(qsizetype& total) : m_total(total) {}
    ~ByteLaneTally() { empty(); }
    ByteLaneTally(const ByteLaneTally&) = delete;
    ByteLaneTally& operator=(const ByteLaneTally&) = delete;

    void add(__m128i hits) {
        m_lanes = _mm_sub_epi8(m_lanes, hits);
        if (++m_blocks >= 255)
            empty();
    }
    void add(__m128i hits, __m128i more) {
        m_lanes = _mm_sub_epi8(_mm_sub_epi8(m_lanes, hits), more);
        if ((m_blocks += 2) >= 254)
            empty();
    }
    void empty() {
        const __m128i sums = _mm_sad_epu8(m_lanes, _mm_setzero_si128());
        m_total += _mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4);
        m_lanes = _mm_setzero_si128();
        m_blocks = 0;
    }

private:
    qsizetype& m_total;
    __m128i m_lanes = _mm_setzero_si128();
    int m_blocks = 0;
};
#endif

// Decodes the bytes [p, end) into units from `out` on, never at or past `limit`; advances `out`
// past what it wrote. False when the bytes are not strict UTF-8 or their units do not fit. When
// joining, `afterCarriageReturn` says the byte before `p` is a CR, whose LF at `p` is dropped.
template <bool Join>
bool decodeRun(const uint8_t* p, const uint8_t* const end, char16_t*& out, char16_t* const limit,
               bool afterCarriageReturn, LineBreakCounts& breaks) {
    char16_t* d = out;
    if (Join && afterCarriageReturn && p < end && *p == '\n') {
        ++breaks.lineFeeds;
        ++breaks.pairs;
        ++p;
    }
#ifdef DUNMOSS_SSE2
    const __m128i zero = _mm_setzero_si128();
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    ByteLaneTally lineFeeds(breaks.lineFeeds);
#endif
    while (p < end) {
#ifdef DUNMOSS_SSE2
        // Thirty-two and then sixteen ASCII bytes at a time; stops before a non-ASCII byte, or
        // a CR when joining.
        const uint8_t* const fastEnd = p + qMin<qsizetype>(end - p, limit - d);
        while (fastEnd - p >= 32) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
            auto stop = unsigned(_mm_movemask_epi8(_mm_or_si128(a, b)));
            if constexpr (Join)
                stop |= unsigned(
                    _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(a, cr), _mm_cmpeq_epi8(b, cr))));
            if (stop != 0)
                break;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi8(a, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 8), _mm_unpackhi_epi8(a, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16), _mm_unpacklo_epi8(b, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 24), _mm_unpackhi_epi8(b, zero));
            if constexpr (Join)
                lineFeeds.add(_mm_cmpeq_epi8(a, lf), _mm_cmpeq_epi8(b, lf));
            p += 32;
            d += 32;
        }
        while (fastEnd - p >= 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            auto stop = unsigned(_mm_movemask_epi8(v));
            if constexpr (Join)
                stop |= unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, cr)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi8(v, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 8), _mm_unpackhi_epi8(v, zero));
            if (stop == 0) {
                if constexpr (Join)
                    lineFeeds.add(_mm_cmpeq_epi8(v, lf));
                p += 16;
                d += 16;
                continue;
            }
            const int ascii = __builtin_ctz(stop);
            if constexpr (Join) {
                const auto lfBits = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)));
                breaks.lineFeeds += __builtin_popcount(lfBits & ((1u << ascii) - 1));
            }
            p += ascii;
            d += ascii;
            break;
        }
        if (p == end)
            break;
#endif
        const uint8_t lead = *p;
        const qsizetype left = end - p;
        if (lead < 0x80) {
            if (d == limit)
                return false;
            if constexpr (Join) {
                if (lead == '\r') {
                    ++breaks.carriageReturns;
                    *d++ = u'\n';
                    ++p;
                    if (p < end && *p == '\n') {
                        ++breaks.lineFeeds;
                        ++breaks.pairs;
                        ++p;
                    }
                    continue;
                }
                breaks.lineFeeds += lead == '\n';
            }
            *d++ = lead;
            ++p;
        } else if (lead < 0xC2) {
            return false; // continuation byte or overlong two-byte form
        } else if (lead < 0xE0) {
            if (left < 2 || !isContinuation(p[1]) || d == limit)
                return false;
            *d++ = static_cast<char16_t>(((lead & 0x1F) << 6) | (p[1] & 0x3F));
            p += 2;
        } else if (lead < 0xF0) {
            if (left < 3 || d == limit)
                return false;
            const uint8_t c1 = p[1];
            const uint8_t low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
            const uint8_t high = lead == 0xED ? 0x9F : 0xBF; // no encoded surrogates
            if (c1 < low || c1 > high || !isContinuation(p[2]))
                return false;
            *d++ =
                static_cast<char16_t>(((lead & 0x0F) << 12) | ((c1 & 0x3F) << 6) | (p[2] & 0x3F));
            p += 3;
        } else if (lead < 0xF5) {
            if (left < 4 || limit - d < 2)
                return false;
            const uint8_t c1 = p[1];
            const uint8_t low = lead == 0xF0 ? 0x90 : 0x80;
            const uint8_t high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
            if (c1 < low || c1 > high || !isContinuation(p[2]) || !isContinuation(p[3]))
                return false;
            const char32_t scalar = (char32_t(lead & 0x07) << 18) | (char32_t(c1 & 0x3F) << 12) |
                                    (char32_t(p[2] & 0x3F) << 6) | char32_t(p[3] & 0x3F);
            *d++ = static_cast<char16_t>(0xD7C0 + (scalar >> 10));
            *d++ = static_cast<char16_t>(0xDC00 | (scalar & 0x3FF));
            p += 4;
        } else {
            return false;
        }
    }
    out = d;
    return true;
}

// The units strict UTF-8 bytes [begin, end) of `data` decode to: one per byte that is no
// continuation byte, two for a four-byte sequence; when joining, none for a LF after a CR. For
// other bytes the count means nothing, and their decoding fails all the same.
qsizetype countUnits(const uint8_t* data, qsizetype begin, qsizetype end, bool join) {
    qsizetype continuations = 0;
    qsizetype fourByteLeads = 0;
    qsizetype droppedLineFeeds = 0;
    // A pair is counted where its CR is; one whose CR ends the previous range counts here.
    if (join && begin > 0 && begin < end && data[begin - 1] == '\r' && data[begin] == '\n')
        ++droppedLineFeeds;
    const auto countByte = [&](qsizetype at) {
        continuations += isContinuation(data[at]);
        fourByteLeads += data[at] >= 0xF0;
        droppedLineFeeds += join && data[at] == '\r' && at + 1 < end && data[at + 1] == '\n';
    };
    qsizetype i = begin;
#ifdef DUNMOSS_SSE2
    // As signed bytes, 0x80..0xBF lie below 0xC0, and 0xF0..0xFF between 0xEF and 0.
    const __m128i firstLead = _mm_set1_epi8(char(0xC0));
    const __m128i beforeFourByteLeads = _mm_set1_epi8(char(0xEF));
    const __m128i zero = _mm_setzero_si128();
    const __m128i cr = _mm_set1_epi8(join ? '\r' : 0);
    for (; i + 16 <= end; i += 16) {
        // Most blocks are ASCII without a CR: sixteen units, nothing to count.
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const __m128i crs = join ? _mm_cmpeq_epi8(v, cr) : zero;
        if (_mm_movemask_epi8(_mm_or_si128(v, crs)) == 0)
            continue;
        const __m128i continuation = _mm_cmplt_epi8(v, firstLead);
        const __m128i fourByte =
            _mm_and_si128(_mm_cmpgt_epi8(v, beforeFourByteLeads), _mm_cmplt_epi8(v, zero));
        continuations += __builtin_popcount(unsigned(_mm_movemask_epi8(continuation)));
        fourByteLeads += __builtin_popcount(unsigned(_mm_movemask_epi8(fourByte)));
        for (auto bits = unsigned(_mm_movemask_epi8(crs)); bits != 0; bits &= bits - 1) {
            const qsizetype at = i + __builtin_ctz(bits);
            droppedLineFeeds += at + 1 < end && data[at + 1] == '\n';
        }
    }
#endif
    for (; i < end; ++i)
        countByte(i);
    return (end - begin) - continuations + fourByteLeads - droppedLineFeeds;
}

struct Piece {
    qsizetype begin = 0;
    qsizetype end = 0;
    qsizetype unitsAt = 0;
    qsizetype units = 0;
    LineBreakCounts breaks;
    bool decoded = false;
};

template <bool Join>
std::optional<QString> decodeWhole(QByteArrayView bytes, qsizetype pieceBytes,
                                   LineBreakCounts& breaks) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    const qsizetype size = bytes.size();
    const qsizetype pieceCount = pieceBytes > 0 ? (size + pieceBytes - 1) / pieceBytes : 1;
    if (pieceCount <= 1) {
        // Never more units than bytes.
        QString out(size, Qt::Uninitialized);
        auto* const start = reinterpret_cast<char16_t*>(out.data());
        adviseHugePages(start, size_t(size) * 2);
        char16_t* d = start;
        if (size > 0 && !decodeRun<Join>(data, data + size, d, start + size, false, breaks))
            return std::nullopt;
        out.resize(d - start);
        releaseUnusedCapacity(out);
        return out;
    }
    // Pieces start at a character: past at most three continuation bytes (more cannot be UTF-8).
    std::vector<Piece> pieces(static_cast<size_t>(pieceCount));
    qsizetype at = 0;
    for (qsizetype k = 0; k < pieceCount; ++k) {
        Piece& piece = pieces[size_t(k)];
        piece.begin = at;
        at = k + 1 == pieceCount ? size : qMax(at, size * (k + 1) / pieceCount);
        for (int skipped = 0; skipped < 3 && at < size && isContinuation(data[at]); ++skipped)
            ++at;
        piece.end = at;
    }
    runOnIdleThreads(int(pieceCount), [&](int k) {
        Piece& piece = pieces[size_t(k)];
        piece.units = countUnits(data, piece.begin, piece.end, Join);
    });
    qsizetype total = 0;
    for (Piece& piece : pieces) {
        piece.unitsAt = total;
        total += piece.units;
    }
    QString out(total, Qt::Uninitialized);
    auto* const start = reinterpret_cast<char16_t*>(out.data());
    adviseHugePages(start, size_t(total) * 2);
    runOnIdleThreads(int(pieceCount), [&](int k) {
        Piece& piece = pieces[size_t(k)];
        char16_t* d = start + piece.unitsAt;
        char16_t* const limit = d + piece.units;
        const bool afterCarriageReturn = piece.begin > 0 && data[piece.begin - 1] == '\r';
        piece.decoded = decodeRun<Join>(data + piece.begin, data + piece.end, d, limit,
                                        afterCarriageReturn, piece.breaks) &&
                        d == limit;
    });
    for (const Piece& piece : pieces) {
        if (!piece.decoded)
            return std::nullopt;
        breaks += piece.breaks;
    }
    return out;
}

qsizetype defaultPieceBytes(qsizetype size) {
    if (size < kParallelFromBytes)
        return 0;
    // The helper also clears the fresh pages it writes, which is much of the cost.
    const int width = idleThreadWorkWidth();
    if (width < kParallelFromThreads)
        return 0;
    // A few pieces per thread even out threads that start late.
    return qMax(kSmallestPieceBytes, size / (qsizetype(width) * 3));
}

} // namespace

bool isStrictUtf8(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    const uint8_t* const end = p + bytes.size();
    while (p < end) {
#ifdef DUNMOSS_SSE2
        // Thirty-two ASCII bytes at a time, then byte by byte up to the next non-ASCII one.
        while (end - p >= 32) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
            if (_mm_movemask_epi8(_mm_or_si128(a, b)) != 0)
                break;
            p += 32;
        }
#endif
        while (p < end && *p < 0x80)
            ++p;
        if (p == end)
            break;
        // The same checks as decodeRun's, sequence by sequence.
        const uint8_t lead = *p;
        const qsizetype left = end - p;
        if (lead < 0xC2) {
            return false;
        } else if (lead < 0xE0) {
            if (left < 2 || !isContinuation(p[1]))
                return false;
            p += 2;
        } else if (lead < 0xF0) {
            const uint8_t low = lead == 0xE0 ? 0xA0 : 0x80;
            const uint8_t high = lead == 0xED ? 0x9F : 0xBF;
            if (left < 3 || p[1] < low || p[1] > high || !isContinuation(p[2]))
                return false;
            p += 3;
        } else if (lead < 0xF5) {
            const uint8_t low = lead == 0xF0 ? 0x90 : 0x80;
            const uint8_t high = lead == 0xF4 ? 0x8F : 0xBF;
            if (left < 4 || p[1] < low || p[1] > high || !isContinuation(p[2]) ||
                !isContinuation(p[3]))
                return false;
            p += 4;
        } else {
            return false;
        }
    }
    return true;
}

std::optional<QString> decodeUtf8Units(QByteArrayView bytes) {
    return decodeUtf8InPieces(bytes, defaultPieceBytes(bytes.size()));
}

std::optional<Utf8JoinedLines> decodeUtf8JoiningLineBreaks(QByteArrayView bytes) {
    return decodeUtf8JoiningLineBreaksInPieces(bytes, defaultPieceBytes(bytes.size()));
}

std::optional<QString> decodeUtf8InPieces(QByteArrayView bytes, qsizetype pieceBytes) {
    LineBreakCounts unused;
    return decodeWhole<false>(bytes, pieceBytes, unused);
}

std::optional<Utf8JoinedLines> decodeUtf8JoiningLineBreaksInPieces(QByteArrayView bytes,
                                                                   qsizetype pieceBytes) {
    Utf8JoinedLines joined;
    std::optional<QString> text = decodeWhole<true>(bytes, pieceBytes, joined.breaks);
    if (!text)
        return std::nullopt;
    joined.text = std::move(*text);
    return joined;
}

} // namespace dunmoss
