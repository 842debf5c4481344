#include "tools/ToolCommands.h"

#include "tools/Bookmarks.h"
#include "tools/JsonTools.h"
#include "tools/LineTools.h"
#include "tools/MacroPlayback.h"
#include "tools/MacroRecording.h"
#include "tools/SnippetLibrary.h"
#include "tools/TextToolboxCommands.h"
#include "window/EditorWindowModel.h"
#include "window/WindowCommandTable.h"

namespace dunmoss {

void installToolCommands(WindowCommandTable& table, EditorWindowModel& model) {
    const ModelCommandMaker on(model);
    EditorCommands& c = table.handlers();
    c.formatJSON = on([](EditorWindowModel& m) { JsonTools(m).formatJSONInActiveTab(); });
    c.minifyJSON = on([](EditorWindowModel& m) { JsonTools(m).minifyJSONInActiveTab(); });
    c.toggleBookmark = on([](EditorWindowModel& m) { Bookmarks(m).toggleBookmark(); });
    c.nextBookmark = on([](EditorWindowModel& m) { Bookmarks(m).nextBookmark(); });
    c.previousBookmark = on([](EditorWindowModel& m) { Bookmarks(m).previousBookmark(); });
    c.clearBookmarks = on([](EditorWindowModel& m) { Bookmarks(m).clearBookmarks(); });
    c.showSnippetLibrary =
        on([](EditorWindowModel& m) { SnippetLibrary(m).setSnippetSheetPresented(true); });
    c.showTextToolbox =
        on([](EditorWindowModel& m) { TextToolboxCommands(m).setTextToolboxPresented(true); });

    using S = EditorMacroStep;
    const auto tool = [&on](S step) {
        return on([step](EditorWindowModel& m) { LineTools(m).run(step); });
    };
    c.duplicateLine = tool(S::DuplicateLine);
    c.deleteLine = tool(S::DeleteLine);
    c.moveLineUp = tool(S::MoveLineUp);
    c.moveLineDown = tool(S::MoveLineDown);
    c.sortLines = tool(S::SortLines);
    c.indentSelection = tool(S::IndentSelection);
    c.outdentSelection = tool(S::OutdentSelection);
    c.toggleLineComment = tool(S::ToggleLineComment);
    c.toggleBlockComment = tool(S::ToggleBlockComment);
    c.trimTrailingWhitespace = tool(S::TrimTrailingWhitespace);
    c.tabsToSpaces = tool(S::TabsToSpaces);
    c.spacesToTabs = tool(S::SpacesToTabs);
    c.uppercaseSelection = tool(S::UppercaseSelection);
    c.lowercaseSelection = tool(S::LowercaseSelection);

    // The macro rows of the header's tools popover; no menu item has them.
    WindowSeams& seams = model.seams();
    seams.toggleMacroRecording =
        on([](EditorWindowModel& m) { MacroRecording(m).toggleMacroRecording(); });
    seams.playRecordedMacro =
        on([](EditorWindowModel& m) { MacroPlayback(m).playRecordedMacro(); });
    seams.saveRecordedMacro =
        on([](EditorWindowModel& m) { MacroPlayback(m).saveRecordedMacro(); });
    seams.playSavedMacro = on([](EditorWindowModel& m) { MacroPlayback(m).playSavedMacro(); });
}

} // namespace dunmoss
