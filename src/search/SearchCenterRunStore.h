#pragma once

#include "search/SearchCenterRunCodec.h"
#include "window/SearchCenterTypes.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace dunmoss {

class Defaults;

inline constexpr const char* kSearchCenterRunsKey = "search.center.runs.v1";
// Runs kept after a recording, and runs written.
inline constexpr int kSearchCenterRunLimit = 10;
// Results written per run. Mark all, select all and open documents record every match, and the
// whole list is rewritten on each recording: ten runs of 100,000 results are 445 MB of settings
// and an 18 s pause. The first 2,000 (what find all lists) keep a recording under a quarter of
// a second; the window's own runs stay whole until it closes.
inline constexpr qsizetype kStoredRunResultLimit = 2000;

// Writes the first ten runs, each with its first 2,000 results, under "search.center.runs.v1"
// as bytes.
void saveSearchCenterRuns(const QList<SearchCenterRun>& runs, Defaults& defaults);
// The stored runs in stored order; none when nothing or nothing readable is stored (the stored
// value is left as it is).
QList<SearchCenterRun> loadSearchCenterRuns(const Defaults& defaults);

// The run picker's title: query (or the query placeholder), scope name and result count.
QString searchCenterRunTitle(const SearchCenterRun& run);

} // namespace dunmoss
