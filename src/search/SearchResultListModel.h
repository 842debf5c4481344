#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QString>

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

    explicit SearchResultListModel(QObject* parent = nullptr) : QAbstractListModel(parent) {}

    void setRows(QList<SearchResultRow> rows);
    // The text of a result's position given as numbers, with %1 for the line and %2 for the
    // column.
    void setPositionFormat(const QString& format) { m_positionFormat = format; }
    const QList<SearchResultRow>& rows() const { return m_rows; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QList<SearchResultRow> m_rows;
    QString m_positionFormat = QStringLiteral("%1:%2");
};

} // namespace dunmoss
