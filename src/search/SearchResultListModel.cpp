#include "search/SearchResultListModel.h"

#include <QSize>

namespace dunmoss {

namespace {

class ListedRows : public SearchResultRows {
public:
    explicit ListedRows(QList<SearchResultRow> rows) : m_rows(std::move(rows)) {}
    qsizetype count() const override { return m_rows.size(); }
    SearchResultRow at(qsizetype row) const override { return m_rows.at(row); }
    SearchResultRow::Kind kindAt(qsizetype row) const override { return m_rows.at(row).kind; }

private:
    QList<SearchResultRow> m_rows;
};

const std::shared_ptr<const SearchResultRows>& noRows() {
    static const std::shared_ptr<const SearchResultRows> none =
        std::make_shared<ListedRows>(QList<SearchResultRow>());
    return none;
}

} // namespace

SearchResultListModel::SearchResultListModel(QObject* parent)
    : QAbstractListModel(parent), m_rows(noRows()) {}

void SearchResultListModel::setRows(QList<SearchResultRow> rows) {
    setRowSource(std::make_shared<ListedRows>(std::move(rows)));
}

std::shared_ptr<const SearchResultRows>
SearchResultListModel::setRowSource(std::shared_ptr<const SearchResultRows> rows) {
    std::shared_ptr<const SearchResultRows> next = rows ? std::move(rows) : noRows();
    if (m_rows->count() > 0 && next->count() == m_rows->count() && next->sameShapeAs(*m_rows)) {
        std::shared_ptr<const SearchResultRows> previous = std::exchange(m_rows, std::move(next));
        emit rowsReplacedInPlace();
        return previous;
    }
    beginResetModel();
    std::shared_ptr<const SearchResultRows> previous = std::exchange(m_rows, std::move(next));
    endResetModel();
    return previous;
}

int SearchResultListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows->count());
}

QVariant SearchResultListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::SizeHintRole)
        return QSize(0, kSearchResultRowHeight);
    if (role == RowKindRole)
        return static_cast<int>(m_rows->kindAt(index.row()));
    const SearchResultRow row = m_rows->at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        if (row.line >= 0 && row.title.isEmpty())
            return m_positionFormat.arg(QString::number(row.line), QString::number(row.column));
        return row.title;
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
    if (!index.isValid() || index.row() >= rowCount())
        return Qt::NoItemFlags;
    // Group headers are labels; only hits can be chosen.
    return m_rows->kindAt(index.row()) == SearchResultRow::Kind::Result
               ? Qt::ItemIsEnabled | Qt::ItemIsSelectable
               : Qt::ItemIsEnabled;
}

} // namespace dunmoss
