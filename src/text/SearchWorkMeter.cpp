#include "text/SearchWorkMeter.h"

#include <algorithm>

namespace dunmoss {

qsizetype SearchWorkMeter::lineFeedFrom(QStringView text, qsizetype from) {
    for (qsizetype at = from; at < text.size();) {
        const qsizetype end = std::min(text.size(), at + kUnitsPerCheck);
        const qsizetype feed = text.sliced(at, end - at).indexOf(u'\n');
        read(feed < 0 ? end - at : feed + 1);
        if (feed >= 0)
            return at + feed;
        if (m_stopped)
            break;
        at = end;
    }
    return text.size();
}

qsizetype SearchWorkMeter::lineFeedBefore(QStringView text, qsizetype floor, qsizetype at) {
    for (qsizetype to = at; to > floor;) {
        const qsizetype from = std::max(floor, to - kUnitsPerCheck);
        const qsizetype feed = text.sliced(from, to - from).lastIndexOf(u'\n');
        read(feed < 0 ? to - from : to - from - feed);
        if (feed >= 0)
            return from + feed;
        if (m_stopped)
            break;
        to = from;
    }
    return -1;
}

qsizetype SearchWorkMeter::lastIndexOf(QStringView text, QStringView needle, qsizetype from,
                                       qsizetype to) {
    const qsizetype length = needle.size();
    // Pieces overlap by the needle's length less one, so no occurrence falls between them.
    for (qsizetype end = to; end - from >= length;) {
        const qsizetype start = std::max(from, end - kUnitsPerCheck - (length - 1));
        const qsizetype found = text.sliced(start, end - start).lastIndexOf(needle);
        read(found < 0 ? end - start : end - start - found);
        if (found >= 0)
            return start + found;
        if (m_stopped || start == from)
            break;
        end = start + length - 1;
    }
    return -1;
}

bool SearchWorkMeter::isAscii(QStringView stretch) {
    for (qsizetype at = 0; at < stretch.size();) {
        const qsizetype end = std::min(stretch.size(), at + kUnitsPerCheck);
        if (read(end - at) || !QtPrivate::isAscii(stretch.sliced(at, end - at)))
            return false;
        at = end;
    }
    return true;
}

} // namespace dunmoss
