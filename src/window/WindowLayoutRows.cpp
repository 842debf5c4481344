#include "window/WindowLayoutRows.h"

#include "text/StatusStatistics.h"
#include "text/TextCounts.h"
#include "window/WindowDerivedValues.h"

namespace dunmoss {

QList<WindowRow> windowLayoutRows(const EditorWindowState& state) {
    using R = WindowRow;
    QList<R> rows{R::Header, R::Divider, R::TabStrip, R::Divider};
    if (state.find.showFindBar)
        rows << R::FindBar << R::Divider;
    // The folder panel's fields come before every list of results, so that results arriving
    // (a folder search opens the search center) never move them under the pointer; messages come
    // after every panel, so that one arriving or passing moves no field either.
    if (state.folderSearch.showFolderSearch)
        rows << R::FolderSearch << R::Divider;
    if (state.find.showFindResults)
        rows << R::FindResults << R::Divider;
    if (state.find.showOpenDocumentSearchResults)
        rows << R::OpenDocumentResults << R::Divider;
    if (state.searchCenter.showSearchCenter)
        rows << R::SearchCenter << R::Divider;
    if (showsStatusLine(state))
        rows << R::StatusLine << R::Divider;
    if (showsMessageBar(state))
        rows << R::MessageBar << R::Divider;
    rows << R::EditorArea << R::Divider << R::StatusBar;
    return rows;
}

bool showsStatusLine(const EditorWindowState& state) {
    return !state.findMessage.isEmpty();
}

bool showsMessageBar(const EditorWindowState& state) {
    const std::optional<QUuid>& asked = state.decisions.externalChangeTabID;
    return !state.notices.shown.isEmpty() || (asked && tabIndex(state, *asked));
}

bool isLargeFileMode(const EditorTab& tab, const TextCounts* counts) {
    if (tab.isLargeFilePreview)
        return true;
    if (counts)
        return counts->clusterCount() > kStatusCharacterCountLimit;
    return hasMoreGraphemeClustersThan(tab.document.text, kStatusCharacterCountLimit);
}

StatusBarValues statusBarValues(const EditorWindowState& state, const TextCounts* counts) {
    const EditorTab& tab = keyboardTab(state);
    if (counts && counts->length() != tab.document.text.size())
        counts = nullptr;
    StatusBarValues values;
    if (counts)
        values.statistics =
            computeStatusTextStatistics(tab.document.text, tab.selectedRange, *counts);
    values.text = tab.document.text;
    values.selectedRange = tab.selectedRange;
    values.encoding = tab.document.encoding;
    values.lineEnding = tab.document.lineEnding;
    values.language = effectiveLanguage(tab);
    values.isDirty = tabIsModified(tab);
    values.isReadOnly = tab.isReadOnly;
    values.isLargeFileMode = isLargeFileMode(tab, counts);
    values.bookmarkedLineCount = static_cast<qint64>(tab.bookmarkedLines.size());
    return values;
}

bool folderSearchShowsInlineResults(const EditorWindowState& state) {
    return !state.searchCenter.showSearchCenter;
}

} // namespace dunmoss
