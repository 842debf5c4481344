#include "text/MatchPreview.h"

#include <algorithm>

#if defined(__SSE2__) && Q_BYTE_ORDER == Q_LITTLE_ENDIAN
#include <emmintrin.h>
#endif

namespace dunmoss {

namespace {

constexpr qsizetype kUnitsBefore = 60;
constexpr qsizetype kUnitsAfter = 100;
const QChar kEllipsis(0x2026);

bool isBreak(QChar c) {
    return c == u'\n' || c == u'\r';
}

struct LineFeedCount {
    qsizetype count = 0;
    qsizetype last = -1;
};

// Line feeds in [from, to), sixteen units at a time.
LineFeedCount countLineFeeds(QStringView text, qsizetype from, qsizetype to) {
    LineFeedCount result;
    const char16_t* p = text.utf16();
    qsizetype i = from;
#if defined(__SSE2__) && Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    // Packed into bytes (a unit outside Latin-1 packs to 0x00 or 0xFF, never to a line feed)
    // and tallied in byte lanes; the last line feed is looked for afterwards, from the end.
    const __m128i feeds = _mm_set1_epi8('\n');
    const auto load = [p](qsizetype at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
    };
    __m128i lanes = _mm_setzero_si128();
    int blocks = 0;
    const auto emptyLanes = [&] {
        const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
        result.count += _mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4);
        lanes = _mm_setzero_si128();
        blocks = 0;
    };
    for (; i + 16 <= to; i += 16) {
        const __m128i bytes = _mm_packus_epi16(load(i), load(i + 8));
        lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(bytes, feeds));
        if (++blocks == 255)
            emptyLanes();
    }
    emptyLanes();
    if (result.count > 0)
        result.last = QStringView(p + from, i - from).lastIndexOf(u'\n') + from;
#endif
    for (; i < to; ++i) {
        if (p[i] == u'\n') {
            ++result.count;
            result.last = i;
        }
    }
    return result;
}

} // namespace

QString matchPreviewOnLine(TextRange match, QStringView text, qsizetype lineStart,
                           qsizetype nextLineStart, GraphemeBoundaries& graphemes) {
    const qsizetype length = text.size();
    qsizetype start = std::clamp<qsizetype>(lineStart, 0, length);
    const qsizetype next = std::clamp<qsizetype>(nextLineStart, start, length);
    const qsizetype location = std::clamp<qsizetype>(match.location, 0, length);
    const qsizetype matchEnd =
        std::clamp<qsizetype>(match.location + match.length, location, length);

    // The line's content without its line break.
    qsizetype contentEnd = next;
    if (start < next && text[next - 1] == u'\n') {
        contentEnd = next - 1;
        if (start < next - 1 && text[next - 2] == u'\r')
            contentEnd = next - 2;
    }

    qsizetype windowStart = std::max(location - kUnitsBefore, start);
    const qsizetype windowLimit = std::min(matchEnd + kUnitsAfter, contentEnd);
    for (qsizetype i = location - 1; i >= windowStart; --i) {
        if (isBreak(text[i])) {
            windowStart = i + 1;
            start = i + 1;
            break;
        }
    }

    qsizetype windowEnd = windowLimit;
    qsizetype cutPoint = contentEnd;
    if (location < length && isBreak(text[location])) {
        windowEnd = cutPoint = location;
    } else if (matchEnd < windowLimit) {
        const QStringView rest = text.sliced(matchEnd, windowLimit - matchEnd);
        const qsizetype feed = rest.indexOf(u'\n');
        const qsizetype ret = (feed < 0 ? rest : rest.first(feed)).indexOf(u'\r');
        const qsizetype found = ret >= 0 ? ret : feed;
        if (found >= 0)
            windowEnd = cutPoint = matchEnd + found;
    }

    const TextRange shown =
        graphemes.widened(TextRange{windowStart, std::max(windowEnd, windowStart) - windowStart});
    const QStringView body = text.sliced(shown.location, shown.length).trimmed();
    const bool cutBefore = start < shown.location;
    const bool cutAfter = shown.end() < cutPoint;
    QString preview;
    preview.reserve(body.size() + 2);
    if (cutBefore)
        preview.append(kEllipsis);
    preview.append(body);
    if (cutAfter)
        preview.append(kEllipsis);
    return preview;
}

MatchLocator::MatchLocator(QStringView text) : m_text(text), m_graphemes(text) {
    m_lineFeed = m_text.indexOf(QChar(u'\n'));
}

void MatchLocator::advanceTo(qsizetype location) {
    if (m_lineFeed < 0 || m_lineFeed >= location)
        return;
    // Past the current line: count the lines skipped in one pass, then find where the
    // match's own line ends.
    const LineFeedCount skipped = countLineFeeds(m_text, m_lineFeed + 1, location);
    m_lineIndex += 1 + skipped.count;
    m_lineStart = (skipped.count > 0 ? skipped.last : m_lineFeed) + 1;
    m_lineFeed = m_text.indexOf(QChar(u'\n'), location);
}

qsizetype MatchLocator::nextLineStart() const {
    return m_lineFeed >= 0 ? m_lineFeed + 1 : m_text.size();
}

QString MatchLocator::preview(TextRange match) {
    return matchPreviewOnLine(match, m_text, m_lineStart, nextLineStart(), m_graphemes);
}

} // namespace dunmoss
