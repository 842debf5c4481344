#pragma once

#include "platform/LaterThanRepaints.h"
#include "text/WorkspaceItem.h"
#include "tools/NavigationOperations.h"
#include "tools/QuickOpen.h"
#include "tools/QuickOpenPanel.h"
#include "window/EditorCommands.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

namespace dunmoss {

class EditorWindowModel;
class EditorWindowView;
class WelcomePanel;
class WindowCommandTable;
class WorkspacePanel;

// The palette sheet, the workspace sidebar and the welcome panel of one window: it installs the
// operations above, puts the two panels into the editor area, and shows the palette as a
// window-modal sheet while the window's flag says so. Each view is refreshed from the window's
// state after every change, and only where its values differ; the welcome panel's recent files
// after the repaint.
class NavigationViews : public QObject {
    Q_OBJECT
public:
    explicit NavigationViews(EditorWindowView& view);

    // The welcome panel's recent files, newest first: the window's own (its `recentFiles` seam)
    // unless another source is set.
    void setRecentFilesSource(std::function<QList<QUrl>()> source);

    QuickOpenPanel* quickOpenPanel() const { return m_palette; }
    WorkspacePanel* workspacePanel() const { return m_workspace; }
    WelcomePanel* welcomePanel() const { return m_welcome; }

    // Call after the recent files changed.
    void refresh();

private:
    void followWindow();
    void showRecentFiles();
    void syncPalette();
    void listPaletteEntries();

    EditorWindowView& m_view;
    EditorWindowModel& m_model;
    // The window's command record, the one the menus reach.
    std::shared_ptr<EditorCommands> m_commands;
    std::function<QList<QUrl>()> m_recentFiles;
    // Asked for at every change of the window, so at every key: left until the key is painted.
    LaterThanRepaints m_recentLater;
    WorkspacePanel* m_workspace = nullptr;
    WelcomePanel* m_welcome = nullptr;
    QPointer<QuickOpenPanel> m_palette;
    QuickOpenFileIndex m_fileIndex;
    // What the palette's list was built from.
    QString m_listedQuery;
    QList<WorkspaceItem> m_listedItems;
    std::optional<QUrl> m_listedRoot;
};

} // namespace dunmoss
