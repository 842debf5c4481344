#pragma once

#include <QString>

namespace dunmoss {

class EditorWindowModel;
class WindowCommandTable;

// The menu commands that end in a small change of the window: show or hide a panel, open a sheet
// with its input prepared. Each flips or sets the window's flags and nothing else (no status, no
// session save); the panels and sheets follow the flags.
class WindowCommandHandlers {
public:
    explicit WindowCommandHandlers(EditorWindowModel& model) : m_model(model) {}

    void setHelpSheetPresented(bool presented);
    // The palette always opens with an empty query.
    void presentQuickOpen();
    // The sheet opens with the caret's 1-based line filled in.
    void presentGoToLine();
    void presentColumnInsert();
    void toggleFolderSearchPanel();
    void toggleWorkspacePanel();
    void toggleMarkdownPreviewPanel();
    void toggleDocumentOutlinePanel();

    // Fills the command record's fields owned by the window's life cycle (closing, reload, the
    // find bar) and by these handlers, and the tab strip's close request.
    static void install(WindowCommandTable& table, EditorWindowModel& model);

private:
    EditorWindowModel& m_model;
};

} // namespace dunmoss
