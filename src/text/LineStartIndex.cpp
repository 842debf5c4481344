#include "text/LineStartIndex.h"

#include <algorithm>

namespace dunmoss {

void LineStartIndex::bringUpToDate(QStringView text) {
    if (cachedLength == text.size() && cachedContentVersion == contentVersion)
        return;
    starts.clear();
    starts.append(0);
    qsizetype position = 0;
    while (position < text.size()) {
        const qsizetype newline = text.indexOf(u'\n', position);
        if (newline < 0)
            break;
        starts.append(newline + 1);
        position = newline + 1;
    }
    cachedLength = text.size();
    cachedContentVersion = contentVersion;
}

qsizetype LineStartIndex::lineNumberOfCharacter(qsizetype index) const {
    if (index < 1 || starts.size() <= 1)
        return 1;
    qsizetype low = 0;
    qsizetype high = starts.size() - 1;
    while (low < high) {
        const qsizetype middle = (low + high + 1) / 2;
        if (index < starts[middle])
            high = middle - 1;
        else
            low = middle;
    }
    return low + 1;
}

qsizetype LineStartIndex::lineNumberStartingAt(qsizetype offset) const {
    const auto it = std::lower_bound(starts.begin(), starts.end(), offset);
    if (it == starts.end() || *it != offset)
        return 0;
    return qsizetype(it - starts.begin()) + 1;
}

int decimalDigitCount(qsizetype value) {
    int digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

} // namespace dunmoss
