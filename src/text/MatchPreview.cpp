#include "text/MatchPreview.h"

#include <algorithm>

namespace dunmoss {

namespace {

constexpr qsizetype kUnitsBefore = 60;
constexpr qsizetype kUnitsAfter = 100;
const QChar kEllipsis(0x2026);

bool isBreak(QChar c) {
    return c == u'\n' || c == u'\r';
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
        for (qsizetype j = matchEnd; j < windowLimit; ++j) {
            if (isBreak(text[j])) {
                windowEnd = cutPoint = j;
                break;
            }
        }
    }

    const TextRange shown =
        graphemes.widened(TextRange{windowStart, std::max(windowEnd, windowStart) - windowStart});
    QString preview = text.sliced(shown.location, shown.length).trimmed().toString();
    if (start < shown.location)
        preview.prepend(kEllipsis);
    if (shown.end() < cutPoint)
        preview.append(kEllipsis);
    return preview;
}

MatchLocator::MatchLocator(QStringView text) : m_text(text), m_graphemes(text) {
    m_lineFeed = m_text.indexOf(u'\n');
}

void MatchLocator::advanceTo(qsizetype location) {
    while (m_lineFeed >= 0 && m_lineFeed < location) {
        ++m_lineIndex;
        m_lineStart = m_lineFeed + 1;
        m_lineFeed = m_text.indexOf(u'\n', m_lineStart);
    }
}

qsizetype MatchLocator::nextLineStart() const {
    return m_lineFeed >= 0 ? m_lineFeed + 1 : m_text.size();
}

QString MatchLocator::preview(TextRange match) {
    return matchPreviewOnLine(match, m_text, m_lineStart, nextLineStart(), m_graphemes);
}

} // namespace dunmoss
