#include "search/SearchCenterRows.h"

#include <QHash>

namespace dunmoss {

SearchCenterRows::SearchCenterRows(QList<SearchCenterResult> results, QString groupSymbol,
                                   QString countFormat)
    : m_results(std::move(results)), m_groupSymbol(std::move(groupSymbol)),
      m_countFormat(std::move(countFormat)) {
    // Results of one group mostly follow each other: the table is asked only when the group
    // changes.
    std::vector<qsizetype> groupOf(size_t(m_results.size()));
    QHash<QString, qsizetype> indexByID;
    const QString* lastID = nullptr;
    qsizetype lastGroup = -1;
    for (qsizetype i = 0; i < m_results.size(); ++i) {
        const QString& id = m_results.at(i).groupID;
        if (!lastID || id != *lastID) {
            auto found = indexByID.constFind(id);
            if (found == indexByID.cend()) {
                found = indexByID.insert(id, qsizetype(m_groups.size()));
                m_groups.push_back({i, 0});
            }
            lastID = &id;
            lastGroup = *found;
        }
        groupOf[size_t(i)] = lastGroup;
        ++m_groups[size_t(lastGroup)].size;
    }
    // Each group's header, then the places its results fill in order.
    m_rowSource.resize(size_t(m_results.size()) + m_groups.size());
    std::vector<qsizetype> next(m_groups.size());
    qsizetype row = 0;
    for (size_t g = 0; g < m_groups.size(); ++g) {
        m_rowSource[size_t(row)] = -qsizetype(g) - 1;
        next[g] = row + 1;
        row += 1 + m_groups[g].size;
    }
    for (qsizetype i = 0; i < m_results.size(); ++i)
        m_rowSource[size_t(next[size_t(groupOf[size_t(i)])]++)] = i;
}

bool SearchCenterRows::sameShapeAs(const SearchResultRows& other) const {
    const auto* rows = dynamic_cast<const SearchCenterRows*>(&other);
    return rows && rows->m_rowSource == m_rowSource;
}

SearchResultRow::Kind SearchCenterRows::kindAt(qsizetype row) const {
    return m_rowSource[size_t(row)] < 0 ? SearchResultRow::Kind::Group
                                        : SearchResultRow::Kind::Result;
}

SearchResultRow SearchCenterRows::at(qsizetype row) const {
    const qsizetype source = m_rowSource[size_t(row)];
    if (source < 0) {
        const Group& group = m_groups[size_t(-source - 1)];
        const SearchCenterResult& first = m_results.at(group.first);
        return {SearchResultRow::Kind::Group,  first.groupTitle, first.groupSubtitle,
                m_countFormat.arg(group.size), m_groupSymbol,    -1};
    }
    const SearchCenterResult& result = m_results.at(source);
    return {SearchResultRow::Kind::Result,
            QString(),
            QString(),
            result.preview,
            QString(),
            source,
            result.line,
            result.column};
}

} // namespace dunmoss
