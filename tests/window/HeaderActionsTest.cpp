#include "window/HeaderActions.h"
#include "WindowFixture.h"
#include "platform/Localization.h"
#include "window/TabUndoRegistry.h"
#include "window/WindowCommandHandlers.h"
#include "window/WindowCommandTable.h"

#include <QCoreApplication>
#include <QUndoStack>

namespace dunmoss::test {
namespace {

class Header : public WindowFixture {
protected:
    HeaderActions actions() { return HeaderActions(*model); }
    // Runs a field of the window's command record, as a menu item does.
    void command(EditorCommands::Command EditorCommands::*field) {
        WindowCommandTable table(*model);
        WindowCommandHandlers::install(table, *model);
        invokeCommand(table.makeWindowCommands(), field);
    }
};

TEST_F(Header, FontSizeStepsStayWithinTheirLimits) {
    model->settings().setFontSize(27.5);
    actions().increaseFont();
    EXPECT_EQ(model->settings().fontSize(), 28.0);
    actions().increaseFont();
    EXPECT_EQ(model->settings().fontSize(), 28.0);
    model->settings().setFontSize(10.5);
    actions().decreaseFont();
    EXPECT_EQ(model->settings().fontSize(), 10.0);
    actions().decreaseFont();
    EXPECT_EQ(model->settings().fontSize(), 10.0);
}

TEST_F(Header, EncodingAndLineEndingChangesMarkTheTabModifiedUntilChangedBack) {
    actions().setEncoding(TextFileEncoding::Gb18030);
    EXPECT_TRUE(tabIsModified(active()));
    actions().setEncoding(TextFileEncoding::Utf8);
    EXPECT_FALSE(tabIsModified(active()));
    actions().setLineEnding(TextLineEnding::CarriageReturnLineFeed);
    EXPECT_TRUE(tabIsModified(active()));
    EXPECT_EQ(sessionSaves, 3);

    model->update([](EditorWindowState& s) { s.tabs[0].isReadOnly = true; });
    actions().setEncoding(TextFileEncoding::Big5);
    EXPECT_EQ(active().document.encoding, TextFileEncoding::Utf8);
    EXPECT_EQ(state().findMessage,
              localizedString(QStringLiteral("large-file.read-only-edit-blocked")));

    actions().setLanguageOverride(EditorLanguage::Python);
    EXPECT_EQ(active().languageOverride, EditorLanguage::Python);
    EXPECT_EQ(state().findMessage, localizedString(QStringLiteral("language.selected")));
    actions().setLanguageOverride(std::nullopt);
    EXPECT_EQ(active().languageOverride, std::nullopt);
    EXPECT_EQ(state().findMessage, localizedString(QStringLiteral("language.auto-selected")));
}

TEST_F(Header, MenuCommandsOpenTheirPanelsAndSheetsPrepared) {
    model->update([](EditorWindowState& s) {
        s.tabs[0].document.text = QStringLiteral("one\ntwo\nthree");
        s.tabs[0].selectedRange = {9, 0};
        s.panels.quickOpenQuery = QStringLiteral("old query");
        s.panels.columnInsertText = QStringLiteral("old");
    });
    command(&EditorCommands::showGoToLine);
    EXPECT_EQ(state().panels.goToLineText, QStringLiteral("3"));
    EXPECT_TRUE(state().panels.showGoToLineSheet);
    command(&EditorCommands::quickOpen);
    EXPECT_TRUE(state().panels.showQuickOpen);
    EXPECT_TRUE(state().panels.quickOpenQuery.isEmpty());
    command(&EditorCommands::showColumnInsert);
    EXPECT_TRUE(state().panels.showColumnInsertSheet);
    EXPECT_TRUE(state().panels.columnInsertText.isEmpty());
    command(&EditorCommands::showHelp);
    EXPECT_TRUE(state().panels.showHelpSheet);
    command(&EditorCommands::toggleMarkdownPreview);
    command(&EditorCommands::toggleDocumentOutline);
    command(&EditorCommands::toggleWorkspace);
    command(&EditorCommands::toggleFolderSearch);
    EXPECT_TRUE(state().panels.showMarkdownPreview && state().panels.showDocumentOutline &&
                state().workspace.showWorkspace && state().folderSearch.showFolderSearch);
    command(&EditorCommands::toggleWorkspace);
    EXPECT_FALSE(state().workspace.showWorkspace);

    command(&EditorCommands::showFind);
    EXPECT_TRUE(state().find.showFindBar);
    EXPECT_EQ(state().find.focusedFindField, std::nullopt) << "focus moves on the next turn";
    QCoreApplication::processEvents();
    EXPECT_EQ(state().find.focusedFindField, FindField::Query);

    command(&EditorCommands::reloadDocument);
    EXPECT_EQ(state().findMessage, localizedString(QStringLiteral("command.reload.no-file")));
    command(&EditorCommands::closeAllTabs);
    EXPECT_TRUE(state().decisions.showCloseAllAlert) << "the untitled tab holds unsaved text";
}

} // namespace
} // namespace dunmoss::test
