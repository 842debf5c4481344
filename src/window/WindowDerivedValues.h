#pragma once

#include "tools/EditorMacroStep.h"
#include "window/EditorWindowState.h"

#include <QList>
#include <QString>
#include <QUuid>
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
// The tab compared with the active one; nothing while the compare view is hidden.
std::optional<int> compareTabIndex(const EditorWindowState& state);

// The tab's language: its override, else the one its file name suggests.
EditorLanguage effectiveLanguage(const EditorTab& tab);
// The tab width for the tab at the index: the width stored for its language, else the global
// one. An index outside the tabs gives the global width.
int tabWidthForTab(const EditorWindowState& state, int index, const Defaults& defaults);

// 1 plus the number of line feeds.
int lineCount(const QString& text);
// Lines of the active tab.
int lineCount(const EditorWindowState& state);

// The file's name, or the localised "document.untitled".
QString displayTitle(const EditorTab& tab);
// Nothing when no tab has the identifier.
std::optional<QString> tabTitle(const EditorWindowState& state, const QUuid& tabID);
QString windowTitle(const EditorWindowState& state);
QString externalChangeAlertMessage(const EditorWindowState& state);

// The steps of a saved macro text: names separated by ",", in stored order. Empty pieces and
// names of no step are dropped; names are matched exactly, without trimming.
QList<EditorMacroStep> macroStepsFromRaw(const QString& raw);
// The saved macro of the settings.
QList<EditorMacroStep> savedMacroSteps(const WindowSettings& settings);

} // namespace dunmoss
