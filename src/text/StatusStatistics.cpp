#include "text/StatusStatistics.h"

#include "text/TextCounts.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <unicode/ubrk.h>
#include <unicode/uchar.h>
#include <unicode/uvernum.h>

namespace dunmoss {

namespace {

// Each BMP code unit gets a class from its grapheme-break property. Most boundaries follow from
// the classes of the two units around them alone; only the rest (surrogates, Hangul jamo,
// prepended marks, spacing marks, joiners) need the break iterator. That keeps the common
// scripts, with their combining marks, at memory speed.
enum UnitClass : std::uint8_t {
    Hard = 0,       // decided by the break iterator
    Simple = 1,     // Other
    Control = 2,    // Control, CR, LF: a boundary on both sides, except inside CR LF
    Extend = 3,     // never a boundary before it, unless after a control
    Surrogate = 4,  // classified with its partner (see classAt)
    IndicOther = 5, // Other in the Indic blocks: a conjunct may join it to what comes before
};

enum class Decision { Boundary, Joined, Undecided };

// Units after a position handed to the break iterator with it: more than one code point.
constexpr qsizetype kBoundaryLookahead = 16;

// Eight units at a time where the processor offers it (every x86-64 does).
#if defined(__SSE2__)
inline __m128i load8(const char16_t* u) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(u));
}
#endif

bool allInSimpleRanges(const char16_t* u);

// Line feeds in u[0, n).
qsizetype countLineFeeds(const char16_t* u, qsizetype n) {
    qsizetype count = 0;
    qsizetype i = 0;
#if defined(__SSE2__)
    // Matches subtract 1 (all bits set) from 16-bit lane counters, summed before they could
    // overflow.
    const __m128i lf = _mm_set1_epi16(0x000A);
    while (i + 8 <= n) {
        __m128i lanes = _mm_setzero_si128();
        const qsizetype stop = std::min(n - 7, i + 8 * qsizetype(32000));
        for (; i < stop; i += 8)
            lanes = _mm_sub_epi16(lanes, _mm_cmpeq_epi16(load8(u + i), lf));
        alignas(16) std::uint16_t parts[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(parts), lanes);
        for (std::uint16_t part : parts)
            count += part;
    }
#endif
    for (; i < n; ++i)
        count += u[i] == u'\n';
    return count;
}

class UnitClassTable {
public:
    UnitClassTable() {
        for (UChar32 c = 0; c <= 0xFFFF; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF) {
                m_classes[c] = Surrogate;
                continue;
            }
            switch (u_getIntPropertyValue(c, UCHAR_GRAPHEME_CLUSTER_BREAK)) {
            case U_GCB_OTHER:
                // Indic consonants can join a preceding virama into one cluster (the break
                // iterator's conjunct rule); see decide().
                m_classes[c] = c >= 0x0900 && c <= 0x0DFF ? IndicOther : Simple;
                break;
            case U_GCB_CONTROL:
            case U_GCB_CR:
            case U_GCB_LF:
                m_classes[c] = Control;
                break;
            case U_GCB_EXTEND:
#if U_ICU_VERSION_MAJOR_NUM >= 74
                // Indic conjuncts can join across an extending mark; leave them to the iterator.
                m_classes[c] = Hard;
#else
                m_classes[c] = Extend;
#endif
                break;
            default:
                m_classes[c] = Hard;
                break;
            }
        }
        // The block test below must only accept units that break on both sides.
        for (UChar32 c = 0; c <= 0xFFFF; ++c)
            if (inSimpleRange(char16_t(c)) &&
                !(m_classes[c] == Simple || (m_classes[c] == Control && c != u'\r')))
                m_rangesHold = false;
    }

    UnitClass operator[](char16_t unit) const {
        return UnitClass(m_classes[unit]);
    }

    // The class of the code point the unit at i belongs to: a surrogate pair takes its code
    // point's class; a lone surrogate is left to the break iterator.
    UnitClass classAt(const char16_t* u, qsizetype n, qsizetype i) const {
        const char16_t c = u[i];
        if (!QChar::isSurrogate(c))
            return (*this)[c];
        char32_t codePoint = 0;
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(u[i + 1]))
            codePoint = QChar::surrogateToUcs4(c, u[i + 1]);
        else if (QChar::isLowSurrogate(c) && i > 0 && QChar::isHighSurrogate(u[i - 1]))
            codePoint = QChar::surrogateToUcs4(u[i - 1], c);
        else
            return Hard;
        switch (u_getIntPropertyValue(UChar32(codePoint), UCHAR_GRAPHEME_CLUSTER_BREAK)) {
        case U_GCB_OTHER:
            return Simple;
        case U_GCB_CONTROL:
            return Control;
        case U_GCB_EXTEND:
            return (*this)[0x0301] == Extend ? Extend : Hard;
        default:
            return Hard;
        }
    }

    Decision decide(const char16_t* u, qsizetype n, qsizetype p) const {
        if (QChar::isHighSurrogate(u[p - 1]) && QChar::isLowSurrogate(u[p]))
            return Decision::Joined;
        const UnitClass a = classAt(u, n, p - 1);
        const UnitClass b = classAt(u, n, p);
        if (a == Control)
            return u[p - 1] == u'\r' && u[p] == u'\n' ? Decision::Joined : Decision::Boundary;
        if (b == Control)
            return Decision::Boundary;
        if (b == Extend)
            return Decision::Joined;
        if ((a == Simple || a == Extend || a == IndicOther) && b == Simple)
            return Decision::Boundary;
        // A conjunct joins a consonant only to a linker or extending mark right before it.
        if ((a == Simple || a == IndicOther) && b == IndicOther)
            return Decision::Boundary;
        return Decision::Undecided;
    }

    // Latin, Greek, Cyrillic basics and the CJK ideographs: units that break on both sides,
    // tested by range so that whole blocks are checked in a vectorised loop.
    static bool inSimpleRange(char16_t c) {
        return (c < 0x300 && c != u'\r') || char16_t(c - 0x3400) < 0x6C00;
    }
    // Whether all 64 units from `u` are in the simple ranges. When not, `firstMiss` is set to
    // the offset of the first unit that is not, so the caller need not look at the block again.
    bool blockInSimpleRanges(const char16_t* u, int& firstMiss) const {
        if (!m_rangesHold) {
            firstMiss = 64;
            return false;
        }
        if (allInSimpleRanges(u))
            return true;
        firstMiss = 0;
        while (inSimpleRange(u[firstMiss]))
            ++firstMiss;
        return false;
    }

private:
    std::array<std::uint8_t, 0x10000> m_classes{};
    bool m_rangesHold = true;
};

#if defined(__SSE2__)
// All bits set in the lanes whose unit is in the simple ranges.
inline __m128i inSimpleRanges8(const char16_t* u) {
    // Unsigned 16-bit comparisons by flipping the sign bit.
    const __m128i sign = _mm_set1_epi16(short(0x8000));
    const __m128i below300 = _mm_set1_epi16(short(0x0300 ^ 0x8000));
    const __m128i cr = _mm_set1_epi16(0x000D);
    const __m128i cjkStart = _mm_set1_epi16(0x3400);
    const __m128i cjkSpan = _mm_set1_epi16(short(0x6C00 ^ 0x8000));
    const __m128i c = load8(u);
    const __m128i low =
        _mm_andnot_si128(_mm_cmpeq_epi16(c, cr), _mm_cmplt_epi16(_mm_xor_si128(c, sign), below300));
    const __m128i cjk = _mm_cmplt_epi16(_mm_xor_si128(_mm_sub_epi16(c, cjkStart), sign), cjkSpan);
    return _mm_or_si128(low, cjk);
}
#endif

bool allInSimpleRanges(const char16_t* u) {
#if defined(__SSE2__)
    __m128i all = _mm_set1_epi16(-1);
    for (int i = 0; i < 64; i += 8)
        all = _mm_and_si128(all, inSimpleRanges8(u + i));
    return _mm_movemask_epi8(all) == 0xFFFF;
#else
    bool all = true;
    for (int i = 0; i < 64; ++i)
        all &= UnitClassTable::inSimpleRange(u[i]);
    return all;
#endif
}

const UnitClassTable& unitClasses() {
    static const UnitClassTable table;
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

// Counts clusters in u[0, n); stops early (returning a value above `limit`) once the count passes
// `limit`. Positions the classes cannot decide are handed to the break iterator in segments that
// start and end on decided boundaries.
qsizetype countClusters(const char16_t* u, qsizetype n, qsizetype limit) {
    if (n <= 0)
        return 0;
    const UnitClassTable& classes = unitClasses();
    qsizetype clusters = 0;
    qsizetype start = 0; // a decided boundary
    qsizetype noBlockBefore = 0;
    qsizetype p = 1;
    while (p < n) {
        const Decision decision = classes.decide(u, n, p);
        if (decision == Decision::Joined) {
            ++p;
            continue;
        }
        if (decision == Decision::Boundary) {
            ++clusters;
            start = p;
            // Runs of units that break on both sides: 63 more boundaries per block. A block
            // that failed is not tried again before the unit that made it fail.
            int firstMiss = 0;
            while (p >= noBlockBefore && p + 64 <= n &&
                   classes.blockInSimpleRanges(u + p, firstMiss)) {
                clusters += 63;
                p += 63;
                start = p;
            }
            if (p >= noBlockBefore)
                noBlockBefore = p + firstMiss + 1;
            if (clusters > limit)
                return clusters;
            ++p;
            continue;
        }
        qsizetype end = p + 1;
        while (end < n && classes.decide(u, n, end) != Decision::Boundary)
            ++end;
        ClusterIterator& iterator = clusterIterator();
        if (iterator.setText(u + start, end - start))
            clusters += iterator.count() - 1;
        else
            clusters += end - start - 1; // no iterator: code units are the safe upper bound
        // The cluster that ends at `end` is counted when `end` is reached as a boundary (or at
        // the end of the text).
        if (clusters > limit)
            return clusters;
        if (end == n) {
            start = n;
            break;
        }
        start = end;
        p = end;
    }
    return clusters + 1; // the last cluster, ending at n
}

qsizetype exactClusters(const char16_t* u, qsizetype n) {
    return countClusters(u, n, std::numeric_limits<qsizetype>::max());
}

} // namespace

qsizetype graphemeClusterCountAfterEdit(QStringView text, qsizetype countBefore, qsizetype position,
                                        QStringView removed, qsizetype insertedLength) {
    const char16_t* u = text.utf16();
    const qsizetype n = text.size();
    const qsizetype changeEnd = position + insertedLength;
    const UnitClassTable& classes = unitClasses();
    // Decided boundaries whose deciding units (two before, one after) lie outside the edit are
    // boundaries of the text before it as well.
    qsizetype from = std::max<qsizetype>(0, position - 2);
    while (from > 0 && classes.decide(u, n, from) != Decision::Boundary)
        --from;
    qsizetype to = std::min(n, changeEnd + 2);
    while (to < n && classes.decide(u, n, to) != Decision::Boundary)
        ++to;
    QString before;
    before.reserve(position - from + removed.size() + to - changeEnd);
    before.append(text.mid(from, position - from))
        .append(removed)
        .append(text.mid(changeEnd, to - changeEnd));
    const qsizetype removedClusters = exactClusters(QStringView(before).utf16(), before.size());
    const qsizetype addedClusters = exactClusters(u + from, to - from);
    return countBefore - removedClusters + addedClusters;
}

qsizetype graphemeClusterCount(QStringView text) {
    return exactClusters(text.utf16(), text.size());
}

bool hasMoreGraphemeClustersThan(const QString& text, qsizetype limit) {
    if (text.size() <= limit)
        return false;
    return countClusters(QStringView(text).utf16(), text.size(), limit) > limit;
}

bool isGraphemeBoundary(QStringView text, qsizetype position) {
    const qsizetype n = text.size();
    if (position <= 0 || position >= n)
        return position == 0 || position == n;
    const char16_t* u = text.utf16();
    const UnitClassTable& classes = unitClasses();
    const Decision decision = classes.decide(u, n, position);
    if (decision != Decision::Undecided)
        return decision == Decision::Boundary;
    qsizetype start = position - 1;
    while (start > 0 && classes.decide(u, n, start) != Decision::Boundary)
        --start;
    // The break rules look back, never past the code point at `position`: a few units after it
    // are context enough, however long the undecided run goes on (a line of Indic consonants
    // or Hangul jamo would otherwise be handed whole to the break iterator on every keystroke).
    const qsizetype lookaheadEnd = std::min(n, position + kBoundaryLookahead);
    qsizetype end = position + 1;
    while (end < lookaheadEnd && classes.decide(u, n, end) != Decision::Boundary)
        ++end;
    ClusterIterator& iterator = clusterIterator();
    if (!iterator.setText(u + start, end - start))
        return !QChar::isLowSurrogate(u[position]);
    return iterator.isBoundary(position - start);
}

namespace {

// The column of the caret at s, on the line starting at lineStart: clusters from the line's
// start, or code units on a very long line or inside a cluster.
qint64 caretColumn(QStringView text, qsizetype lineStart, qsizetype s) {
    const qsizetype offset = s - lineStart;
    if (offset > kStatusColumnClusterLimit || !isGraphemeBoundary(text, s))
        return offset + 1;
    return countClusters(text.utf16() + lineStart, offset, offset) + 1;
}

} // namespace

StatusTextStatistics computeStatusTextStatistics(const QString& text, TextRange selectedRange,
                                                 const TextCounts& counts) {
    const qsizetype n = text.size();
    const qsizetype s = std::clamp<qsizetype>(selectedRange.location, 0, n);
    const qsizetype l = std::clamp<qsizetype>(selectedRange.length, 0, n - s);
    const LineStartIndex& lines = counts.lines();
    StatusTextStatistics stats;
    stats.line = lines.lineNumberOfCharacter(s);
    stats.lineCount = lines.lineCount();
    stats.column = caretColumn(text, lines.lineStart(stats.line), s);
    stats.characterCount = n <= kStatusCharacterCountLimit ? counts.clusterCount() : n;
    stats.selectedLength = l;
    stats.selectedLineCount = l == 0 ? 0 : lines.lineNumberOfCharacter(s + l) - stats.line + 1;
    return stats;
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
        return static_cast<qint64>(countLineFeeds(u + from, to - from));
    };
    const qint64 breaksBefore = breaksIn(0, s);
    const qint64 breaksInside = l > 0 ? breaksIn(s, e) : 0;
    const qint64 breaksAfter = breaksIn(e, n);

    StatusTextStatistics stats;
    stats.line = breaksBefore + 1;
    stats.lineCount = breaksBefore + breaksInside + breaksAfter + 1;

    const qsizetype lastBreak = s > 0 ? view.lastIndexOf(u'\n', s - 1) : -1;
    stats.column = caretColumn(view, lastBreak + 1, s);

    stats.characterCount = n <= kStatusCharacterCountLimit ? graphemeClusterCount(text) : n;
    stats.selectedLength = l;
    stats.selectedLineCount = l == 0 ? 0 : breaksInside + 1;
    return stats;
}

} // namespace dunmoss
