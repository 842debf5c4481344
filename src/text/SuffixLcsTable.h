#pragma once

#include <QtGlobal>
#include <cstdint>
#include <vector>

namespace dunmoss {

// The table T[i][j] = length of the longest common subsequence of a[i..n) and b[j..m), for
// sequences of small integer symbols. Neighbouring cells of a row differ by 0 or 1, so each row
// is kept as one bit per cell and computed a machine word at a time (the bit-parallel LCS
// recurrence run over both sequences reversed): (n + 1) rows of m bits instead of
// (n + 1) x (m + 1) integers.
class SuffixLcsTable {
public:
    SuffixLcsTable(const int* a, qsizetype n, const int* b, qsizetype m);

    // T[i][j] for 0 <= i <= n, 0 <= j <= m.
    int at(qsizetype i, qsizetype j) const { return zeros(m_n - i, m_m - j); }

    // Number of zero bits among the first `length` bits of row k (rows count the symbols of a
    // taken from its end), which is T[n - k][m - length].
    int zeros(qsizetype k, qsizetype length) const;
    // Whether bit `position` of row k is zero: T[n - k][m - position - 1] exceeds
    // T[n - k][m - position].
    bool zeroBit(qsizetype k, qsizetype position) const {
        return ((row(k)[position / 64] >> (position % 64)) & 1u) == 0;
    }

private:
    const uint64_t* row(qsizetype k) const { return m_bits.data() + size_t(k) * size_t(m_words); }

    qsizetype m_n;
    qsizetype m_m;
    qsizetype m_words;
    std::vector<uint64_t> m_bits;
};

} // namespace dunmoss
