#include "text/SelectionRanges.h"

#include <QSet>

namespace dunmoss {

QList<TextRange> withoutRepeatedRanges(std::span<const TextRange> ranges) {
    QList<TextRange> kept;
    kept.reserve(ranges.size());
    // Every match selected at once gives tens of thousands of ranges, in ascending order: while
    // each range comes after the one kept before it, none can repeat. Only ranges out of order
    // are looked up, by hash, among all those kept.
    QSet<std::pair<qsizetype, qsizetype>> seen;
    bool ascending = true;
    for (const TextRange& range : ranges) {
        const std::pair<qsizetype, qsizetype> key{range.location, range.length};
        if (ascending && !kept.isEmpty() &&
            key <= std::pair<qsizetype, qsizetype>{kept.last().location, kept.last().length}) {
            ascending = false;
            seen.reserve(ranges.size());
            for (const TextRange& earlier : std::as_const(kept))
                seen.insert({earlier.location, earlier.length});
        }
        if (!ascending) {
            const qsizetype before = seen.size();
            seen.insert(key);
            if (seen.size() == before)
                continue;
        }
        kept.append(range);
    }
    return kept;
}

QList<TextRange> sanitizedSelectedRanges(const QList<TextRange>& ranges, qsizetype length) {
    QList<TextRange> fitting;
    fitting.reserve(ranges.size());
    for (const TextRange& range : ranges) {
        if (range.isNotFound() || range.location < 0 || range.length < 0)
            continue;
        // Written as a subtraction so that a huge length cannot overflow the sum.
        if (range.location > length || range.length > length - range.location)
            continue;
        fitting.append(range);
    }
    return withoutRepeatedRanges({fitting.constData(), size_t(fitting.size())});
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
