#include "search/SearchCenterResults.h"

#include "platform/Localization.h"
#include "window/EditorWindowState.h"
#include "window/WindowDerivedValues.h"

#include <QDir>
#include <QHash>
#include <algorithm>
#include <vector>

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

void appendNumber(QString& out, qsizetype value) {
    char16_t digits[24];
    qsizetype at = 24;
    const bool negative = value < 0;
    auto rest =
        negative ? -static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    do {
        digits[--at] = char16_t(u'0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (negative)
        digits[--at] = u'-';
    out.append(QStringView(digits + at, 24 - at));
}

// The start of a document hit's identifier: the scope's prefix and the tab, made once per tab.
QString documentResultIDPrefix(const char* prefix, const QUuid& tabID) {
    return QLatin1String(prefix) + uuidText(tabID) + QLatin1Char(':');
}

// prefix "location:length:line:column", written without a string per number.
QString documentResultID(const QString& prefix, TextRange range, qsizetype line, qsizetype column) {
    QString id;
    id.reserve(prefix.size() + 48);
    id.append(prefix);
    appendNumber(id, range.location);
    id.append(QLatin1Char(':'));
    appendNumber(id, range.length);
    id.append(QLatin1Char(':'));
    appendNumber(id, line);
    id.append(QLatin1Char(':'));
    appendNumber(id, column);
    return id;
}

// What every open-document hit of one tab shares.
SearchCenterResult openDocumentGroup(const EditorWindowState& state, const QUuid& tabID) {
    SearchCenterResult group;
    const std::optional<int> index = tabIndex(state, tabID);
    const EditorTab* tab = index ? &state.tabs.at(*index) : nullptr;
    if (tab && tab->fileURL) {
        group.groupID = standardizedPath(*tab->fileURL);
        group.groupSubtitle = parentPath(*tab->fileURL);
        group.fileURL = tab->fileURL;
    } else {
        group.groupID = uuidText(tabID);
        if (tab)
            group.groupSubtitle = localizedString(QStringLiteral("document.local-draft"));
    }
    group.scope = SearchCenterScope::OpenDocuments;
    group.tabID = tabID;
    return group;
}

SearchCenterResult openDocumentHit(const SearchCenterResult& group, const QString& idPrefix,
                                   const OpenDocumentSearchResult& hit) {
    SearchCenterResult result = group;
    result.groupTitle = hit.title;
    result.id = documentResultID(idPrefix, hit.range, hit.line, hit.column);
    result.range = hit.range;
    result.line = hit.line;
    result.column = hit.column;
    result.preview = hit.preview;
    return result;
}

char16_t foldedAscii(char16_t unit) {
    return unit >= u'A' && unit <= u'Z' ? char16_t(unit | 0x20) : unit;
}

// Whether an ASCII text holds an ASCII needle given in lower case, ignoring ASCII case.
bool containsFoldedAscii(QStringView text, QStringView needle) {
    const qsizetype last = text.size() - needle.size();
    for (qsizetype at = 0; at <= last; ++at) {
        qsizetype k = 0;
        while (k < needle.size() && foldedAscii(text[at + k].unicode()) == needle[k].unicode())
            ++k;
        if (k == needle.size())
            return true;
    }
    return false;
}

// The plain search for a short needle in short texts: the first unit is looked for with the
// library's vectorised scan, the rest compared where it is found.
bool containsPlain(QStringView text, QStringView needle) {
    const qsizetype last = text.size() - needle.size();
    for (qsizetype at = text.indexOf(needle.front()); at >= 0 && at <= last;
         at = text.indexOf(needle.front(), at + 1))
        if (text.sliced(at, needle.size()) == needle)
            return true;
    return false;
}

// Results of one group mostly share one copy of the group's address: comparing the copies
// first spares comparing the address part by part.
bool sameFile(const std::optional<QUrl>& a, const std::optional<QUrl>& b) {
    if (!a || !b)
        return !a && !b;
    return const_cast<QUrl&>(*a).data_ptr() == const_cast<QUrl&>(*b).data_ptr() || *a == *b;
}

// "line:column" written into `out`, whose buffer is reused from result to result.
QStringView positionText(qsizetype line, qsizetype column, QString& out) {
    out.resize(0); // keeps the buffer, where clear() would let it go
    appendNumber(out, line);
    out.append(QLatin1Char(':'));
    appendNumber(out, column);
    return out;
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
    return currentDocumentSearchCenterResults(keyboardTab(state), results);
}

QList<SearchCenterResult>
currentDocumentSearchCenterResults(const EditorTab& tab, const QList<TextSearchResult>& results) {
    QList<SearchCenterResult> out;
    if (results.isEmpty())
        return out;
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
    const QString idPrefix = documentResultIDPrefix("current:", tab.id);
    for (const TextSearchResult& hit : results) {
        SearchCenterResult result = group;
        result.id = documentResultID(idPrefix, hit.range, hit.line, hit.column);
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
    return openDocumentHit(openDocumentGroup(state, hit.tabID),
                           documentResultIDPrefix("open:", hit.tabID), hit);
}

QList<SearchCenterResult>
openDocumentSearchCenterResults(const EditorWindowState& state,
                                const QList<OpenDocumentSearchResult>& results) {
    QList<SearchCenterResult> out;
    out.reserve(results.size());
    // Hits come tab by tab: what a tab's hits share is made when the tab changes.
    std::optional<QUuid> groupTab;
    SearchCenterResult group;
    QString idPrefix;
    for (const OpenDocumentSearchResult& hit : results) {
        if (groupTab != hit.tabID) {
            groupTab = hit.tabID;
            group = openDocumentGroup(state, hit.tabID);
            idPrefix = documentResultIDPrefix("open:", hit.tabID);
        }
        out.append(openDocumentHit(group, idPrefix, hit));
    }
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
    const bool asciiNeedle = QtPrivate::isAscii(QStringView(needle));
    const QString foldedNeedle = needle.toLower();
    // Digits and punctuation have no case: the plain search finds what the folded one does,
    // without looking at each unit twice.
    const bool caselessNeedle =
        asciiNeedle && std::none_of(needle.cbegin(), needle.cend(), [](QChar c) {
            return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        });
    const auto has = [&](QStringView haystack) {
        if (caselessNeedle)
            return containsPlain(haystack, needle);
        // Qt folds each unit on its own; between ASCII texts that is ASCII's case.
        if (asciiNeedle && QtPrivate::isAscii(haystack))
            return containsFoldedAscii(haystack, foldedNeedle);
        return haystack.contains(needle, Qt::CaseInsensitive);
    };
    // "line:column" holds only digits and ":" (and a "-" before a negative number).
    const bool mayBePosition = std::all_of(needle.cbegin(), needle.cend(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || c == u':' || c == u'-';
    });
    // The group's texts are the same for run after run of results: they are asked once per run.
    const SearchCenterResult* groupOfLast = nullptr;
    bool groupHas = false;
    const QString* previewOfLast = nullptr;
    bool previewHas = false;
    std::vector<qsizetype> kept;
    QString position;
    for (qsizetype i = 0; i < results.size(); ++i) {
        const SearchCenterResult& result = results.at(i);
        if (!groupOfLast || result.groupTitle != groupOfLast->groupTitle ||
            result.groupSubtitle != groupOfLast->groupSubtitle ||
            !sameFile(result.fileURL, groupOfLast->fileURL)) {
            const QString path = result.fileURL ? plainPath(*result.fileURL) : result.groupTitle;
            groupHas = has(result.groupTitle) || has(result.groupSubtitle) || has(path);
            groupOfLast = &result;
        }
        if (groupHas) {
            kept.push_back(i);
            continue;
        }
        // Hits on one line show the same line: comparing it with the last one asked is cheaper
        // than searching it again.
        if (!previewOfLast || result.preview != *previewOfLast) {
            previewHas = has(result.preview);
            previewOfLast = &result.preview;
        }
        if (previewHas ||
            (mayBePosition && has(positionText(result.line, result.column, position))))
            kept.push_back(i);
    }
    // Every result kept: the same list, shared rather than copied.
    if (qsizetype(kept.size()) == results.size())
        return results;
    QList<SearchCenterResult> out;
    out.reserve(qsizetype(kept.size()));
    for (const qsizetype i : kept)
        out.append(results.at(i));
    return out;
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
