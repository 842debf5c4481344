#pragma once

#include "window/SearchCenterTypes.h"

#include <QByteArray>
#include <QList>
#include <optional>

// The JSON form of the search-center runs, on its own so that it builds without a display (its
// decoder is fuzzed).
namespace dunmoss {

// The stored form of the runs: a compact JSON array, newest first, each run with its id, scope,
// query, creation time (seconds since 2001-01-01 UTC) and results; a result without a tab, file
// or range leaves those keys out.
QByteArray encodeSearchCenterRuns(const QList<SearchCenterRun>& runs);

// Strict reading: nothing at all when the value is not a JSON array of runs, a required key is
// missing or of the wrong type anywhere, or an identifier is not UUID text (one bad record
// loses them all). A run whose scope is not one of the three raw values is dropped; a result
// with such a scope reads as a current-document result; a range needs both its keys.
std::optional<QList<SearchCenterRun>> decodeSearchCenterRuns(const QByteArray& json);

} // namespace dunmoss
