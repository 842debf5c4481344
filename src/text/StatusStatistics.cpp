#include "text/StatusStatistics.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <unicode/ubrk.h>
#include <unicode/uchar.h>

namespace dunmoss {

namespace {

// A "simple" UTF-16 unit is a whole BMP code point whose grapheme-break property is Other,
// Control, CR or LF. Between two simple units there is always a cluster boundary except inside
// CR LF: no rule joins them (joining rules need Extend, ZWJ, SpacingMark, Prepend, Hangul jamo or
// regional indicators on one side). Counting runs of simple units needs no break iterator, which
// keeps the common scripts (Latin, CJK, Cyrillic, ...) at memory speed.
class SimpleUnitTable {
public:
    SimpleUnitTable() {
        m_bits.fill(0);
        for (UChar32 c = 0; c <= 0xFFFF; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF)
                continue;
            const int gcb = u_getIntPropertyValue(c, UCHAR_GRAPHEME_CLUSTER_BREAK);
            if (gcb == U_GCB_OTHER || gcb == U_GCB_CONTROL || gcb == U_GCB_CR || gcb == U_GCB_LF)
                m_bits[static_cast<size_t>(c) >> 6] |= uint64_t(1) << (c & 63);
        }
    }
    bool contains(char16_t unit) const { return (m_bits[unit >> 6] >> (unit & 63)) & 1; }

private:
    std::array<uint64_t, 1024> m_bits;
};

const SimpleUnitTable& simpleUnits() {
    static const SimpleUnitTable table;
    return table;
}

// One character break iterator per thread, re-pointed at each segment without copying.
class ClusterIterator {
public:
    ClusterIterator() {
        UErrorCode status = U_ZERO_ERROR;
        m_iterator = ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status);
        if (U_FAILURE(status))
            m_iterator = nullptr;
    }
    ~ClusterIterator() {
        if (m_iterator)
            ubrk_close(m_iterator);
    }
    ClusterIterator(const ClusterIterator&) = delete;
    ClusterIterator& operator=(const ClusterIterator&) = delete;

    bool setText(const char16_t* units, qsizetype length) {
        if (!m_iterator || length > INT32_MAX)
            return false;
        UErrorCode status = U_ZERO_ERROR;
        ubrk_setText(m_iterator, reinterpret_cast<const UChar*>(units),
                     static_cast<int32_t>(length), &status);
        return U_SUCCESS(status);
    }
    // Clusters of the whole segment set last.
    qsizetype count() {
        qsizetype clusters = 0;
        ubrk_first(m_iterator);
        while (ubrk_next(m_iterator) != UBRK_DONE)
            ++clusters;
        return clusters;
    }
    bool isBoundary(qsizetype offset) {
        return ubrk_isBoundary(m_iterator, static_cast<int32_t>(offset)) != 0;
    }

private:
    UBreakIterator* m_iterator = nullptr;
};

ClusterIterator& clusterIterator() {
    thread_local ClusterIterator iterator;
    return iterator;
}

inline bool fastBoundary(const char16_t* u, qsizetype p, const SimpleUnitTable& simple) {
    return simple.contains(u[p - 1]) && simple.contains(u[p]) &&
           !(u[p - 1] == u'\r' && u[p] == u'\n');
}

// Counts clusters in u[0, n); stops early (returning a value above `limit`) once the count passes
// `limit`. Positions where the fast rule cannot decide are handed to the break iterator in
// segments that start and end on boundaries the fast rule has proven.
qsizetype countClusters(const char16_t* u, qsizetype n, qsizetype limit) {
    if (n <= 0)
        return 0;
    const SimpleUnitTable& simple = simpleUnits();
    qsizetype clusters = 0;
    qsizetype start = 0; // a known boundary
    qsizetype p = 1;
    while (p <= n) {
        if (p == n) {
            ++clusters;
            break;
        }
        if (fastBoundary(u, p, simple)) {
            ++clusters;
            start = p;
            if (clusters > limit)
                return clusters;
            ++p;
            continue;
        }
        if (simple.contains(u[p - 1]) && simple.contains(u[p])) {
            ++p; // CR LF
            continue;
        }
        // Undecided: extend to the next proven boundary and let the iterator count the segment.
        qsizetype end = p + 1;
        while (end < n && !fastBoundary(u, end, simple))
            ++end;
        ClusterIterator& iterator = clusterIterator();
        if (iterator.setText(u + start, end - start))
            clusters += iterator.count();
        else
            clusters += end - start; // no iterator: code units are the safe upper bound
        if (clusters > limit)
            return clusters;
        if (end == n)
            break;
        start = end;
        p = end + 1;
    }
    return clusters;
}

} // namespace

qsizetype graphemeClusterCount(QStringView text) {
    return countClusters(text.utf16(), text.size(), std::numeric_limits<qsizetype>::max());
}

bool hasMoreGraphemeClustersThan(QStringView text, qsizetype limit) {
    if (text.size() <= limit)
        return false;
    return countClusters(text.utf16(), text.size(), limit) > limit;
}

bool isGraphemeBoundary(QStringView text, qsizetype position) {
    const qsizetype n = text.size();
    if (position <= 0 || position >= n)
        return position == 0 || position == n;
    const char16_t* u = text.utf16();
    const SimpleUnitTable& simple = simpleUnits();
    if (simple.contains(u[position - 1]) && simple.contains(u[position]))
        return !(u[position - 1] == u'\r' && u[position] == u'\n');
    qsizetype start = position - 1;
    while (start > 0 && !fastBoundary(u, start, simple))
        --start;
    qsizetype end = position + 1;
    while (end < n && !fastBoundary(u, end, simple))
        ++end;
    ClusterIterator& iterator = clusterIterator();
    if (!iterator.setText(u + start, end - start))
        return !QChar::isLowSurrogate(u[position]);
    return iterator.isBoundary(position - start);
}

StatusTextStatistics computeStatusTextStatistics(const QString& text, TextRange selectedRange) {
    const QStringView view(text);
    const qsizetype n = view.size();
    const qsizetype s = std::clamp<qsizetype>(selectedRange.location, 0, n);
    const qsizetype l = std::clamp<qsizetype>(selectedRange.length, 0, n - s);
    const qsizetype e = s + l;
    const char16_t* u = view.utf16();

    // Line breaks are LF only; counting by range keeps this a single pass over the units.
    const auto breaksIn = [u](qsizetype from, qsizetype to) {
        return static_cast<qint64>(std::count(u + from, u + to, u'\n'));
    };
    const qint64 breaksBefore = breaksIn(0, s);
    const qint64 breaksInside = l > 0 ? breaksIn(s, e) : 0;
    const qint64 breaksAfter = breaksIn(e, n);

    StatusTextStatistics stats;
    stats.line = breaksBefore + 1;
    stats.lineCount = breaksBefore + breaksInside + breaksAfter + 1;

    const qsizetype lastBreak = s > 0 ? view.lastIndexOf(u'\n', s - 1) : -1;
    const qsizetype lineStart = lastBreak + 1;
    const qsizetype offset = s - lineStart;
    if (offset > kStatusColumnClusterLimit || !isGraphemeBoundary(view, s))
        stats.column = offset + 1;
    else
        stats.column = countClusters(u + lineStart, offset, offset) + 1;

    stats.characterCount = n <= kStatusCharacterCountLimit ? graphemeClusterCount(view) : n;
    stats.selectedLength = l;
    stats.selectedLineCount = l == 0 ? 0 : breaksInside + 1;
    return stats;
}

} // namespace dunmoss
