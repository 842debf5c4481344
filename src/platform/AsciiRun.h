#pragma once

#include <QtGlobal>
#include <cstdint>

#if defined(__SSE2__) && Q_BYTE_ORDER == Q_LITTLE_ENDIAN
#include <emmintrin.h>
#endif

namespace dunmoss {

// Widens the run of ASCII bytes starting at `p` into UTF-16 units at `d` and advances both past
// it. The target must have room for one unit per remaining source byte: up to 15 units beyond
// the run may be written (and are overwritten by the caller's next output).
inline void widenAsciiRun(const uint8_t*& p, const uint8_t* end, char16_t*& d) {
#if defined(__SSE2__) && Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 8), _mm_unpackhi_epi8(v, zero));
        const int high = _mm_movemask_epi8(v);
        if (high != 0) {
            const int ascii = __builtin_ctz(static_cast<unsigned>(high));
            p += ascii;
            d += ascii;
            return;
        }
        p += 16;
        d += 16;
    }
#endif
    while (p < end && *p < 0x80)
        *d++ = *p++;
}

} // namespace dunmoss
