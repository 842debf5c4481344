#include "window/WindowCommandHandlers.h"

#include "window/DocumentReloading.h"
#include "window/EditorWindowModel.h"
#include "window/HeaderActions.h"
#include "window/TabClosing.h"
#include "window/WindowCommandTable.h"
#include "window/WindowDerivedValues.h"

#include <QPointer>

namespace dunmoss {

namespace {

int caretLineNumber(const EditorTab& tab) {
    const qsizetype caret =
        std::clamp<qsizetype>(tab.selectedRange.location, 0, tab.document.text.size());
    return 1 + int(QStringView(tab.document.text).left(caret).count(QLatin1Char('\n')));
}

} // namespace

void WindowCommandHandlers::setHelpSheetPresented(bool presented) {
    m_model.update([&](EditorWindowState& state) { state.panels.showHelpSheet = presented; });
}

void WindowCommandHandlers::presentQuickOpen() {
    m_model.update([](EditorWindowState& state) {
        state.panels.quickOpenQuery.clear();
        state.panels.showQuickOpen = true;
    });
}

void WindowCommandHandlers::presentGoToLine() {
    const int line = caretLineNumber(keyboardTab(m_model.state()));
    m_model.update([&](EditorWindowState& state) {
        state.panels.goToLineText = QString::number(line);
        state.panels.showGoToLineSheet = true;
    });
}

void WindowCommandHandlers::presentColumnInsert() {
    m_model.update([](EditorWindowState& state) {
        state.panels.columnInsertText.clear();
        state.panels.showColumnInsertSheet = true;
    });
}

void WindowCommandHandlers::toggleFolderSearchPanel() {
    m_model.update([](EditorWindowState& state) {
        state.folderSearch.showFolderSearch = !state.folderSearch.showFolderSearch;
    });
}

void WindowCommandHandlers::toggleWorkspacePanel() {
    m_model.update([](EditorWindowState& state) {
        state.workspace.showWorkspace = !state.workspace.showWorkspace;
    });
}

void WindowCommandHandlers::toggleMarkdownPreviewPanel() {
    m_model.update([](EditorWindowState& state) {
        state.panels.showMarkdownPreview = !state.panels.showMarkdownPreview;
    });
}

void WindowCommandHandlers::toggleDocumentOutlinePanel() {
    m_model.update([](EditorWindowState& state) {
        state.panels.showDocumentOutline = !state.panels.showDocumentOutline;
    });
}

void WindowCommandHandlers::install(WindowCommandTable& table, EditorWindowModel& model) {
    const ModelCommandMaker on(model);
    EditorCommands& handlers = table.handlers();
    handlers.closeActiveTab =
        on([](EditorWindowModel& m) { TabClosing(m).requestCloseKeyboardTab(); });
    handlers.closeAllTabs = on([](EditorWindowModel& m) { TabClosing(m).requestCloseAllTabs(); });
    handlers.reloadDocument =
        on([](EditorWindowModel& m) { DocumentReloading(m).requestReloadKeyboardTab(); });
    handlers.showFind = on([](EditorWindowModel& m) { HeaderActions(m).openFindBar(); });
    handlers.showHelp =
        on([](EditorWindowModel& m) { WindowCommandHandlers(m).setHelpSheetPresented(true); });
    handlers.quickOpen =
        on([](EditorWindowModel& m) { WindowCommandHandlers(m).presentQuickOpen(); });
    handlers.showGoToLine =
        on([](EditorWindowModel& m) { WindowCommandHandlers(m).presentGoToLine(); });
    handlers.showColumnInsert =
        on([](EditorWindowModel& m) { WindowCommandHandlers(m).presentColumnInsert(); });
    handlers.toggleFolderSearch =
        on([](EditorWindowModel& m) { WindowCommandHandlers(m).toggleFolderSearchPanel(); });
    handlers.toggleWorkspace =
        on([](EditorWindowModel& m) { WindowCommandHandlers(m).toggleWorkspacePanel(); });
    handlers.toggleMarkdownPreview =
        on([](EditorWindowModel& m) { WindowCommandHandlers(m).toggleMarkdownPreviewPanel(); });
    handlers.toggleDocumentOutline =
        on([](EditorWindowModel& m) { WindowCommandHandlers(m).toggleDocumentOutlinePanel(); });
    const QPointer<EditorWindowModel> window = &model;
    table.requestCloseTab = [window](const QUuid& tabID) {
        if (window)
            TabClosing(*window).requestCloseTab(tabID);
    };
}

} // namespace dunmoss
