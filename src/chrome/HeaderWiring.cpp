#include "chrome/HeaderWiring.h"

#include "window/DocumentOpening.h"
#include "window/DocumentReloading.h"
#include "window/EditorWindowModel.h"
#include "window/HeaderActions.h"
#include "window/WindowDerivedValues.h"

#include <QPointer>

namespace dunmoss {

HeaderValues headerValues(EditorWindowModel& model) {
    const EditorWindowState& state = model.state();
    const WindowSettings& settings = model.settings();
    HeaderValues values;
    values.tab = keyboardTab(state);
    values.showsUnsavedBadge = showsUnsavedBadge(values.tab);
    values.tab.document.text = QString();
    values.tab.savedSnapshot = QString();
    values.fontSize = settings.fontSize();
    values.themeRawValue = settings.themeRawValue();
    values.autoSaveEnabled = settings.autoSaveEnabled();
    values.wordWrapEnabled = settings.wordWrapEnabled();
    values.showInvisiblesEnabled = settings.showInvisiblesEnabled();
    values.alwaysOnTopEnabled = settings.alwaysOnTopEnabled();
    if (model.seams().recentFiles)
        values.recentFiles = model.seams().recentFiles();
    values.isRecordingMacro = state.macros.isRecordingMacro;
    return values;
}

HeaderCommands makeHeaderCommands(EditorWindowModel& model, const EditorCommands& record) {
    const QPointer<EditorWindowModel> window = &model;
    const auto on = [window](auto operation) {
        return [window, operation](auto... arguments) {
            if (window)
                operation(*window, arguments...);
        };
    };
    // An operation another part of the window installs in the seams, looked up when it runs.
    const auto seam = [window](std::function<void()> WindowSeams::*member) {
        return [window, member] {
            if (window && window->seams().*member)
                (window->seams().*member)();
        };
    };

    HeaderCommands c;
    c.newDocument = record.newDocument;
    c.openDocument = record.openDocument;
    c.openRecent = on([](EditorWindowModel& m, const QUrl& url) {
        m.opening().openDocument(url, std::nullopt, std::nullopt, true);
    });
    c.quickOpen = record.quickOpen;
    c.saveDocument = record.saveDocument;
    c.saveAllDocuments = record.saveAllDocuments;
    c.closeAllTabs = record.closeAllTabs;
    c.reloadDocument = record.reloadDocument;
    c.showFind = record.showFind;
    c.formatJSON = record.formatJSON;
    c.minifyJSON = record.minifyJSON;
    c.toggleFolderSearch = record.toggleFolderSearch;
    c.openWorkspace = record.openWorkspace;
    c.toggleWorkspace = record.toggleWorkspace;
    c.openSessionFile = seam(&WindowSeams::openSessionFile);
    c.saveSessionFile = seam(&WindowSeams::saveSessionFile);
    c.toggleMarkdownPreview = record.toggleMarkdownPreview;
    c.toggleDocumentOutline = record.toggleDocumentOutline;
    c.toggleCompareView = record.toggleCompareView;
    c.openSplitView = record.openSplitView;
    c.cloneActiveView = record.cloneActiveView;
    c.closeSplitView = record.closeSplitView;
    c.showSnippetLibrary = record.showSnippetLibrary;
    c.showTextToolbox = record.showTextToolbox;
    c.showGoToLine = record.showGoToLine;
    c.toggleBookmark = record.toggleBookmark;
    c.nextBookmark = record.nextBookmark;
    c.previousBookmark = record.previousBookmark;
    c.clearBookmarks = record.clearBookmarks;
    c.showColumnInsert = record.showColumnInsert;
    c.showExternalCommand = record.showExternalCommand;
    c.duplicateLine = record.duplicateLine;
    c.deleteLine = record.deleteLine;
    c.moveLineUp = record.moveLineUp;
    c.moveLineDown = record.moveLineDown;
    c.sortLines = record.sortLines;
    c.indentSelection = record.indentSelection;
    c.outdentSelection = record.outdentSelection;
    c.toggleLineComment = record.toggleLineComment;
    c.toggleBlockComment = record.toggleBlockComment;
    c.trimTrailingWhitespace = record.trimTrailingWhitespace;
    c.tabsToSpaces = record.tabsToSpaces;
    c.spacesToTabs = record.spacesToTabs;
    c.uppercaseSelection = record.uppercaseSelection;
    c.lowercaseSelection = record.lowercaseSelection;

    c.toggleMacroRecording = seam(&WindowSeams::toggleMacroRecording);
    c.playRecordedMacro = seam(&WindowSeams::playRecordedMacro);
    c.saveRecordedMacro = seam(&WindowSeams::saveRecordedMacro);
    c.playSavedMacro = seam(&WindowSeams::playSavedMacro);

    c.setEncoding = on([](EditorWindowModel& m, TextFileEncoding encoding) {
        HeaderActions(m).setEncoding(encoding);
    });
    c.reopenWithEncoding = on([](EditorWindowModel& m, TextFileEncoding encoding) {
        DocumentReloading(m).reopenWithEncoding(encoding);
    });
    c.setLineEnding = on([](EditorWindowModel& m, TextLineEnding lineEnding) {
        HeaderActions(m).setLineEnding(lineEnding);
    });
    c.setLanguageOverride = on([](EditorWindowModel& m, std::optional<EditorLanguage> language) {
        HeaderActions(m).setLanguageOverride(language);
    });
    c.increaseFont = on([](EditorWindowModel& m) { HeaderActions(m).increaseFont(); });
    c.decreaseFont = on([](EditorWindowModel& m) { HeaderActions(m).decreaseFont(); });

    c.setThemeRawValue =
        on([](EditorWindowModel& m, const QString& raw) { m.settings().setThemeRawValue(raw); });
    c.setAutoSaveEnabled =
        on([](EditorWindowModel& m, bool enabled) { m.settings().setAutoSaveEnabled(enabled); });
    c.setWordWrapEnabled =
        on([](EditorWindowModel& m, bool enabled) { m.settings().setWordWrapEnabled(enabled); });
    c.setShowInvisiblesEnabled = on(
        [](EditorWindowModel& m, bool enabled) { m.settings().setShowInvisiblesEnabled(enabled); });
    c.setAlwaysOnTopEnabled =
        on([](EditorWindowModel& m, bool enabled) { m.settings().setAlwaysOnTopEnabled(enabled); });
    return c;
}

} // namespace dunmoss
