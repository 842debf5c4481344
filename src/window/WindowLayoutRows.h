#pragma once

#include "window/EditorWindowState.h"
#include "window/StatusBarItems.h"

#include <QList>

namespace dunmoss {

// The rows of an editor window, top to bottom.
enum class WindowRow {
    Header,
    Divider,
    TabStrip,
    FindBar,
    FolderSearch,
    FindResults,
    OpenDocumentResults,
    SearchCenter,
    StatusLine,
    MessageBar,
    EditorArea,
    StatusBar,
};

// Header, divider, tab strip, divider, each shown panel followed by a divider (find bar, folder
// search, find results, open-document results, search center, always in this order), the status
// line and a divider while there is a message (see showsStatusLine), the message bar and a
// divider while it has news, the editor area, a divider and the status bar. Messages come after
// every panel, so none moves a panel's fields.
QList<WindowRow> windowLayoutRows(const EditorWindowState& state);

// The window's status message (what its commands say; the find bar has its own) is shown on its
// own line whenever it is not empty.
bool showsStatusLine(const EditorWindowState& state);

// The message bar shows while a file changed on disk is asked about or a notice is up.
bool showsMessageBar(const EditorWindowState& state);

// Large-file mode: a preview, or a text of more than 1,000,000 characters (counted as the user
// sees them, and only as far as needed to know). With the counts of the tab's text, nothing is
// counted.
bool isLargeFileMode(const EditorTab& tab, const TextCounts* counts = nullptr);

// The status bar's values for the tab whose pane has the keyboard (the first tab while the
// active id names none). Given the counts of that tab's text (kept in step with its edits), its
// statistics come from them rather than from a pass over the text.
StatusBarValues statusBarValues(const EditorWindowState& state, const TextCounts* counts = nullptr);

// The folder search panel lists its results itself only while the search center is hidden.
bool folderSearchShowsInlineResults(const EditorWindowState& state);

// The window sets this property on the folder search panel; true while it lists its own results.
inline constexpr const char* kShowsInlineResultsProperty = "showsInlineResults";

} // namespace dunmoss
