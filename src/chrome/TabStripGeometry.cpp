#include "chrome/TabStripGeometry.h"

#include <algorithm>

namespace dunmoss {

void TabStripGeometry::setWidths(QList<int> widths) {
    m_widths = std::move(widths);
    m_lefts.resize(m_widths.size());
    placeFrom(0);
}

void TabStripGeometry::setWidth(qsizetype index, int width) {
    if (m_widths[index] == width)
        return;
    m_widths[index] = width;
    placeFrom(index + 1);
}

void TabStripGeometry::splice(qsizetype at, qsizetype removed, const QList<int>& widths) {
    m_widths.remove(at, removed);
    m_widths.insert(at, widths.size(), 0);
    std::copy(widths.cbegin(), widths.cend(), m_widths.begin() + at);
    m_lefts.resize(m_widths.size());
    placeFrom(at);
}

void TabStripGeometry::placeFrom(qsizetype index) {
    for (qsizetype i = index; i < m_widths.size(); ++i)
        m_lefts[i] = i == 0 ? m_padding : m_lefts[i - 1] + m_widths[i - 1] + m_spacing;
}

int TabStripGeometry::contentWidth() const {
    if (m_widths.isEmpty())
        return 2 * m_padding;
    return m_lefts.last() + m_widths.last() + m_padding;
}

std::pair<qsizetype, qsizetype> TabStripGeometry::itemsBetween(int from, int to) const {
    // Both the left and the right edges rise with the index.
    qsizetype low = 0, high = m_widths.size();
    while (low < high) {
        const qsizetype middle = (low + high) / 2;
        if (m_lefts[middle] + m_widths[middle] > from)
            high = middle;
        else
            low = middle + 1;
    }
    const qsizetype first = low;
    const auto end = std::lower_bound(m_lefts.begin() + first, m_lefts.end(), to);
    return {first, qMax(first, qsizetype(end - m_lefts.begin()))};
}

} // namespace dunmoss
