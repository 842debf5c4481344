#pragma once

#include <QList>
#include <utility>

namespace dunmoss {

// Where each item of the tab strip stands along its row: the items one after the other with a
// fixed spacing between them, inside a fixed padding at both ends. Finding the items in a stretch
// of the row is a binary search, so only the tabs in view need widgets.
class TabStripGeometry {
public:
    TabStripGeometry(int padding, int spacing) : m_padding(padding), m_spacing(spacing) {}

    void setWidths(QList<int> widths);
    // Moves the items after it.
    void setWidth(qsizetype index, int width);
    // Replaces the `removed` items at `at` with items of the given widths; moves those after.
    void splice(qsizetype at, qsizetype removed, const QList<int>& widths);

    qsizetype count() const { return m_widths.size(); }
    int left(qsizetype index) const { return m_lefts[index]; }
    int width(qsizetype index) const { return m_widths[index]; }
    // Padding, items and the spacing between them.
    int contentWidth() const;
    // [first, last) of the items that reach into the stretch [from, to) of the row.
    std::pair<qsizetype, qsizetype> itemsBetween(int from, int to) const;

private:
    void placeFrom(qsizetype index);

    int m_padding;
    int m_spacing;
    QList<int> m_widths;
    QList<int> m_lefts;
};

} // namespace dunmoss
