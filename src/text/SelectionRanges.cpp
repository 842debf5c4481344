#include "text/SelectionRanges.h"

#include <QSet>

namespace dunmoss {

QList<TextRange> sanitizedSelectedRanges(const QList<TextRange>& ranges, qsizetype length) {
    QList<TextRange> kept;
    kept.reserve(ranges.size());
    // Every match selected at once gives tens of thousands of ranges: repeats are found by hash.
    QSet<std::pair<qsizetype, qsizetype>> seen;
    for (const TextRange& range : ranges) {
        if (range.isNotFound() || range.location < 0 || range.length < 0)
            continue;
        // Written as a subtraction so that a huge length cannot overflow the sum.
        if (range.location > length || range.length > length - range.location)
            continue;
        if (ranges.size() > 1) {
            const qsizetype before = seen.size();
            seen.insert({range.location, range.length});
            if (seen.size() == before)
                continue;
        }
        kept.append(range);
    }
    return kept;
}

std::optional<std::pair<QString, TextRange>> selectedTextAndRange(QStringView text,
                                                                  TextRange range) {
    if (range.isNotFound() || range.location < 0 || range.length < 1)
        return std::nullopt;
    if (range.location > text.size() || range.length > text.size() - range.location)
        return std::nullopt;
    return std::make_pair(text.mid(range.location, range.length).toString(), range);
}

} // namespace dunmoss
