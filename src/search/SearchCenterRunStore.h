#pragma once

#include "search/SearchCenterRunCodec.h"
#include "window/SearchCenterTypes.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace dunmoss {

class Defaults;
struct SessionWriteSink;

// Where older versions kept the runs, in the settings file; read once, then moved to their file.
inline constexpr const char* kSearchCenterRunsKey = "search.center.runs.v1";
// The runs' own file beside the settings file: ten runs of 2,000 results are megabytes.
inline constexpr const char* kSearchCenterRunsFileName = "search-runs.json";
// The cause of the news that the runs file could not be written.
inline constexpr const char* kSearchRunsWriteNoticeCause = "search-runs-write";
// Runs kept after a recording, and runs written.
inline constexpr int kSearchCenterRunLimit = 10;
// Results written per run. Mark all, select all and open documents record every match, and the
// whole list is rewritten on each recording: ten runs of 100,000 results are 445 MB and an 18 s
// write. The first 2,000 (what find all lists) keep a recording's file to a few megabytes; the
// window's own runs stay whole until it closes.
inline constexpr qsizetype kStoredRunResultLimit = 2000;

QString searchCenterRunsPath(const Defaults& defaults);

// Hands the first ten runs, each with its first 2,000 results, to the background writer, which
// writes them (in the codec's JSON) to the runs file unless they are what it holds already, and
// tells the sink what became of them.
void saveSearchCenterRuns(const QList<SearchCenterRun>& runs, const Defaults& defaults,
                          std::shared_ptr<SessionWriteSink> sink = {});
// The stored runs in stored order, as the last save of this process left them (before its
// write is done too); none when nothing or nothing readable is stored (the file is then left
// as it is). Runs still in the settings from an older version are moved into the file once.
QList<SearchCenterRun> loadSearchCenterRuns(Defaults& defaults);

// The run picker's title: query (or the query placeholder), scope name and result count.
QString searchCenterRunTitle(const SearchCenterRun& run);

} // namespace dunmoss
