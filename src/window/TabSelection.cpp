#include "window/TabSelection.h"

#include "text/Graphemes.h"
#include "text/SelectionRanges.h"

#include <algorithm>

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
    for (int remaining = line - 1; remaining > 0; --remaining) {
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
    const int width = std::max(tabWidth, 1);
    int column = 1;
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
        start = next;
    }
    return column;
}

} // namespace dunmoss
