#include "window/ToolsPopover.h"

#include "platform/Localization.h"

namespace dunmoss {

namespace {

constexpr int kMaximumHeight = 560;

QString key(const char* text) {
    return QString::fromLatin1(text);
}

} // namespace

ToolbarPopoverContent toolsPopoverContent(const HeaderValues& values,
                                          const HeaderCommands& commands,
                                          const std::function<void()>& close) {
    const auto action = [&close](const char* titleKey, const char* symbol,
                                 const HeaderCommands::Action& command) {
        return ToolbarPopoverRow::makeAction(key(titleKey), key(symbol),
                                             closingFirst(close, command));
    };
    const auto toggle = [](const char* titleKey, const char* symbol, bool isOn,
                           const std::function<void(bool)>& setOn) {
        return ToolbarPopoverRow::makeToggle(key(titleKey), key(symbol), isOn, setOn);
    };
    const auto section = [](const char* titleKey, QList<ToolbarPopoverRow> rows) {
        return ToolbarPopoverSection{key(titleKey), std::move(rows)};
    };
    const bool recording = values.isRecordingMacro;

    ToolbarPopoverContent content;
    content.spacing = 10;
    content.verticalPadding = 2;
    content.maximumHeight = kMaximumHeight;
    content.elements = {
        action(lkey("command.command-palette"), "command", commands.quickOpen),
        action(lkey("command.reload"), "arrow.clockwise", commands.reloadDocument),
        action(lkey("command.save-all"), "square.and.arrow.down.on.square",
               commands.saveAllDocuments),
        action(lkey("command.close-all"), "xmark.square", commands.closeAllTabs),
        section(lkey("tools.format.title"),
                {action(lkey("tools.json-pretty"), "curlybraces", commands.formatJSON),
                 action(lkey("tools.json-minify"), "arrow.down.right.and.arrow.up.left",
                        commands.minifyJSON)}),
        section(
            lkey("tools.automation.title"),
            {recording ? action(lkey("tools.macro.stop-recording"), "stop.circle",
                                commands.toggleMacroRecording)
                       : action(lkey("tools.macro.record"), "record.circle",
                                commands.toggleMacroRecording),
             action(lkey("tools.macro.play-recorded"), "play.circle", commands.playRecordedMacro),
             action(lkey("tools.macro.save-recorded"), "tray.and.arrow.down",
                    commands.saveRecordedMacro),
             action(lkey("tools.macro.play-saved"), "play.square", commands.playSavedMacro)}),
        section(
            lkey("workspace.title"),
            {action(lkey("tools.folder-search"), "magnifyingglass", commands.toggleFolderSearch),
             action(lkey("workspace.open"), "folder.badge.plus", commands.openWorkspace),
             action(lkey("workspace.toggle"), "sidebar.left", commands.toggleWorkspace)}),
        section(
            lkey("session.title"),
            {action(lkey("session.open"), "rectangle.stack.badge.play", commands.openSessionFile),
             action(lkey("session.save"), "rectangle.stack.badge.plus", commands.saveSessionFile)}),
        section(
            lkey("tools.panels.title"),
            {action(lkey("tools.markdown-preview"), "doc.richtext", commands.toggleMarkdownPreview),
             action(lkey("tools.document-outline"), "list.bullet.indent",
                    commands.toggleDocumentOutline),
             action(lkey("tools.compare-view"), "rectangle.split.3x1", commands.toggleCompareView),
             action(lkey("tools.split-view"), "rectangle.split.2x1", commands.openSplitView),
             action(lkey("tools.clone-view"), "rectangle.on.rectangle", commands.cloneActiveView),
             action(lkey("tools.split-view.close"), "rectangle", commands.closeSplitView)}),
        section(lkey("tools.view-options.title"),
                {toggle(lkey("tools.word-wrap"), "text.alignleft", values.wordWrapEnabled,
                        commands.setWordWrapEnabled),
                 toggle(lkey("tools.show-invisibles"), "paragraphsign",
                        values.showInvisiblesEnabled, commands.setShowInvisiblesEnabled),
                 toggle(lkey("window.always-on-top"), "pin", values.alwaysOnTopEnabled,
                        commands.setAlwaysOnTopEnabled),
                 toggle(lkey("tools.autosave"), "arrow.triangle.2.circlepath",
                        values.autoSaveEnabled, commands.setAutoSaveEnabled)}),
        action(lkey("tools.goto-line"), "text.line.first.and.arrowtriangle.forward",
               commands.showGoToLine),
        action(lkey("tools.column-insert"), "tablecells", commands.showColumnInsert),
        action(lkey("tools.snippets"), "text.badge.plus", commands.showSnippetLibrary),
        action(lkey("tools.toolbox"), "wand.and.sparkles", commands.showTextToolbox),
        action(lkey("tools.external-command.open"), "terminal", commands.showExternalCommand),
        section(lkey("tools.bookmark.title"),
                {action(lkey("tools.bookmark.toggle"), "bookmark", commands.toggleBookmark),
                 action(lkey("tools.bookmark.next"), "arrow.down.to.line.compact",
                        commands.nextBookmark),
                 action(lkey("tools.bookmark.previous"), "arrow.up.to.line.compact",
                        commands.previousBookmark),
                 action(lkey("tools.bookmark.clear"), "bookmark.slash", commands.clearBookmarks)}),
        section(
            lkey("tools.line.title"),
            {action(lkey("tools.line.duplicate"), "plus.square.on.square", commands.duplicateLine),
             action(lkey("tools.line.delete"), "trash", commands.deleteLine),
             action(lkey("tools.line.move-up"), "arrow.up", commands.moveLineUp),
             action(lkey("tools.line.move-down"), "arrow.down", commands.moveLineDown),
             action(lkey("tools.line.sort"), "arrow.up.arrow.down", commands.sortLines)}),
        section(lkey("tools.edit.title"),
                {action(lkey("tools.edit.indent"), "increase.indent", commands.indentSelection),
                 action(lkey("tools.edit.outdent"), "decrease.indent", commands.outdentSelection),
                 action(lkey("tools.edit.line-comment"), "text.quote", commands.toggleLineComment),
                 action(lkey("tools.edit.block-comment"), "character.bubble",
                        commands.toggleBlockComment)}),
        section(
            lkey("tools.text.title"),
            {action(lkey("tools.text.trim-trailing"), "scissors", commands.trimTrailingWhitespace),
             action(lkey("tools.text.tabs-to-spaces"), "arrow.right.to.line.compact",
                    commands.tabsToSpaces),
             action(lkey("tools.text.spaces-to-tabs"), "arrow.left.to.line.compact",
                    commands.spacesToTabs),
             action(lkey("tools.text.uppercase"), "textformat.abc", commands.uppercaseSelection),
             action(lkey("tools.text.lowercase"), "textformat", commands.lowercaseSelection)}),
    };
    return content;
}

} // namespace dunmoss
