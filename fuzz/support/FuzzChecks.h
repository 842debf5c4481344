#pragma once

// What several fuzz targets share: a check that stops the run, the comparison of two folder
// searches of one file, and the split of an input into a short query and the file's bytes.
#include "text/FolderFileSearch.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace dunmoss::fuzz {

inline void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

// The same matches in the same order; whether either run was cut short is the caller's to weigh.
inline bool sameResults(const FolderFileMatches& a, const FolderFileMatches& b) {
    if (a.found.size() != b.found.size())
        return false;
    for (qsizetype i = 0; i < a.found.size(); ++i) {
        const FolderSearchResult& x = a.found[i];
        const FolderSearchResult& y = b.found[i];
        if (x.line != y.line || x.column != y.column || x.preview != y.preview || x.url != y.url)
            return false;
    }
    return true;
}

// One byte of options, one byte giving the query's length (modulo `lengths`), the query as
// UTF-8, then the file.
struct QueryInput {
    uint8_t flags = 0;
    QString query;
    QByteArray bytes;
};

inline std::optional<QueryInput> splitQueryInput(const uint8_t* data, size_t size, size_t lengths) {
    if (size < 2)
        return std::nullopt;
    const size_t queryBytes = qMin<size_t>(data[1] % lengths, size - 2);
    QueryInput input;
    input.flags = data[0];
    input.query = QString::fromUtf8(reinterpret_cast<const char*>(data + 2), qsizetype(queryBytes));
    input.bytes = QByteArray(reinterpret_cast<const char*>(data + 2 + queryBytes),
                             qsizetype(size - 2 - queryBytes));
    if (input.query.isEmpty())
        return std::nullopt;
    return input;
}

} // namespace dunmoss::fuzz
