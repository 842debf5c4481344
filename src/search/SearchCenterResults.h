#pragma once

#include "text/FolderSearchTypes.h"
#include "text/TextSearch.h"
#include "window/SearchCenterTypes.h"

#include <QList>
#include <QString>
#include <QUrl>

namespace dunmoss {

struct EditorTab;
struct EditorWindowState;

// The localisation key and symbol name a scope is shown with.
QString searchCenterScopeDisplayKey(SearchCenterScope scope);
QString searchCenterScopeSymbolName(SearchCenterScope scope);

// A file URL's path with "." and ".." removed (links are not resolved): the key of its group.
QString standardizedPath(const QUrl& url);
// The URL's path without its last component, as written (not standardized).
QString parentPath(const QUrl& url);
// The file's path below the root when the file lies inside the root (standardized paths, the
// root's path ending at a "/" of the file's); else the file name.
QString relativeDisplayPath(const QUrl& file, const QUrl& root);

// Builders: one search-center result per hit, in order, with identifiers derived from the hit
// alone, so the same hit searched again gets the same identifier.
// The current document is the tab whose pane has the keyboard.
QList<SearchCenterResult>
currentDocumentSearchCenterResults(const EditorWindowState& state,
                                   const QList<TextSearchResult>& results);
QList<SearchCenterResult>
currentDocumentSearchCenterResults(const EditorTab& tab, const QList<TextSearchResult>& results);
SearchCenterResult openDocumentSearchCenterResult(const EditorWindowState& state,
                                                  const OpenDocumentSearchResult& result);
QList<SearchCenterResult>
openDocumentSearchCenterResults(const EditorWindowState& state,
                                const QList<OpenDocumentSearchResult>& results);
QList<SearchCenterResult> folderSearchCenterResults(const QList<FolderSearchResult>& results,
                                                    const QUrl& root);

// The results whose group title or subtitle, path, preview or "line:column" contains the
// trimmed filter, ignoring case; an empty filter keeps all.
QList<SearchCenterResult> filterSearchCenterResults(const QList<SearchCenterResult>& results,
                                                    const QString& filter);
// One group per group identifier, in order of first appearance; nothing is sorted.
QList<SearchCenterResultGroup> groupSearchCenterResults(const QList<SearchCenterResult>& results);

// The text the copy action puts on the clipboard: "path:line:column: preview" per result,
// joined by line feeds.
QString searchCenterClipboardText(const QList<SearchCenterResult>& results);

} // namespace dunmoss
