#include "text/FolderSearch.h"

#include "platform/SecurityScopedAccess.h"
#include "text/FolderFileSearch.h"
#include "text/FolderPatterns.h"
#include "text/OrderedFileJobs.h"
#include "text/SearchableText.h"

#include <QHash>
#include <QSet>
#include <atomic>
#include <optional>

namespace dunmoss {

QList<FolderSearchResult> searchFolder(const QString& query, const QUrl& folderURL,
                                       const QStringList& include, const QStringList& exclude,
                                       const TextSearchOptions& options, int limit,
                                       const CancellationCheck& cancelled, int* unnamedFileCount,
                                       QList<QUrl>* costlyFiles) {
    QList<FolderSearchResult> results;
    if (unnamedFileCount)
        *unnamedFileCount = 0;
    if (costlyFiles)
        costlyFiles->clear();
    if (query.isEmpty())
        return results;
    const SecurityScopedAccess access(folderURL);
    const QString root = folderPathOfURL(folderURL);
    WildcardRegexCache cache;
    FolderPatternFilter filter(root, include, exclude, cache);
    const FolderQuery prepared(query, options);
    // Read by the workers: a file whose turn comes after the limit is not searched.
    std::atomic<qsizetype> gathered = 0;
    OrderedFileJobs<FolderFileMatches> jobs(
        [&](const QString& path) {
            if (gathered.load() >= limit || isCancelled(cancelled))
                return FolderFileMatches();
            SearchableFileContent read = readSearchableBytes(path);
            if (read.kind != SearchableFileContent::Kind::Text)
                return FolderFileMatches();
            // Most files hold no match: the URL is made only for one that does.
            FolderFileMatches matches = prepared.matchesInFileBytes(
                std::move(read.bytes), QUrl(), limit - gathered.load(), cancelled);
            if (!matches.found.isEmpty() || matches.costly) {
                const QUrl url = QUrl::fromLocalFile(path);
                for (FolderSearchResult& result : matches.found)
                    result.url = url;
                if (matches.costly)
                    matches.costly = url;
            }
            return matches;
        },
        [&](FolderFileMatches&& matches) {
            // Past the limit a file adds nothing, so it is not listed either.
            if (matches.costly && costlyFiles && results.size() < limit)
                costlyFiles->append(*matches.costly);
            QList<FolderSearchResult>& found = matches.found;
            const qsizetype room = limit - results.size();
            if (found.size() > room)
                found.resize(std::max<qsizetype>(room, 0));
            results.append(std::move(found));
            gathered.store(results.size());
        });
    const CancellationCheck stop = [&] {
        return results.size() >= limit || isCancelled(cancelled);
    };
    FolderWalkOptions walkOptions;
    walkOptions.runAhead = jobs.aheadRunner();
    walkOptions.unnamedFile = [&](const QString& readablePath) {
        if (unnamedFileCount && filter.accepts(readablePath))
            ++*unnamedFileCount;
    };
    walkFolderFiles(
        root, stop,
        [&](const QString& path) {
            if (filter.accepts(path))
                jobs.submit(path);
            return true;
        },
        walkOptions);
    jobs.finish();
    return results;
}

int countUniqueResultFiles(const QList<FolderSearchResult>& results) {
    QSet<QString> paths;
    for (const FolderSearchResult& result : results)
        paths.insert(standardizedFilePath(result.url));
    return int(paths.size());
}

QList<FolderSearchResult> filterFolderSearchResults(const QList<FolderSearchResult>& results,
                                                    const QString& filter) {
    const QString needle = filter.trimmed();
    if (needle.isEmpty())
        return results;
    QList<FolderSearchResult> kept;
    for (const FolderSearchResult& result : results) {
        const QString path = result.url.toLocalFile();
        const QString name = path.mid(path.lastIndexOf(u'/') + 1);
        const QString position = QStringLiteral("%1:%2").arg(result.line).arg(result.column);
        if (name.contains(needle, Qt::CaseInsensitive) ||
            path.contains(needle, Qt::CaseInsensitive) ||
            result.preview.contains(needle, Qt::CaseInsensitive) ||
            position.contains(needle, Qt::CaseInsensitive))
            kept.append(result);
    }
    return kept;
}

QList<FolderSearchResultGroup> groupFolderSearchResults(const QList<FolderSearchResult>& results) {
    QList<FolderSearchResultGroup> groups;
    QHash<QString, qsizetype> indexByPath;
    for (const FolderSearchResult& result : results) {
        const QString key = standardizedFilePath(result.url);
        auto it = indexByPath.constFind(key);
        if (it == indexByPath.constEnd()) {
            it = indexByPath.insert(key, groups.size());
            groups.append(FolderSearchResultGroup{result.url, {}});
        }
        groups[it.value()].results.append(result);
    }
    return groups;
}

QString folderSearchResultGroupID(const FolderSearchResultGroup& group) {
    return standardizedFilePath(group.url);
}

} // namespace dunmoss
