#include "window/TabSelection.h"

#include "text/Graphemes.h"
#include "text/SelectionRanges.h"

#include <algorithm>
#include <limits>

namespace dunmoss {

QList<TextRange> normalizedSelectedRanges(const QList<TextRange>& ranges, qsizetype textLength) {
    QList<TextRange> kept = sanitizedSelectedRanges(ranges, textLength);
    if (kept.isEmpty())
        kept.append(TextRange{0, 0});
    return kept;
}

TextRange clampedSelection(qsizetype location, qsizetype length, qsizetype textLength) {
    const qsizetype start = std::clamp<qsizetype>(location, 0, textLength);
    const qsizetype count = std::clamp<qsizetype>(length, 0, textLength - start);
    return TextRange{start, count};
}

QList<TextRange> acceptableBindingRanges(const QList<TextRange>& ranges) {
    QList<TextRange> kept;
    for (const TextRange& range : ranges)
        if (!range.isNotFound() && range.length >= 0)
            kept.append(range);
    return kept;
}

TextRange lineSelectionRange(const QString& text, int line) {
    const qsizetype length = text.size();
    qsizetype start = 0;
    // Counted in 64 bits: the lowest int line number would wrap around to the highest.
    for (qint64 remaining = qint64(line) - 1; remaining > 0; --remaining) {
        if (start >= length)
            break;
        const qsizetype lineBreak = text.indexOf(QLatin1Char('\n'), start);
        if (lineBreak < 0)
            break;
        start = lineBreak + 1;
    }
    qsizetype end = text.indexOf(QLatin1Char('\n'), std::min(start, length));
    if (end < 0)
        end = length;
    return TextRange{std::min(start, length), std::max<qsizetype>(end - start, 0)};
}

int visualColumnOfPrefix(const QString& prefix, int tabWidth) {
    // Counted in 64 bits and capped, so a huge stored tab width cannot overflow the column.
    const qint64 width = std::max(tabWidth, 1);
    qint64 column = 1;
    GraphemeBoundaries boundaries(prefix);
    qsizetype start = 0;
    while (start < prefix.size()) {
        qsizetype next = boundaries.nextBoundary(start);
        if (next <= start)
            next = prefix.size();
        if (prefix.at(start) == QLatin1Char('\t') && next - start == 1)
            column = ((column - 1) / width + 1) * width + 1;
        else
            column += 1;
        column = std::min<qint64>(column, std::numeric_limits<int>::max());
        start = next;
    }
    return int(column);
}

} // namespace dunmoss
