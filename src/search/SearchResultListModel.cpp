#include "search/SearchResultListModel.h"

#include <QSize>

namespace dunmoss {

void SearchResultListModel::setRows(QList<SearchResultRow> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int SearchResultListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant SearchResultListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const SearchResultRow& row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        if (row.line >= 0 && row.title.isEmpty())
            return m_positionFormat.arg(QString::number(row.line), QString::number(row.column));
        return row.title;
    case Qt::SizeHintRole:
        return QSize(0, kSearchResultRowHeight);
    case RowKindRole:
        return static_cast<int>(row.kind);
    case SubtitleRole:
        return row.subtitle;
    case TrailingRole:
        return row.trailing;
    case SymbolRole:
        return row.symbolName;
    case SourceIndexRole:
        return static_cast<qlonglong>(row.sourceIndex);
    default:
        return {};
    }
}

Qt::ItemFlags SearchResultListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Group headers are labels; only hits can be chosen.
    return m_rows.at(index.row()).kind == SearchResultRow::Kind::Result
               ? Qt::ItemIsEnabled | Qt::ItemIsSelectable
               : Qt::ItemIsEnabled;
}

} // namespace dunmoss
