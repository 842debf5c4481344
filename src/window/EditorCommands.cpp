#include "window/EditorCommands.h"

namespace dunmoss {

const QList<EditorCommandFieldInfo>& allEditorCommandFields() {
#define DUNMOSS_FIELD(name)                                                                        \
    EditorCommandFieldInfo {                                                                       \
#name, &EditorCommands::name                                                               \
    }
    static const QList<EditorCommandFieldInfo> fields = {
        DUNMOSS_FIELD(newDocument),
        DUNMOSS_FIELD(openDocument),
        DUNMOSS_FIELD(saveDocument),
        DUNMOSS_FIELD(saveDocumentAs),
        DUNMOSS_FIELD(saveAllDocuments),
        DUNMOSS_FIELD(closeActiveTab),
        DUNMOSS_FIELD(closeAllTabs),
        DUNMOSS_FIELD(printDocument),
        DUNMOSS_FIELD(showHelp),
        DUNMOSS_FIELD(reloadDocument),
        DUNMOSS_FIELD(quickOpen),
        DUNMOSS_FIELD(showFind),
        DUNMOSS_FIELD(formatJSON),
        DUNMOSS_FIELD(minifyJSON),
        DUNMOSS_FIELD(toggleFolderSearch),
        DUNMOSS_FIELD(openWorkspace),
        DUNMOSS_FIELD(toggleWorkspace),
        DUNMOSS_FIELD(toggleMarkdownPreview),
        DUNMOSS_FIELD(toggleDocumentOutline),
        DUNMOSS_FIELD(toggleCompareView),
        DUNMOSS_FIELD(openSplitView),
        DUNMOSS_FIELD(cloneActiveView),
        DUNMOSS_FIELD(closeSplitView),
        DUNMOSS_FIELD(toggleWordWrap),
        DUNMOSS_FIELD(toggleInvisibles),
        DUNMOSS_FIELD(showGoToLine),
        DUNMOSS_FIELD(toggleBookmark),
        DUNMOSS_FIELD(nextBookmark),
        DUNMOSS_FIELD(previousBookmark),
        DUNMOSS_FIELD(clearBookmarks),
        DUNMOSS_FIELD(showColumnInsert),
        DUNMOSS_FIELD(showSnippetLibrary),
        DUNMOSS_FIELD(showTextToolbox),
        DUNMOSS_FIELD(showExternalCommand),
        DUNMOSS_FIELD(duplicateLine),
        DUNMOSS_FIELD(deleteLine),
        DUNMOSS_FIELD(moveLineUp),
        DUNMOSS_FIELD(moveLineDown),
        DUNMOSS_FIELD(sortLines),
        DUNMOSS_FIELD(indentSelection),
        DUNMOSS_FIELD(outdentSelection),
        DUNMOSS_FIELD(toggleLineComment),
        DUNMOSS_FIELD(toggleBlockComment),
        DUNMOSS_FIELD(trimTrailingWhitespace),
        DUNMOSS_FIELD(tabsToSpaces),
        DUNMOSS_FIELD(spacesToTabs),
        DUNMOSS_FIELD(uppercaseSelection),
        DUNMOSS_FIELD(lowercaseSelection),
        DUNMOSS_FIELD(toggleAlwaysOnTop),
    };
#undef DUNMOSS_FIELD
    return fields;
}

void invokeCommand(const EditorCommands& commands, EditorCommandField field) {
    const auto& command = commands.*field;
    if (command)
        command();
}

} // namespace dunmoss
