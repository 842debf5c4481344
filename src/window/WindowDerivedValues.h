#pragma once

#include "text/DocumentOutlineItem.h"
#include "window/EditorMacroStep.h"
#include "window/EditorWindowState.h"
#include "window/QuickOpenTypes.h"

#include <QList>
#include <QString>
#include <QUuid>
#include <functional>
#include <optional>

namespace dunmoss {

class Defaults;
class WindowSettings;

// Values computed from a window's state whenever they are needed. The tab list is never empty,
// so the indexes they return can be used directly.

// The index of the first tab whose identifier is the active one; 0 when none is.
int activeTabIndex(const EditorWindowState& state);
const EditorTab& activeTab(const EditorWindowState& state);
std::optional<int> tabIndex(const EditorWindowState& state, const QUuid& tabID);

// A new window's lone untitled, empty, unchanged tab while the welcome panel is wanted.
bool showsWelcomePanel(const EditorWindowState& state);

// The tab of the second editor pane; nothing in single mode.
std::optional<int> secondaryTabIndex(const EditorWindowState& state);
// The tab whose pane has the keyboard: the second pane's while it has it, else the active one.
// The one answer to "which document": every command that acts on the document (save, reload,
// close, the header's menus, tools, sheets, bookmarks, macros, undo) and the header, status bar
// and window title that describe it use this, never the active tab.
int keyboardTabIndex(const EditorWindowState& state);
const EditorTab& keyboardTab(const EditorWindowState& state);
// The tab compared with the active one; nothing while the compare view is hidden.
std::optional<int> compareTabIndex(const EditorWindowState& state);

// The tab's language: its override, else the one its file name suggests.
EditorLanguage effectiveLanguage(const EditorTab& tab);
// The tab width for the tab at the index: the width stored for its language, else the global
// one. An index outside the tabs gives the global width.
int tabWidthForTab(const EditorWindowState& state, int index, const Defaults& defaults);
// The same for a tab in the language.
int tabWidthForLanguage(EditorLanguage language, const Defaults& defaults);

// Texts longer than this (UTF-16 units) get no outline, to keep redraws quick.
inline constexpr qsizetype kOutlineTextLimit = 1'000'000;
using OutlineExtractor =
    std::function<QList<DocumentOutlineItem>(const QString& text, EditorLanguage language)>;
// The outline of the active tab in its language; empty for a text over the limit or when no
// extractor is given.
QList<DocumentOutlineItem> activeOutlineItems(const EditorWindowState& state,
                                              const OutlineExtractor& extractOutline);

// The most entries the quick-open palette lists.
inline constexpr int kQuickOpenEntryLimit = 80;
// The quick-open entry of one workspace file, described by its place below the root.
QuickOpenEntry quickOpenFileEntry(const QUrl& fileURL, const std::optional<QUrl>& rootURL);
// The palette's entries: the commands, then the workspace files, filtered by the trimmed query
// (case-insensitively, over title and subtitle) and cut to the limit, in that order.
QList<QuickOpenEntry> quickOpenEntries(const EditorWindowState& state,
                                       const QList<QuickOpenEntry>& commandEntries);
// A workspace file's entry with the text a query is looked for in (title, a space, subtitle);
// built once per tree, so that filtering while typing allocates nothing per file.
struct QuickOpenCandidate {
    QuickOpenEntry entry;
    QString searchText;
};
QList<QuickOpenCandidate> quickOpenFileCandidates(const EditorWindowState& state);
// quickOpenEntries over candidates built beforehand.
QList<QuickOpenEntry> filterQuickOpenEntries(const QString& query,
                                             const QList<QuickOpenEntry>& commandEntries,
                                             const QList<QuickOpenCandidate>& files);

// 1 plus the number of line feeds.
int lineCount(const QString& text);
// Lines of the tab whose pane has the keyboard.
int lineCount(const EditorWindowState& state);

// The file's name, or the localised "document.untitled".
QString displayTitle(const EditorTab& tab);
// Nothing when no tab has the identifier.
std::optional<QString> tabTitle(const EditorWindowState& state, const QUuid& tabID);
// Names the document of the pane with the keyboard, as the header does.
QString windowTitle(const EditorWindowState& state);
QString externalChangeAlertMessage(const EditorWindowState& state);

// A question about the tab is waiting for the person (close it unsaved?, close all?, reload over
// its edits?, close the window?, its file changed on disk), or a save panel or question of the
// window is open, whose answer counts on the files as the person saw them: nothing may decide
// for them meanwhile, so the tab is not written behind their back.
bool tabAwaitsDecision(const EditorWindowState& state, const QUuid& tabID);

// The steps of a saved macro text: names separated by ",", in stored order. Empty pieces and
// names of no step are dropped; names are matched exactly, without trimming.
QList<EditorMacroStep> macroStepsFromRaw(const QString& raw);
// The saved macro of the settings.
QList<EditorMacroStep> savedMacroSteps(const WindowSettings& settings);

} // namespace dunmoss
