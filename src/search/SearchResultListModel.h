#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QString>
#include <memory>

namespace dunmoss {

// One line of a grouped result list: a group header (a file) or one hit under it. The search
// center and the folder search panel both list their results through these rows.
struct SearchResultRow {
    enum class Kind { Group, Result };
    Kind kind = Kind::Result;
    // Group: title, subtitle (may be empty), count text and symbol.
    // Result: position text ("line:column") and preview.
    QString title;
    QString subtitle;
    QString trailing;
    QString symbolName;
    // For results: the index of the hit in the list the rows were built from.
    qsizetype sourceIndex = -1;
    // A result may give its position as numbers instead of a title: the model writes them with
    // its position format when the row is shown, so a list of many hits is built quickly.
    qsizetype line = -1;
    qsizetype column = -1;
};

// Rows made when asked for, so a list of a hundred thousand hits costs only an index until its
// rows are shown. Read on the main thread only.
class SearchResultRows {
public:
    virtual ~SearchResultRows() = default;
    virtual qsizetype count() const = 0;
    virtual SearchResultRow at(qsizetype row) const = 0;
    virtual SearchResultRow::Kind kindAt(qsizetype row) const { return at(row).kind; }
    // True when `other` has rows of the same kinds in the same places: a list taking these rows
    // in place of those keeps its layout and where it was scrolled to.
    virtual bool sameShapeAs(const SearchResultRows& other) const {
        Q_UNUSED(other);
        return false;
    }
};

// Every row has the same height, which the list view relies on to scroll thousands of rows
// without measuring them.
inline constexpr int kSearchResultRowHeight = 32;

// The rows as a flat list model; the view draws them with SearchResultRowDelegate.
class SearchResultListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        RowKindRole = Qt::UserRole + 1,
        SubtitleRole,
        TrailingRole,
        SymbolRole,
        SourceIndexRole
    };

    explicit SearchResultListModel(QObject* parent = nullptr);

    // Rows made in advance.
    void setRows(QList<SearchResultRow> rows);
    // Rows made when shown; returns the rows shown before, so the caller may let go of them
    // where it likes. Rows of the same shape as those shown replace them in place and say so
    // with rowsReplacedInPlace(), not dataChanged(): a list view lays out every one of a hundred
    // thousand rows again on a dataChanged() of them all, where repainting those on show is
    // enough (every row has the same size). Any other rows reset the list.
    std::shared_ptr<const SearchResultRows>
    setRowSource(std::shared_ptr<const SearchResultRows> rows);
    // The text of a result's position given as numbers, with %1 for the line and %2 for the
    // column.
    void setPositionFormat(const QString& format) { m_positionFormat = format; }
    SearchResultRow row(qsizetype index) const { return m_rows->at(index); }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // The rows' texts changed, their number, kinds and sizes did not: the view repaints.
    void rowsReplacedInPlace();

private:
    std::shared_ptr<const SearchResultRows> m_rows;
    QString m_positionFormat = QStringLiteral("%1:%2");
};

} // namespace dunmoss
