#pragma once

#include <QtGlobal>

#if defined(__SSE2__) && Q_BYTE_ORDER == Q_LITTLE_ENDIAN
#include <emmintrin.h>

namespace dunmoss {

// Counts the hits of eight-unit compares (all-ones lanes, as _mm_cmpeq_epi16 gives) in eight
// 16-bit lanes, emptied into a total before any lane can overflow: one vector subtraction per
// block instead of a bit count.
class UnitTally {
public:
    explicit UnitTally(qsizetype& total) : m_total(total) {}
    ~UnitTally() { empty(); }
    UnitTally(const UnitTally&) = delete;
    UnitTally& operator=(const UnitTally&) = delete;

    void add(__m128i hits) {
        m_lanes = _mm_sub_epi16(m_lanes, hits);
        if (++m_blocks == 65535)
            empty();
    }
    // Adds what the lanes hold to the total; also done when the tally goes.
    void empty() {
        alignas(16) quint16 lanes[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), m_lanes);
        for (const quint16 lane : lanes)
            m_total += lane;
        m_lanes = _mm_setzero_si128();
        m_blocks = 0;
    }

private:
    qsizetype& m_total;
    __m128i m_lanes = _mm_setzero_si128();
    int m_blocks = 0;
};

} // namespace dunmoss

#endif
