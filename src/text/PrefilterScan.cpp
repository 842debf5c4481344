#include "text/PrefilterScan.h"

#include <cctype>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dunmoss {

namespace {

template <typename Unit> Unit foldedUnit(Unit unit, bool folds) {
    return folds && unit >= Unit('A') && unit <= Unit('Z') ? Unit(unit | 0x20) : unit;
}

template <typename Unit> bool restMatches(const Unit* at, const QByteArray& needle, bool folds) {
    for (qsizetype k = 1; k + 1 < needle.size(); ++k)
        if (foldedUnit(at[k], folds) != Unit(uchar(needle[k])))
            return false;
    return true;
}

#if defined(__SSE2__)
// Sixteen bytes or eight units with ASCII capitals folded when asked.
__m128i foldedLanes(__m128i v, bool folds, bool wide) {
    if (!folds)
        return v;
    const __m128i upper = wide ? _mm_and_si128(_mm_cmpgt_epi16(v, _mm_set1_epi16('A' - 1)),
                                               _mm_cmplt_epi16(v, _mm_set1_epi16('Z' + 1)))
                               : _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('A' - 1)),
                                               _mm_cmplt_epi8(v, _mm_set1_epi8('Z' + 1)));
    return _mm_or_si128(v, _mm_and_si128(upper, wide ? _mm_set1_epi16(0x20) : _mm_set1_epi8(0x20)));
}
#endif

// The first index at or after `from` where the needle (ASCII, in lower case when folding)
// starts, ASCII capitals matching it when folding; -1 when none. Candidates are tested on the
// needle's first and last unit a vector at a time.
template <typename Unit>
qsizetype findNeedle(const Unit* h, qsizetype size, qsizetype from, const QByteArray& needle,
                     bool folds) {
    const qsizetype length = needle.size();
    if (length == 1 && !(folds && std::isalpha(uchar(needle[0])))) {
        // One character that folding leaves alone: the library's own scan.
        if constexpr (sizeof(Unit) == 1) {
            const void* hit = std::memchr(h + from, needle[0], size_t(size - from));
            return hit ? static_cast<const Unit*>(hit) - h : -1;
        } else {
            return QStringView(h, size).indexOf(QChar(uchar(needle[0])), from);
        }
    }
    const Unit first = Unit(uchar(needle[0]));
    const Unit last = Unit(uchar(needle[length - 1]));
    qsizetype i = from;
#if defined(__SSE2__)
    constexpr bool wide = sizeof(Unit) == 2;
    constexpr qsizetype lanes = 16 / sizeof(Unit);
    const __m128i firsts = wide ? _mm_set1_epi16(short(first)) : _mm_set1_epi8(char(first));
    const __m128i lasts = wide ? _mm_set1_epi16(short(last)) : _mm_set1_epi8(char(last));
    const auto load = [&](qsizetype at) {
        return foldedLanes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + at)), folds, wide);
    };
    for (; i + length - 1 + lanes <= size; i += lanes) {
        const __m128i hits = wide ? _mm_and_si128(_mm_cmpeq_epi16(load(i), firsts),
                                                  _mm_cmpeq_epi16(load(i + length - 1), lasts))
                                  : _mm_and_si128(_mm_cmpeq_epi8(load(i), firsts),
                                                  _mm_cmpeq_epi8(load(i + length - 1), lasts));
        for (auto mask = unsigned(_mm_movemask_epi8(hits)); mask != 0;) {
            const int bit = __builtin_ctz(mask);
            const qsizetype at = i + bit / qsizetype(sizeof(Unit));
            if (restMatches(h + at, needle, folds))
                return at;
            mask &= wide ? ~(3u << bit) : mask - 1;
        }
    }
#endif
    for (; i + length <= size; ++i) {
        if (foldedUnit(h[i], folds) == first && foldedUnit(h[i + length - 1], folds) == last &&
            restMatches(h + i, needle, folds))
            return i;
    }
    return -1;
}

// The first index at or after `from` whose unit lies beyond ASCII, or -1.
template <typename Unit> qsizetype findWide(const Unit* h, qsizetype size, qsizetype from) {
    qsizetype i = from;
#if defined(__SSE2__)
    if constexpr (sizeof(Unit) == 2) {
        const __m128i high = _mm_set1_epi16(short(0xFF80));
        for (; i + 8 <= size; i += 8) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i));
            const auto ascii = unsigned(
                _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, high), _mm_setzero_si128())));
            if (ascii != 0xFFFF)
                return i + __builtin_ctz(~ascii) / 2;
        }
    } else {
        for (; i + 16 <= size; i += 16) {
            const auto wide = unsigned(
                _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i))));
            if (wide != 0)
                return i + __builtin_ctz(wide);
        }
    }
#endif
    for (; i < size; ++i)
        if (unsigned(h[i]) >= 0x80)
            return i;
    return -1;
}

} // namespace

PrefilterScan::PrefilterScan(const QueryPrefilter& prefilter)
    : m_literal(prefilter.literal.toLatin1()), m_folds(prefilter.folds) {}

template <typename Unit>
qsizetype PrefilterScan::next(const Unit* units, qsizetype size, qsizetype from) {
    if (m_literalFrom < 0 || (m_literalAt >= 0 && m_literalAt < from)) {
        m_literalAt = findNeedle(units, size, from, m_literal, m_folds);
        m_literalFrom = from;
    }
    if (m_folds && (m_wideFrom < 0 || (m_wideAt >= 0 && m_wideAt < from))) {
        m_wideAt = findWide(units, size, from);
        m_wideFrom = from;
    }
    if (!m_folds || m_wideAt < 0)
        return m_literalAt;
    if (m_literalAt < 0)
        return m_wideAt;
    return std::min(m_literalAt, m_wideAt);
}

qsizetype PrefilterScan::nextCandidate(QStringView text, qsizetype from) {
    return next(text.utf16(), text.size(), from);
}

qsizetype PrefilterScan::nextCandidate(QByteArrayView bytes, qsizetype from) {
    return next(reinterpret_cast<const uchar*>(bytes.data()), bytes.size(), from);
}

bool PrefilterScan::mayMatchUtf8(QByteArrayView bytes) const {
    const auto* data = reinterpret_cast<const uchar*>(bytes.data());
    return findNeedle(data, bytes.size(), 0, m_literal, m_folds) >= 0 ||
           (m_folds && findWide(data, bytes.size(), 0) >= 0);
}

} // namespace dunmoss
