#include "chrome/NavigationViews.h"

#include "chrome/EditorArea.h"
#include "chrome/EditorWindowView.h"
#include "chrome/WindowLayout.h"
#include "text/EditorTheme.h"
#include "tools/QuickOpen.h"
#include "tools/QuickOpenPanel.h"
#include "tools/Welcome.h"
#include "tools/WelcomePanel.h"
#include "tools/Workspace.h"
#include "tools/WorkspaceListing.h"
#include "tools/WorkspacePanel.h"
#include "window/EditorWindowModel.h"
#include "window/WindowCommandTable.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>

namespace dunmoss {

NavigationViews::NavigationViews(EditorWindowView& view)
    : QObject(&view), m_view(view), m_model(view.model()),
      m_commands(std::make_shared<EditorCommands>(view.commandTable().makeWindowCommands())),
      m_recentLater([this] { showRecentFiles(); }) {
    installNavigationOperations(view.commandTable(), m_model);
    // In its place in the start-up order, after the session (interface tests skip it there).
    m_model.seams().restoreWorkspaceIfNeeded = [this] {
        Workspace(m_model).restoreWorkspaceIfNeeded();
    };

    EditorArea* area = view.windowLayout().editorArea();
    m_workspace = new WorkspacePanel;
    m_workspace->openWorkspace = [this] {
        invokeCommand(*m_commands, &EditorCommands::openWorkspace);
    };
    m_workspace->refresh = [this] { Workspace(m_model).refreshWorkspace(); };
    m_workspace->openItem = [this](const WorkspaceItem& item) {
        // The opened file takes the keyboard, unless the person went elsewhere while it loaded.
        const QPointer<WorkspacePanel> sidebar = m_workspace;
        Workspace(m_model).openWorkspaceItem(item, [this, sidebar] {
            QWidget* focus = QApplication::focusWidget();
            if (sidebar && (!focus || focus == sidebar || sidebar->isAncestorOf(focus)))
                m_view.focusActiveEditor();
        });
    };
    m_workspace->close = [this] { Workspace(m_model).closeWorkspacePanel(); };
    area->setPanel(EditorAreaPanel::Workspace, m_workspace);

    m_welcome = new WelcomePanel;
    const auto welcome = [this] { return Welcome(m_model, *m_commands); };
    m_welcome->newDocument = [welcome] { welcome().newDocument(); };
    m_welcome->openDocument = [welcome] { welcome().openDocument(); };
    m_welcome->openWorkspace = [welcome] { welcome().openWorkspace(); };
    m_welcome->commandPalette = [welcome] { welcome().openCommandPalette(); };
    m_welcome->textToolbox = [welcome] { welcome().openTextToolbox(); };
    m_welcome->openRecent = [welcome](const QUrl& url) { welcome().openRecentFile(url); };
    m_welcome->close = [welcome] { welcome().closeWelcomePanel(); };
    m_welcome->startTyping = [this, welcome](const QKeyEvent& key) {
        welcome().closeWelcomePanel();
        m_view.focusActiveEditor();
        if (QWidget* editor = QApplication::focusWidget(); editor && editor != m_welcome) {
            QKeyEvent again(key.type(), key.key(), key.modifiers(), key.text(), key.isAutoRepeat(),
                            key.count());
            QApplication::sendEvent(editor, &again);
        }
    };
    area->setPanel(EditorAreaPanel::Welcome, m_welcome);

    connect(&m_model, &EditorWindowModel::changed, this, [this] {
        followWindow();
        m_recentLater.request();
    });
    refresh();
}

void NavigationViews::setRecentFilesSource(std::function<QList<QUrl>()> source) {
    m_recentFiles = std::move(source);
    refresh();
}

void NavigationViews::refresh() {
    followWindow();
    showRecentFiles();
}

void NavigationViews::followWindow() {
    const EditorWindowState& state = m_model.state();
    if (state.workspace.showWorkspace)
        m_workspace->display(state.workspace.workspaceRootURL, state.workspace.workspaceItems,
                             state.workspace.workspaceMessage, state.workspace.isListingWorkspace);
    syncPalette();
}

void NavigationViews::showRecentFiles() {
    // Recent files change only with a change of the window (an open or a save).
    const auto& recent = m_recentFiles ? m_recentFiles : m_model.seams().recentFiles;
    m_welcome->setRecentFiles(recent ? recent() : QList<QUrl>{});
}

void NavigationViews::syncPalette() {
    const EditorWindowState& state = m_model.state();
    if (!state.panels.showQuickOpen) {
        if (m_palette) {
            QuickOpenPanel* palette = m_palette;
            m_palette = nullptr;
            palette->close();
        }
        return;
    }
    if (!m_palette) {
        auto* palette = new QuickOpenPanel(&m_view);
        palette->setAttribute(Qt::WA_DeleteOnClose);
        palette->setWindowModality(Qt::WindowModal);
        palette->queryEdited = [this](const QString& query) {
            QuickOpen(m_model, *m_commands, &m_fileIndex).setQuery(query);
        };
        palette->openEntry = [this](const QuickOpenEntry& entry) {
            QuickOpen(m_model, *m_commands, &m_fileIndex).performQuickOpenEntry(entry);
        };
        // Escape or the close button: the flag follows, the query stays.
        connect(palette, &QDialog::rejected, this, [this, palette] {
            if (m_palette == palette) {
                m_palette = nullptr;
                QuickOpen(m_model, *m_commands, &m_fileIndex).dismissQuickOpen();
            }
        });
        m_palette = palette;
        palette->setQuery(state.panels.quickOpenQuery);
        listPaletteEntries();
        palette->open();
        return;
    }
    m_palette->setQuery(state.panels.quickOpenQuery);
    // Other changes of the window leave the list as it is.
    if (state.panels.quickOpenQuery == m_listedQuery &&
        state.workspace.workspaceItems.isSharedWith(m_listedItems) &&
        state.workspace.workspaceRootURL == m_listedRoot)
        return;
    listPaletteEntries();
}

void NavigationViews::listPaletteEntries() {
    const EditorWindowState& state = m_model.state();
    m_listedQuery = state.panels.quickOpenQuery;
    m_listedItems = state.workspace.workspaceItems;
    m_listedRoot = state.workspace.workspaceRootURL;
    m_palette->setEntries(QuickOpen(m_model, *m_commands, &m_fileIndex).entries());
}

} // namespace dunmoss
