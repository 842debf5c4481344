#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace dunmoss {

class Defaults;

inline constexpr const char* kEditorThemeKey = "editor.theme";
inline constexpr const char* kUiTestingArgument = "--dunmoss-ui-testing";
inline constexpr const char* kAlwaysOnTopKey = "window.always-on-top.enabled";
inline constexpr const char* kUiTestingAlwaysOnTopKey = "ui-testing.window.always-on-top.enabled";

// The colour theme of editor windows; the raw value (persisted) is the case name.
enum class EditorTheme { System, Light, Graphite, Midnight };

// What a window asks of the system appearance: nothing (follow the system), light or dark.
enum class ColorScheme { None, Light, Dark };

const QList<EditorTheme>& allEditorThemes();
QString rawValue(EditorTheme theme);
// Exactly one of the four raw values, case-sensitive; anything else gives nothing.
std::optional<EditorTheme> editorThemeFromRawValue(const QString& raw);
ColorScheme colorScheme(EditorTheme theme);
// The stored "editor.theme"; missing or unrecognised reads as the system theme.
EditorTheme storedEditorTheme(const Defaults& defaults);
EditorTheme storedEditorTheme();

// True when some element equals the string exactly (no prefix or case folding).
bool arrayContainsString(const QStringList& list, const QString& string);
// Whether the process runs under automated interface testing; re-reads the arguments each time.
bool isUiTestingProcess();

// The key the always-on-top flag lives under for this argument list.
QString alwaysOnTopKey(const QStringList& arguments);
QString alwaysOnTopKey();
bool alwaysOnTopEnabled(const Defaults& defaults, const QStringList& arguments);
bool alwaysOnTopEnabled();

// Applies the flag to the editor windows; installed by the window layer. Called with
// bringToFront true only when the flag is switched on.
using AlwaysOnTopApplier = std::function<void(bool enabled, bool bringToFront)>;
void setAlwaysOnTopApplier(AlwaysOnTopApplier applier);

// Stores the flag under the key for these arguments, then has it applied to the windows.
// Switching off never brings a window to the front.
void setAlwaysOnTop(bool enabled, bool bringToFront, Defaults& defaults,
                    const QStringList& arguments);
void setAlwaysOnTop(bool enabled, bool bringToFront);

} // namespace dunmoss
