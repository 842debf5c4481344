#pragma once

#include "text/EditorLanguage.h"
#include "text/EditorTab.h"
#include "text/TextEncoding.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

namespace dunmoss {

// What the header bar shows, taken from the window at each update.
struct HeaderValues {
    // A copy of the tab whose pane has the keyboard (the one the header's commands act on),
    // without its text and saved snapshot: the header shows neither, and a copy kept here would
    // make the next keystroke copy the whole text.
    EditorTab tab;
    bool showsUnsavedBadge = false;
    // Points; the window's font-size setting.
    double fontSize = 14.0;
    QString themeRawValue;
    bool autoSaveEnabled = false;
    bool wordWrapEnabled = false;
    bool showInvisiblesEnabled = false;
    bool alwaysOnTopEnabled = false;
    // Newest first.
    QList<QUrl> recentFiles;
    bool isRecordingMacro = false;
};

// What the header's controls run. The header holds no document logic: each closure is one of the
// window's operations, and each setter writes one of the window's stored settings. An empty
// closure does nothing.
struct HeaderCommands {
    using Action = std::function<void()>;

    Action newDocument;
    Action openDocument;
    std::function<void(const QUrl&)> openRecent;
    Action quickOpen;
    Action saveDocument;
    Action saveAllDocuments;
    Action closeAllTabs;
    Action reloadDocument;
    Action showFind;
    Action formatJSON;
    Action minifyJSON;
    Action toggleFolderSearch;
    Action openWorkspace;
    Action toggleWorkspace;
    Action openSessionFile;
    Action saveSessionFile;
    Action toggleMarkdownPreview;
    Action toggleDocumentOutline;
    Action toggleCompareView;
    Action openSplitView;
    Action cloneActiveView;
    Action closeSplitView;
    Action showSnippetLibrary;
    Action showTextToolbox;
    Action showGoToLine;
    Action toggleBookmark;
    Action nextBookmark;
    Action previousBookmark;
    Action clearBookmarks;
    Action showColumnInsert;
    // The external-command sheet; no popover row shows it.
    Action showExternalCommand;
    Action duplicateLine;
    Action deleteLine;
    Action moveLineUp;
    Action moveLineDown;
    Action sortLines;
    Action indentSelection;
    Action outdentSelection;
    Action toggleLineComment;
    Action toggleBlockComment;
    Action trimTrailingWhitespace;
    Action tabsToSpaces;
    Action spacesToTabs;
    Action uppercaseSelection;
    Action lowercaseSelection;

    Action toggleMacroRecording;
    Action playRecordedMacro;
    Action saveRecordedMacro;
    Action playSavedMacro;

    std::function<void(TextFileEncoding)> setEncoding;
    std::function<void(TextFileEncoding)> reopenWithEncoding;
    std::function<void(TextLineEnding)> setLineEnding;
    std::function<void(std::optional<EditorLanguage>)> setLanguageOverride;
    Action increaseFont;
    Action decreaseFont;

    // The settings the popovers write.
    std::function<void(const QString&)> setThemeRawValue;
    std::function<void(bool)> setAutoSaveEnabled;
    std::function<void(bool)> setWordWrapEnabled;
    std::function<void(bool)> setShowInvisiblesEnabled;
    std::function<void(bool)> setAlwaysOnTopEnabled;
};

// The document's name: the file's last path component, or the untitled name.
QString headerTitle(const EditorTab& tab);
// The folder holding the file, as a plain path; for an untitled tab, the local-draft text.
QString headerFolderLine(const EditorTab& tab);
// Modified (text, encoding or line ending) and not read-only.
bool showsUnsavedBadge(const EditorTab& tab);
// The file changed on disk, whatever else holds.
bool showsExternalChangeBadge(const EditorTab& tab);
// The name of the tab's language: its override, else the one its file name suggests.
QString headerLanguageName(const EditorTab& tab);
// "14 pt": the size with its fraction dropped.
QString headerFontSizeText(double fontSize);

} // namespace dunmoss
