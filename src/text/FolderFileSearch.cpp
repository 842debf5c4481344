#include "text/FolderFileSearch.h"

#include "text/MatchPreview.h"
#include "text/ResultIdentifier.h"
#include "text/SearchScanner.h"
#include "text/SearchableText.h"
#include "text/Utf8LiteralScan.h"

namespace dunmoss {

FolderFileMatches folderMatchesInText(const QString& query, const TextSearchOptions& options,
                                      QStringView text, const QUrl& url, qsizetype room,
                                      const CancellationCheck& cancelled) {
    FolderFileMatches matches;
    QList<FolderSearchResult>& found = matches.found;
    if (room <= 0)
        return matches;
    SearchScanner scanner(query, text, options);
    if (cancelled)
        scanner.stopWhen(cancelled);
    MatchLocator locator(text);
    try {
        while (found.size() < room && scanner.next()) {
            const TextRange range = scanner.range();
            if (range.length == 0)
                continue;
            locator.advanceTo(range.location);
            found.append(FolderSearchResult{newResultIdentifier(), url, locator.lineIndex() + 1,
                                            range.location - locator.lineStart() + 1,
                                            locator.preview(range)});
        }
    } catch (const RegexError& error) {
        if (!error.isCancelled()) {
            if (!error.isTooCostly())
                throw;
            return {{}, url};
        }
    }
    return matches;
}

FolderFileMatches folderMatchesInFileBytes(const QString& query, const TextSearchOptions& options,
                                           QByteArray bytes, const QUrl& url, qsizetype room,
                                           const CancellationCheck& cancelled) {
    // Most files are plain UTF-8: a literal is found in their bytes, and only the lines that
    // hold a match are ever decoded.
    if (findsInUtf8Bytes(query, options, bytes)) {
        FolderFileMatches matches;
        if (room <= 0)
            return matches;
        for (LocatedMatch& match : findLiteralInUtf8(bytes, query, options, room, cancelled))
            matches.found.append(FolderSearchResult{newResultIdentifier(), url, match.line,
                                                    match.column, std::move(match.preview)});
        return matches;
    }
    const SearchableFileContent content = screenSearchableBytes(std::move(bytes));
    if (content.kind != SearchableFileContent::Kind::Text)
        return {};
    return folderMatchesInText(query, options, content.text, url, room, cancelled);
}

} // namespace dunmoss
