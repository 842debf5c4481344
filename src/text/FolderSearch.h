#pragma once

#include "text/FolderSearchTypes.h"
#include "text/FolderWalk.h"
#include "text/TextSearch.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace dunmoss {

// Every match of the query in the text files below a folder, in walk order, at most `limit`
// (folderSearchResultLimit for the panel). The walk ends before the next file once the limit is
// reached or the run is cancelled, and a file's search ends soon after a cancellation; what was
// found so far is returned. Binary, oversized and
// undecodable files are skipped silently; each text is searched as decoded, so lines are
// counted at line feeds. Files whose names are not valid UTF-8 cannot be read by name: when
// `unnamedFileCount` is given, it is set to the number of those the patterns take (up to
// where the walk ended). A file the expression needs more than its work bound for (one bound
// for the whole file) gives no results, and the search goes on with the next; when `costlyFiles` is given, it is set to
// those files in walk order. An empty query returns nothing without reading the folder. Throws
// RegexError for an invalid expression, but only once the first text file is reached.
QList<FolderSearchResult> searchFolder(const QString& query, const QUrl& folderURL,
                                       const QStringList& include, const QStringList& exclude,
                                       const TextSearchOptions& options, int limit,
                                       const CancellationCheck& cancelled = {},
                                       int* unnamedFileCount = nullptr,
                                       QList<QUrl>* costlyFiles = nullptr);

// The number of distinct files (by standardised path) among the results.
int countUniqueResultFiles(const QList<FolderSearchResult>& results);

// The results whose file name, path, preview or "line:column" contains the trimmed filter,
// ignoring case; all of them for a blank filter.
QList<FolderSearchResult> filterFolderSearchResults(const QList<FolderSearchResult>& results,
                                                    const QString& filter);

// One group per file in order of first appearance, each with its results in input order.
QList<FolderSearchResultGroup> groupFolderSearchResults(const QList<FolderSearchResult>& results);

// A group's identity: the standardised path of its file.
QString folderSearchResultGroupID(const FolderSearchResultGroup& group);

} // namespace dunmoss
