#pragma once

#include "search/SearchResultListModel.h"
#include "window/SearchCenterTypes.h"

#include <QList>
#include <QString>
#include <vector>

namespace dunmoss {

// The search center's rows for a list of results: one group per group identifier, in order of
// first appearance, each header followed by its results in list order. Only an index is built;
// a row's texts are made when it is shown. A result row's source index is its place in the list.
class SearchCenterRows : public SearchResultRows {
public:
    // `countFormat` writes a group's number of results (%1).
    SearchCenterRows(QList<SearchCenterResult> results, QString groupSymbol, QString countFormat);

    qsizetype count() const override { return qsizetype(m_rowSource.size()); }
    SearchResultRow at(qsizetype row) const override;
    SearchResultRow::Kind kindAt(qsizetype row) const override;
    bool sameShapeAs(const SearchResultRows& other) const override;

private:
    struct Group {
        qsizetype first = 0; // index of its first result
        qsizetype size = 0;
    };
    QList<SearchCenterResult> m_results;
    // Per row: the result's index, or -(group + 1) for a group's header.
    std::vector<qsizetype> m_rowSource;
    std::vector<Group> m_groups;
    QString m_groupSymbol;
    QString m_countFormat;
};

} // namespace dunmoss
