#pragma once

#include "text/WorkspaceItem.h"

#include <QUrl>
#include <functional>

namespace dunmoss {

class EditorWindowModel;

// The window's workspace: choosing its root folder, holding access to it, opening its files and
// closing the sidebar. The tree itself is listed by WorkspaceListing, reached through the
// window's `refreshWorkspace` seam. A chosen root is remembered for the next start under the
// workspace bookmark key; answers of the folder panel may come later, so the window is looked
// up again when one arrives.
class Workspace {
public:
    explicit Workspace(EditorWindowModel& model) : m_model(model) {}

    // The folder panel; a chosen folder becomes the root, is remembered, held open, shown and
    // listed. A cancelled panel changes nothing.
    void openWorkspace();
    // The steps after the panel, for a folder already chosen.
    void openWorkspaceRoot(const QUrl& folder);
    void refreshWorkspace();
    // Makes the folder the one the window holds long-lived access on.
    void activateWorkspaceAccess(const QUrl& url);
    // A file of the tree opens in a tab, and `shown` runs once its tab is shown; a folder does
    // nothing.
    void openWorkspaceItem(const WorkspaceItem& item, std::function<void()> shown = {});
    // Hides the sidebar; root, access and tree stay.
    void closeWorkspacePanel();
    // Once per window at start: the stored root, when it still resolves, is shown and listed. A
    // stored root that no longer resolves is left as it is and nothing is shown.
    void restoreWorkspaceIfNeeded();

private:
    EditorWindowModel& m_model;
};

// Whether the file lies in the folder or is the folder, comparing cleaned paths by whole
// components.
bool isPathInsideFolder(const QUrl& file, const QUrl& folder);
// Whether the URL names an existing regular file or folder; false when it cannot be read.
bool isRegularFileOrDirectory(const QUrl& url);

} // namespace dunmoss
