#pragma once

#include <QList>
#include <functional>

namespace dunmoss {

// The 49 window commands the menus reach, in their fixed order. An editor window builds one
// record from its own operations; the menu bar holds no editing logic and calls these only.
// Each closure takes nothing and returns nothing; an empty closure does nothing.
struct EditorCommands {
    using Command = std::function<void()>;

    Command newDocument;
    Command openDocument;
    Command saveDocument;
    Command saveDocumentAs;
    Command saveAllDocuments;
    Command closeActiveTab;
    Command closeAllTabs;
    Command printDocument;
    Command showHelp;
    Command reloadDocument;
    Command quickOpen;
    Command showFind;
    Command formatJSON;
    Command minifyJSON;
    Command toggleFolderSearch;
    Command openWorkspace;
    Command toggleWorkspace;
    Command toggleMarkdownPreview;
    Command toggleDocumentOutline;
    Command toggleCompareView;
    Command openSplitView;
    Command cloneActiveView;
    Command closeSplitView;
    Command toggleWordWrap;
    Command toggleInvisibles;
    Command showGoToLine;
    Command toggleBookmark;
    Command nextBookmark;
    Command previousBookmark;
    Command clearBookmarks;
    Command showColumnInsert;
    Command showSnippetLibrary;
    Command showTextToolbox;
    Command showExternalCommand;
    Command duplicateLine;
    Command deleteLine;
    Command moveLineUp;
    Command moveLineDown;
    Command sortLines;
    Command indentSelection;
    Command outdentSelection;
    Command toggleLineComment;
    Command toggleBlockComment;
    Command trimTrailingWhitespace;
    Command tabsToSpaces;
    Command spacesToTabs;
    Command uppercaseSelection;
    Command lowercaseSelection;
    Command toggleAlwaysOnTop;
};

using EditorCommandField = EditorCommands::Command EditorCommands::*;

struct EditorCommandFieldInfo {
    const char* name;
    EditorCommandField field;
};

// All 49 fields in declaration order, with their names.
const QList<EditorCommandFieldInfo>& allEditorCommandFields();

// Calls the field's closure when it is set.
void invokeCommand(const EditorCommands& commands, EditorCommandField field);

} // namespace dunmoss
