#pragma once

#include <QStyledItemDelegate>

namespace dunmoss {

// Draws the rows of a SearchResultListModel. A group header: its symbol, the title in a
// semibold monospaced caption with the subtitle under it, and the count at the right, on the
// control background. A hit: indented 28 points, the position in a 92-point column, then the
// preview on one line (a blank preview still keeps the row).
class SearchResultRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace dunmoss
