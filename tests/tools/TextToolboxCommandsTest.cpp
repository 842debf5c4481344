#include "tools/TextToolboxCommands.h"
#include "ToolFixture.h"
#include "tools/JsonTools.h"
#include "tools/ToolCommands.h"
#include "window/EditorCommands.h"
#include "window/WindowCommandTable.h"

namespace dunmoss::test {
namespace {

using A = TextToolboxAction;

class TextToolboxCommandsTest : public ToolFixture {
protected:
    void perform(A action) { TextToolboxCommands(*model).performToolboxAction(action); }
    bool sheetShown() const { return state().panels.showTextToolbox; }
};

TEST_F(TextToolboxCommandsTest, TheSheetRunsThePickedActionOrClosesWhenDismissed) {
    setTab(QStringLiteral("b\na\nb\n"));
    person.toolSheetAnswers = {int(A::RemoveDuplicateLines)};
    TextToolboxCommands(*model).setTextToolboxPresented(true);
    EXPECT_EQ(person.toolSheets, QList<ToolSheet>{ToolSheet::TextToolbox});
    EXPECT_EQ(text(), QStringLiteral("b\na\n"));
    EXPECT_EQ(status(), text("tools.toolbox.unique-lines.done"));
    EXPECT_FALSE(sheetShown());

    TextToolboxCommands(*model).setTextToolboxPresented(true);
    EXPECT_FALSE(sheetShown());
    EXPECT_EQ(text(), QStringLiteral("b\na\n"));

    // A sheet already on show is not asked for twice.
    person.deferAnswers = true;
    TextToolboxCommands(*model).setTextToolboxPresented(true);
    TextToolboxCommands(*model).setTextToolboxPresented(true);
    EXPECT_EQ(person.toolSheets.size(), 3);
    EXPECT_TRUE(sheetShown());
    person.releasePending();
    EXPECT_FALSE(sheetShown());
}

TEST_F(TextToolboxCommandsTest, LineAndCodingActionsAreOneUndoStepOnTheSelectionOrTheWholeText) {
    struct Case {
        A action;
        const char* text;
        TextRange selection;
        const char* expected;
        const char* key;
        // The undo step's name: the action's own.
        const char* undoName;
    };
    const QList<Case> cases{
        {A::RemoveDuplicateLines,
         "x\nx\ny\nx\n",
         {0, 0},
         "x\ny\n",
         "tools.toolbox.unique-lines.done",
         "Remove Duplicate Lines"},
        {A::RemoveDuplicateLines,
         "x\nx\ny\nx\n",
         {0, 4},
         "x\ny\nx\n",
         "tools.toolbox.unique-lines.done",
         "Remove Duplicate Lines"},
        {A::ReverseLines,
         "1\n2\n3",
         {0, 0},
         "3\n2\n1",
         "tools.toolbox.reverse-lines.done",
         "Reverse Lines"},
        {A::Base64Encode, "hé", {0, 0}, "aMOp", "tools.toolbox.base64-encoded", "Base64 Encode"},
        {A::Base64Decode,
         "[ aMOp ]",
         {1, 6},
         "[hé]",
         "tools.toolbox.base64-decoded",
         "Base64 Decode"},
        {A::UrlEncode, "a b&c", {0, 0}, "a%20b&c", "tools.toolbox.url-encoded", "URL Encode"},
        {A::UrlDecode, "a%20b", {0, 0}, "a b", "tools.toolbox.url-decoded", "URL Decode"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        setTab(QString::fromUtf8(c.text), {c.selection});
        model->update([](EditorWindowState& s) { s.panels.showTextToolbox = true; });
        perform(c.action);
        EXPECT_EQ(text(), QString::fromUtf8(c.expected));
        EXPECT_EQ(status(), text(c.key));
        ASSERT_EQ(undoStack()->count(), 1);
        EXPECT_EQ(undoStack()->undoText(), c.undoName);
        EXPECT_FALSE(sheetShown());
        undoStack()->undo();
        EXPECT_EQ(text(), QString::fromUtf8(c.text));
        EXPECT_EQ(selection(), c.selection);
    }
}

TEST_F(TextToolboxCommandsTest, InvalidBase64ShowsTheAlertChangesNothingAndClosesTheSheet) {
    setTab(QStringLiteral("not base64!"));
    model->setFindMessage(QStringLiteral("before"));
    model->update([](EditorWindowState& s) { s.panels.showTextToolbox = true; });
    perform(A::Base64Decode);
    EXPECT_EQ(state().errors.errorMessage, text("tools.toolbox.base64-invalid"));
    EXPECT_EQ(text(), QStringLiteral("not base64!"));
    EXPECT_EQ(status(), QStringLiteral("before"));
    EXPECT_EQ(undoStack()->count(), 0);
    EXPECT_EQ(sessionSaves, 0);
    EXPECT_FALSE(sheetShown());
}

TEST_F(TextToolboxCommandsTest, AnUnchangedResultStillReportsButAddsNoUndoStep) {
    setTab(QStringLiteral("plain"));
    perform(A::UrlDecode);
    EXPECT_EQ(status(), text("tools.toolbox.url-decoded"));
    EXPECT_EQ(undoStack()->count(), 0);
}

TEST_F(TextToolboxCommandsTest, ExtractionsOpenAnUnmodifiedUntitledTabEvenFromReadOnlyText) {
    const QString source =
        QStringLiteral("see https://a.example/x, (http://b.example/y) and <https://c.example>\n"
                       "mail Ann@Example.org or ann@example.org; twice ann@example.org\n");
    setTab(source, {{0, 3}}, {}, true);
    const QUuid sourceID = active().id;
    model->update([](EditorWindowState& s) { s.panels.showTextToolbox = true; });

    perform(A::ExtractURLs);
    ASSERT_EQ(state().tabs.size(), 2);
    EXPECT_NE(active().id, sourceID);
    EXPECT_EQ(text(),
              QStringLiteral("https://a.example/x,\nhttp://b.example/y)\nhttps://c.example\n"));
    EXPECT_TRUE(active().isUntitled());
    EXPECT_FALSE(tabIsModified(active()));
    EXPECT_EQ(selection(), (TextRange{0, 0}));
    EXPECT_EQ(status(), text("tools.toolbox.extract-urls.title"));
    EXPECT_FALSE(sheetShown());
    EXPECT_EQ(sessionSaves, 1);

    model->setActiveTabID(sourceID);
    perform(A::ExtractEmails);
    EXPECT_EQ(text(), QStringLiteral("Ann@Example.org\nann@example.org\nann@example.org\n"));
    EXPECT_EQ(model->tab(sourceID)->document.text, source);
    EXPECT_EQ(model->undoRegistry().undoStackForTab(sourceID)->count(), 0);
}

TEST_F(TextToolboxCommandsTest, AnExtractionThatFindsNothingSaysSoInTheNewTab) {
    setTab(QStringLiteral("no links here"));
    perform(A::ExtractURLs);
    ASSERT_EQ(state().tabs.size(), 2);
    EXPECT_EQ(text(), text("tools.toolbox.extract-empty") + u'\n');
    EXPECT_FALSE(tabIsModified(active()));
}

TEST_F(TextToolboxCommandsTest, JsonIsReformattedWithTheCaretAtTheStartOrRefusedWithAnAlert) {
    setTab(QStringLiteral("{\"b\":1,\"a\":[true]}"), {{5, 2}});
    JsonTools(*model).formatJSONInActiveTab();
    EXPECT_EQ(text(), QStringLiteral("{\n    \"a\": [\n        true\n    ],\n    \"b\": 1\n}\n"));
    EXPECT_EQ(selection(), (TextRange{0, 0}));
    EXPECT_EQ(status(), text("tools.json-pretty.done"));
    EXPECT_EQ(undoStack()->undoText(), text("tools.json-pretty"));

    // Already pretty with the caret at the start: nothing to undo. With the caret elsewhere, the
    // one change is the caret going back to the start, and undo brings it back.
    JsonTools(*model).formatJSONInActiveTab();
    EXPECT_EQ(undoStack()->count(), 1);
    model->setSelection(4, 3, 0);
    JsonTools(*model).formatJSONInActiveTab();
    ASSERT_EQ(undoStack()->count(), 2);
    EXPECT_EQ(selection(), (TextRange{0, 0}));
    undoStack()->undo();
    EXPECT_EQ(selection(), (TextRange{4, 3}));
    undoStack()->redo();
    JsonTools(*model).minifyJSONInActiveTab();
    EXPECT_EQ(text(), QStringLiteral("{\"a\":[true],\"b\":1}"));
    EXPECT_EQ(undoStack()->undoText(), text("tools.json-minify"));

    setTab(QStringLiteral("{\"a\":"));
    model->setFindMessage(QStringLiteral("before"));
    JsonTools(*model).formatJSONInActiveTab();
    // Said once, with where reading stopped.
    EXPECT_EQ(state().errors.errorMessage,
              "The text is not valid JSON: the text ends before the JSON value is complete "
              "(line 1, column 6).");
    EXPECT_EQ(text(), QStringLiteral("{\"a\":"));
    EXPECT_EQ(status(), QStringLiteral("before"));
    EXPECT_EQ(sessionSaves, 0);

    setTab(QStringLiteral("[1]"), {{0, 0}}, {}, true);
    JsonTools(*model).minifyJSONInActiveTab();
    EXPECT_EQ(text(), QStringLiteral("[1]"));
    EXPECT_EQ(status(), text("large-file.read-only-edit-blocked"));
}

TEST_F(TextToolboxCommandsTest, TheWindowCommandRecordReachesEveryTool) {
    WindowCommandTable table(*model);
    installToolCommands(table, *model);
    const EditorCommands commands = table.makeWindowCommands();
    const QList<EditorCommandField> toolFields{
        &EditorCommands::formatJSON,         &EditorCommands::minifyJSON,
        &EditorCommands::toggleBookmark,     &EditorCommands::nextBookmark,
        &EditorCommands::previousBookmark,   &EditorCommands::clearBookmarks,
        &EditorCommands::showSnippetLibrary, &EditorCommands::showTextToolbox,
        &EditorCommands::duplicateLine,      &EditorCommands::deleteLine,
        &EditorCommands::moveLineUp,         &EditorCommands::moveLineDown,
        &EditorCommands::sortLines,          &EditorCommands::indentSelection,
        &EditorCommands::outdentSelection,   &EditorCommands::toggleLineComment,
        &EditorCommands::toggleBlockComment, &EditorCommands::trimTrailingWhitespace,
        &EditorCommands::tabsToSpaces,       &EditorCommands::spacesToTabs,
        &EditorCommands::uppercaseSelection, &EditorCommands::lowercaseSelection};
    for (EditorCommandField field : toolFields)
        EXPECT_TRUE(bool(table.handlers().*field));

    setTab(QStringLiteral("b\na\n"));
    invokeCommand(commands, &EditorCommands::sortLines);
    EXPECT_EQ(text(), QStringLiteral("a\nb\n"));
    invokeCommand(commands, &EditorCommands::toggleBookmark);
    EXPECT_EQ(active().bookmarkedLines, (std::set<int>{1}));
    invokeCommand(commands, &EditorCommands::showSnippetLibrary);
    EXPECT_EQ(person.toolSheets, QList<ToolSheet>{ToolSheet::SnippetLibrary});

    // The header's macro items.
    model->seams().toggleMacroRecording();
    invokeCommand(commands, &EditorCommands::duplicateLine);
    model->seams().toggleMacroRecording();
    model->seams().saveRecordedMacro();
    EXPECT_EQ(model->settings().savedMacroStepsRaw(), QStringLiteral("duplicateLine"));
    model->seams().playSavedMacro();
    model->seams().playRecordedMacro();
    // The sorted block stays selected, so each run duplicates both lines.
    EXPECT_EQ(text(), QStringLiteral("a\nb\n").repeated(4));
}

} // namespace
} // namespace dunmoss::test
