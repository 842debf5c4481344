#pragma once

#include "text/FolderWalk.h"
#include "text/TextSearch.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

namespace dunmoss {

// A match placed on its line: 1-based line (lines end at line feeds) and column (UTF-16 units),
// and its preview.
struct LocatedMatch {
    qsizetype line = 0;
    qsizetype column = 0;
    QString preview;

    friend bool operator==(const LocatedMatch&, const LocatedMatch&) = default;
};

// Whether findLiteralInUtf8 can find what SearchScanner finds for the query in some bytes: a
// literal without line breaks, case-sensitive of whole characters, or ignoring case in ASCII.
bool findsInUtf8Bytes(const QString& query, const TextSearchOptions& options);
// Whether it can in these bytes: they are what detectsAsPlainUtf8 takes, and all ASCII when
// case is ignored (the only case where ASCII letters match only each other).
bool findsInUtf8Bytes(const QString& query, const TextSearchOptions& options, QByteArrayView bytes);

// The first `room` matches of the query in bytes it findsInUtf8Bytes, found in the bytes
// themselves: the same matches, lines, columns and previews as SearchScanner and MatchLocator
// give over the decoded text, with only the lines that hold a match decoded.
// Ends with the matches found so far when `cancelled` says so; it is asked before the first
// match and then before every 1,024th, as SearchScanner asks.
QList<LocatedMatch> findLiteralInUtf8(QByteArrayView bytes, const QString& query,
                                      const TextSearchOptions& options, qsizetype room,
                                      const CancellationCheck& cancelled = {});

} // namespace dunmoss
