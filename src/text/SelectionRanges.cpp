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

namespace {

bool fits(const TextRange& range, qsizetype length) {
    // Written as a subtraction so that a huge length cannot overflow the sum.
    return !range.isNotFound() && range.location >= 0 && range.length >= 0 &&
           range.location <= length && range.length <= length - range.location;
}

// Every range fits and each comes after the one before it, so none repeats.
bool fitInAscendingOrder(const QList<TextRange>& ranges, qsizetype length) {
    for (qsizetype i = 0; i < ranges.size(); ++i) {
        const TextRange& range = ranges.at(i);
        if (!fits(range, length))
            return false;
        if (i > 0 && std::pair{range.location, range.length} <=
                         std::pair{ranges.at(i - 1).location, ranges.at(i - 1).length})
            return false;
    }
    return true;
}

} // namespace

QList<TextRange> sanitizedSelectedRanges(const QList<TextRange>& ranges, qsizetype length) {
    // Every match selected at once is such a list: it is kept as it is, shared, not copied.
    if (fitInAscendingOrder(ranges, length))
        return ranges;
    QList<TextRange> fitting;
    fitting.reserve(ranges.size());
    for (const TextRange& range : ranges) {
        if (fits(range, length))
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
