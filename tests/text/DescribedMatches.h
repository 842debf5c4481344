#pragma once

#include "text/FolderFileSearch.h"

#include <QStringList>

namespace dunmoss::test {

// Everything of a file's matches but their random identifiers, one line each, for comparing.
inline QStringList described(const FolderFileMatches& matches) {
    QStringList lines;
    for (const FolderSearchResult& result : matches.found)
        lines.append(
            QStringLiteral("%1:%2 %3").arg(result.line).arg(result.column).arg(result.preview));
    if (matches.costly)
        lines.append(QStringLiteral("costly"));
    return lines;
}

} // namespace dunmoss::test
