#include "platform/RegexStartFilter.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dunmoss {

namespace {

// A restart of ICU's find costs about as much as trying a few positions.
constexpr qsizetype kRestartGap = 8;

} // namespace

RegexStartFilter::RegexStartFilter(const UnitSet& canStart, const std::optional<UnitSet>& follower)
    : m_canStart(canStart) {
    if (follower) {
        m_hasFollower = true;
        for (int u = 0; u < 128; ++u)
            m_hasFollower = m_hasFollower && !(canStart[u] && (*follower)[u]);
        if (m_hasFollower)
            m_follows = *follower;
    }
    int ranges = 0;
    for (int u = 0; u < 128; ++u) {
        if (!canStart[u])
            continue;
        ++m_startCount;
        if (u > 0 && canStart[u - 1]) {
            if (ranges <= kMostRanges)
                m_rangeSpan[ranges - 1] = char16_t(u - m_rangeFirst[ranges - 1]);
            continue;
        }
        if (ranges < kMostRanges) {
            m_rangeFirst[ranges] = char16_t(u);
            m_rangeSpan[ranges] = 0;
        }
        ++ranges;
    }
    m_rangeCount = ranges <= kMostRanges ? ranges : 0;
}

qsizetype RegexStartFilter::nextCandidate(const char16_t* text, qsizetype from,
                                          qsizetype limit) const {
    // Where most units may start a match (words, digits), the first usually does: no scan set-up.
    if (from < limit && mayStart(text[from]))
        return from;
#if defined(__SSE2__)
    if (m_rangeCount > 0 || m_startCount == 0) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i asciiLast = _mm_set1_epi16(0x7F);
        __m128i first[kMostRanges];
        __m128i span[kMostRanges];
        for (int r = 0; r < m_rangeCount; ++r) {
            first[r] = _mm_set1_epi16(short(m_rangeFirst[r]));
            span[r] = _mm_set1_epi16(short(m_rangeSpan[r]));
        }
        for (; limit - from >= 8; from += 8) {
            const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + from));
            // Above 0x7F saturates to non-zero; below a range's first unit wraps to a large one.
            __m128i hit = _mm_andnot_si128(_mm_cmpeq_epi16(_mm_subs_epu16(units, asciiLast), zero),
                                           _mm_set1_epi16(-1));
            for (int r = 0; r < m_rangeCount; ++r) {
                const __m128i offset = _mm_sub_epi16(units, first[r]);
                hit = _mm_or_si128(hit, _mm_cmpeq_epi16(_mm_subs_epu16(offset, span[r]), zero));
            }
            if (const int mask = _mm_movemask_epi8(hit))
                return from + __builtin_ctz(unsigned(mask)) / 2;
        }
    }
#endif
    while (from < limit && !mayStart(text[from]))
        ++from;
    return from;
}

qsizetype RegexStartFilter::restartTarget(const char16_t* text, qsizetype next, qsizetype from,
                                          qsizetype limit, Progress& progress) const {
    if (next >= limit || (from == next && next >= progress.scanFrom && next < progress.startsUntil))
        return -1;
    qsizetype start = nextCandidate(text, from, limit);
    qsizetype startsUntil = start + 1;
    while (m_hasFollower && start < limit && text[start] < 0x80) {
        // Every start in a run of the loop's units ends its loop at the run's end, where the
        // follower must match, since the two sets share no unit.
        qsizetype end = start + 1;
        while (end < limit && text[end] < 0x80 && m_canStart[text[end]])
            ++end;
        if (end < limit && (text[end] >= 0x80 || m_follows[text[end]])) {
            startsUntil = end;
            break;
        }
        start = nextCandidate(text, end, limit);
        startsUntil = start + 1;
    }
    progress = {next, start, startsUntil};
    return start - next >= kRestartGap ? start : -1;
}

} // namespace dunmoss
