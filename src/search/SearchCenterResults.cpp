#include "search/SearchCenterResults.h"

#include "platform/Localization.h"
#include "window/EditorWindowState.h"
#include "window/WindowDerivedValues.h"

#include <QDir>
#include <QHash>

namespace dunmoss {

namespace {

QString uuidText(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces).toUpper();
}

QString plainPath(const QUrl& url) {
    return url.toLocalFile();
}

QString lastPathComponent(const QUrl& url) {
    const QString path = QDir::cleanPath(plainPath(url));
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

QString documentResultID(const char* prefix, const QUuid& tabID, TextRange range, qsizetype line,
                         qsizetype column) {
    return QLatin1String(prefix) + uuidText(tabID) + QLatin1Char(':') +
           QString::number(range.location) + QLatin1Char(':') + QString::number(range.length) +
           QLatin1Char(':') + QString::number(line) + QLatin1Char(':') + QString::number(column);
}

} // namespace

QString searchCenterScopeDisplayKey(SearchCenterScope scope) {
    switch (scope) {
    case SearchCenterScope::OpenDocuments:
        return QString::fromLatin1(lkey("search-center.open-documents"));
    case SearchCenterScope::Folder:
        return QString::fromLatin1(lkey("search-center.folder"));
    case SearchCenterScope::CurrentDocument:
        break;
    }
    return QString::fromLatin1(lkey("search-center.current-document"));
}

QString searchCenterScopeSymbolName(SearchCenterScope scope) {
    switch (scope) {
    case SearchCenterScope::OpenDocuments:
        return QStringLiteral("rectangle.stack");
    case SearchCenterScope::Folder:
        return QStringLiteral("folder");
    case SearchCenterScope::CurrentDocument:
        break;
    }
    return QStringLiteral("doc.text");
}

QString standardizedPath(const QUrl& url) {
    const QString path = plainPath(url);
    return path.isEmpty() ? path : QDir::cleanPath(path);
}

QString parentPath(const QUrl& url) {
    QString path = plainPath(url);
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString();
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QString relativeDisplayPath(const QUrl& file, const QUrl& root) {
    const QString filePath = standardizedPath(file);
    const QString rootPath = standardizedPath(root);
    // Inside only when the root's path ends at a "/" of the file's: /p/proj is not a folder of
    // /p/project/x.txt, which would otherwise be titled "ect/x.txt".
    const bool inside =
        filePath.startsWith(rootPath) &&
        (filePath.size() == rootPath.size() || rootPath.endsWith(QLatin1Char('/')) ||
         filePath.at(rootPath.size()) == QLatin1Char('/'));
    if (!rootPath.isEmpty() && inside) {
        QString rest = filePath.mid(rootPath.size());
        qsizetype start = 0;
        qsizetype end = rest.size();
        while (start < end && rest.at(start) == QLatin1Char('/'))
            ++start;
        while (end > start && rest.at(end - 1) == QLatin1Char('/'))
            --end;
        if (end > start)
            return rest.mid(start, end - start);
    }
    return lastPathComponent(file);
}

QList<SearchCenterResult>
currentDocumentSearchCenterResults(const EditorWindowState& state,
                                   const QList<TextSearchResult>& results) {
    QList<SearchCenterResult> out;
    if (results.isEmpty())
        return out;
    const EditorTab& tab = activeTab(state);
    SearchCenterResult group;
    group.scope = SearchCenterScope::CurrentDocument;
    group.tabID = tab.id;
    if (tab.fileURL) {
        group.groupID = standardizedPath(*tab.fileURL);
        group.groupTitle = lastPathComponent(*tab.fileURL);
        group.groupSubtitle = parentPath(*tab.fileURL);
        group.fileURL = tab.fileURL;
    } else {
        group.groupID = uuidText(tab.id);
        group.groupTitle = localizedString(QStringLiteral("document.untitled"));
        group.groupSubtitle = localizedString(QStringLiteral("document.local-draft"));
    }
    out.reserve(results.size());
    for (const TextSearchResult& hit : results) {
        SearchCenterResult result = group;
        result.id = documentResultID("current:", tab.id, hit.range, hit.line, hit.column);
        result.range = hit.range;
        result.line = hit.line;
        result.column = hit.column;
        result.preview = hit.preview;
        out.append(std::move(result));
    }
    return out;
}

SearchCenterResult openDocumentSearchCenterResult(const EditorWindowState& state,
                                                  const OpenDocumentSearchResult& hit) {
    SearchCenterResult result;
    const std::optional<int> index = tabIndex(state, hit.tabID);
    const EditorTab* tab = index ? &state.tabs.at(*index) : nullptr;
    if (tab && tab->fileURL) {
        result.groupID = standardizedPath(*tab->fileURL);
        result.groupSubtitle = parentPath(*tab->fileURL);
        result.fileURL = tab->fileURL;
    } else {
        result.groupID = uuidText(hit.tabID);
        if (tab)
            result.groupSubtitle = localizedString(QStringLiteral("document.local-draft"));
    }
    result.groupTitle = hit.title;
    result.id = documentResultID("open:", hit.tabID, hit.range, hit.line, hit.column);
    result.scope = SearchCenterScope::OpenDocuments;
    result.tabID = hit.tabID;
    result.range = hit.range;
    result.line = hit.line;
    result.column = hit.column;
    result.preview = hit.preview;
    return result;
}

QList<SearchCenterResult>
openDocumentSearchCenterResults(const EditorWindowState& state,
                                const QList<OpenDocumentSearchResult>& results) {
    QList<SearchCenterResult> out;
    out.reserve(results.size());
    for (const OpenDocumentSearchResult& hit : results)
        out.append(openDocumentSearchCenterResult(state, hit));
    return out;
}

QList<SearchCenterResult> folderSearchCenterResults(const QList<FolderSearchResult>& results,
                                                    const QUrl& root) {
    QList<SearchCenterResult> out;
    out.reserve(results.size());
    for (const FolderSearchResult& hit : results) {
        SearchCenterResult result;
        const QString path = standardizedPath(hit.url);
        result.id = QStringLiteral("folder:") + path + QLatin1Char(':') +
                    QString::number(hit.line) + QLatin1Char(':') + QString::number(hit.column) +
                    QLatin1Char(':') + hit.preview;
        result.scope = SearchCenterScope::Folder;
        result.groupID = path;
        result.groupTitle = relativeDisplayPath(hit.url, root);
        result.groupSubtitle = parentPath(hit.url);
        result.fileURL = hit.url;
        result.line = hit.line;
        result.column = hit.column;
        result.preview = hit.preview;
        out.append(std::move(result));
    }
    return out;
}

QList<SearchCenterResult> filterSearchCenterResults(const QList<SearchCenterResult>& results,
                                                    const QString& filter) {
    const QString needle = filter.trimmed();
    if (needle.isEmpty())
        return results;
    const auto has = [&needle](const QString& haystack) {
        return haystack.contains(needle, Qt::CaseInsensitive);
    };
    QList<SearchCenterResult> kept;
    for (const SearchCenterResult& result : results) {
        const QString path = result.fileURL ? plainPath(*result.fileURL) : result.groupTitle;
        if (has(result.groupTitle) || has(result.groupSubtitle) || has(path) ||
            has(result.preview) ||
            has(QString::number(result.line) + QLatin1Char(':') + QString::number(result.column)))
            kept.append(result);
    }
    return kept;
}

QList<SearchCenterResultGroup> groupSearchCenterResults(const QList<SearchCenterResult>& results) {
    QList<SearchCenterResultGroup> groups;
    QHash<QString, qsizetype> indexByID;
    for (const SearchCenterResult& result : results) {
        auto found = indexByID.constFind(result.groupID);
        if (found == indexByID.cend()) {
            found = indexByID.insert(result.groupID, groups.size());
            groups.append({result.groupID, result.groupTitle, result.groupSubtitle, {}});
        }
        groups[*found].results.append(result);
    }
    return groups;
}

QString searchCenterClipboardText(const QList<SearchCenterResult>& results) {
    QStringList lines;
    lines.reserve(results.size());
    for (const SearchCenterResult& result : results) {
        const QString place = result.fileURL ? plainPath(*result.fileURL) : result.groupTitle;
        lines.append(place + QLatin1Char(':') + QString::number(result.line) + QLatin1Char(':') +
                     QString::number(result.column) + QStringLiteral(": ") + result.preview);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace dunmoss
