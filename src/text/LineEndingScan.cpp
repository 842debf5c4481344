// Line-ending detection and normalisation, declared in EncodingDetection.h. Both run once over
// whole files on open, so they scan eight units at a time where the CPU allows.
#include "text/EncodingDetection.h"

#include "platform/LargeBuffers.h"
#include "platform/LineBreakCounts.h"
#include "platform/UnitTally.h"

#include <cstring>

#if defined(__SSE2__) && Q_BYTE_ORDER == Q_LITTLE_ENDIAN
#include <emmintrin.h>
#define DUNMOSS_SSE2 1
#endif

namespace dunmoss {

namespace {

// The breaks of a block of eight units at `s` that holds a carriage return; `previousEndsWithCr`
// carries a pair split between blocks.
void countBlockWithCarriageReturn(unsigned crBits, unsigned lfBits, bool& previousEndsWithCr,
                                  LineBreakCounts& counts) {
    counts.carriageReturns += __builtin_popcount(crBits);
    counts.lineFeeds += __builtin_popcount(lfBits);
    counts.pairs += __builtin_popcount(crBits & (lfBits >> 1));
    if (previousEndsWithCr && (lfBits & 1))
        ++counts.pairs;
    previousEndsWithCr = (crBits & 0x80) != 0;
}

LineBreakCounts countLineBreaks(QStringView text) {
    const auto* s = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype size = text.size();
    LineBreakCounts counts;
    qsizetype i = 0;
#ifdef DUNMOSS_SSE2
    const __m128i cr = _mm_set1_epi16(u'\r');
    const __m128i lf = _mm_set1_epi16(u'\n');
    const __m128i zero = _mm_setzero_si128();
    bool previousEndsWithCr = false;
    // Line feeds of blocks without a carriage return are tallied in vector lanes; most text has
    // no carriage return at all.
    UnitTally lineFeeds(counts.lineFeeds);
    for (; i + 8 <= size; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i crHits = _mm_cmpeq_epi16(v, cr);
        const __m128i lfHits = _mm_cmpeq_epi16(v, lf);
        if (_mm_movemask_epi8(crHits) == 0) {
            lineFeeds.add(lfHits);
            if (previousEndsWithCr && s[i] == u'\n')
                ++counts.pairs;
            previousEndsWithCr = false;
            continue;
        }
        // One bit per unit.
        const auto crBits = unsigned(_mm_movemask_epi8(_mm_packs_epi16(crHits, zero)));
        const auto lfBits = unsigned(_mm_movemask_epi8(_mm_packs_epi16(lfHits, zero)));
        countBlockWithCarriageReturn(crBits, lfBits, previousEndsWithCr, counts);
    }
    lineFeeds.empty();
    if (previousEndsWithCr && i < size && s[i] == u'\n')
        ++counts.pairs;
#endif
    for (; i < size; ++i) {
        if (s[i] == u'\r') {
            ++counts.carriageReturns;
            if (i + 1 < size && s[i + 1] == u'\n')
                ++counts.pairs;
        } else if (s[i] == u'\n') {
            ++counts.lineFeeds;
        }
    }
    return counts;
}

} // namespace

TextLineEnding lineEndingFromCounts(const LineBreakCounts& counts) {
    const qsizetype pairs = counts.pairs;
    const qsizetype loneCarriageReturns = counts.carriageReturns - pairs;
    const qsizetype loneLineFeeds = counts.lineFeeds - pairs;
    // Ties between pairs and lone breaks go to CR LF (pairs + 1 pieces against the lone count).
    if (pairs > 0 && pairs + 1 > loneCarriageReturns && pairs + 1 > loneLineFeeds)
        return TextLineEnding::CarriageReturnLineFeed;
    if (loneCarriageReturns > 0 && loneLineFeeds < loneCarriageReturns)
        return TextLineEnding::CarriageReturn;
    return TextLineEnding::LineFeed;
}

TextLineEnding detectLineEnding(QStringView rawText) {
    return lineEndingFromCounts(countLineBreaks(rawText));
}

std::pair<TextLineEnding, QString> lineEndingAndNormalizedText(QString rawText) {
    const LineBreakCounts counts = countLineBreaks(rawText);
    const TextLineEnding ending = lineEndingFromCounts(counts);
    if (counts.carriageReturns == 0)
        return {ending, std::move(rawText)};
    return {ending, normalizeLineEndings(std::move(rawText))};
}

QString normalizeLineEndings(QString rawText) {
    qsizetype cr = rawText.indexOf(QChar(u'\r'));
    if (cr < 0)
        return rawText;
    const qsizetype size = rawText.size();
    // A text nobody else holds is compacted where it lies: no second buffer of its size.
    const bool inPlace = rawText.isDetached();
    QString result;
    if (!inPlace) {
        result = QString(size, Qt::Uninitialized);
        adviseHugePages(result.data(), size_t(size) * 2);
    }
    QString& target = inPlace ? rawText : result;
    auto* const start = reinterpret_cast<char16_t*>(target.data());
    const auto* source = reinterpret_cast<const char16_t*>(rawText.constData());
    char16_t* d = start;
    qsizetype from = 0;
    while (cr >= 0) {
        std::memmove(d, source + from, size_t(cr - from) * sizeof(char16_t));
        d += cr - from;
        *d++ = u'\n';
        from = cr + 1;
        if (from < size && source[from] == u'\n')
            ++from; // CR LF becomes one LF
        cr = QStringView(source, size).indexOf(QChar(u'\r'), from);
    }
    std::memmove(d, source + from, size_t(size - from) * sizeof(char16_t));
    d += size - from;
    target.truncate(d - start);
    return target;
}

} // namespace dunmoss
