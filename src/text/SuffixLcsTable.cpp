#include "text/SuffixLcsTable.h"

#include <algorithm>
#include <bit>

namespace dunmoss {

SuffixLcsTable::SuffixLcsTable(const int* a, qsizetype n, const int* b, qsizetype m)
    : m_n(n), m_m(m), m_words(std::max<qsizetype>((m + 63) / 64, 1)) {
    m_bits.assign(size_t(n + 1) * size_t(m_words), ~uint64_t(0));

    // Match masks over b reversed: bit t of a symbol's mask is set when b[m - 1 - t] is it.
    int largest = -1;
    for (qsizetype t = 0; t < m; ++t)
        largest = std::max(largest, b[t]);
    std::vector<qsizetype> maskOf(size_t(largest + 1), -1);
    std::vector<uint64_t> masks;
    for (qsizetype t = 0; t < m; ++t) {
        const int symbol = b[m - 1 - t];
        if (maskOf[size_t(symbol)] < 0) {
            maskOf[size_t(symbol)] = qsizetype(masks.size() / size_t(m_words));
            masks.resize(masks.size() + size_t(m_words), 0);
        }
        masks[size_t(maskOf[size_t(symbol)] * m_words + t / 64)] |= uint64_t(1) << (t % 64);
    }

    // Row k + 1 takes the symbol a[n - 1 - k]: V' = (V + U) | (V - U) with U = V & mask,
    // where V - U is V & ~U as U holds only bits of V.
    for (qsizetype k = 0; k < n; ++k) {
        const uint64_t* v = row(k);
        uint64_t* next = m_bits.data() + size_t(k + 1) * size_t(m_words);
        const int symbol = a[n - 1 - k];
        const qsizetype mask = symbol >= 0 && symbol <= largest ? maskOf[size_t(symbol)] : -1;
        if (mask < 0) {
            std::copy(v, v + m_words, next);
            continue;
        }
        const uint64_t* match = masks.data() + size_t(mask * m_words);
        uint64_t carry = 0;
        for (qsizetype w = 0; w < m_words; ++w) {
            const uint64_t u = v[w] & match[w];
            const uint64_t partial = v[w] + u;
            const uint64_t sum = partial + carry;
            carry = (partial < v[w] || sum < partial) ? 1 : 0;
            next[w] = sum | (v[w] & ~u);
        }
    }
}

int SuffixLcsTable::zeros(qsizetype k, qsizetype length) const {
    const uint64_t* bits = row(k);
    int ones = 0;
    const qsizetype full = length / 64;
    for (qsizetype w = 0; w < full; ++w)
        ones += std::popcount(bits[w]);
    if (const qsizetype rest = length % 64)
        ones += std::popcount(bits[full] & ((uint64_t(1) << rest) - 1));
    return int(length) - ones;
}

} // namespace dunmoss
