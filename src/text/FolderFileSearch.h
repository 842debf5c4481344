#pragma once

#include "text/FolderSearchTypes.h"
#include "text/FolderWalk.h"
#include "text/TextSearch.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
#include <QUrl>
#include <optional>

namespace dunmoss {

// One file's part of a folder search: its matches, or that the expression was too costly for it.
struct FolderFileMatches {
    QList<FolderSearchResult> found;
    std::optional<QUrl> costly;
};

// The first `room` matches in a file's decoded text; a cancelled run ends at once with those
// found before. A run that passes its work bound gives none: the file is listed as not
// searched instead. Throws RegexError for an invalid expression.
FolderFileMatches folderMatchesInText(const QString& query, const TextSearchOptions& options,
                                      QStringView text, const QUrl& url, qsizetype room,
                                      const CancellationCheck& cancelled = {});

// The same for a file's bytes as readSearchableBytes read them: none when screening finds no
// text, else those of its decoded text. A literal that findsInUtf8Bytes takes is looked for in
// the bytes themselves when detection reads them as plain UTF-8, with the same results.
FolderFileMatches folderMatchesInFileBytes(const QString& query, const TextSearchOptions& options,
                                           QByteArray bytes, const QUrl& url, qsizetype room,
                                           const CancellationCheck& cancelled = {});

} // namespace dunmoss
