#pragma once

#include "platform/LatestRequest.h"
#include "text/WorkspaceItem.h"

#include <QObject>
#include <QUrl>
#include <atomic>
#include <memory>

namespace dunmoss {

class EditorWindowModel;

// Lists the workspace root off the main thread, so that a root as large as the tree's limits
// allow never freezes the window. A new listing cancels the running one, and only the newest
// listing's result reaches the window; a result for a root that was replaced meanwhile is
// dropped. Owned by the window model (its child), so no result arrives after the window went.
class WorkspaceListing : public QObject {
    Q_OBJECT
public:
    explicit WorkspaceListing(EditorWindowModel& model);
    ~WorkspaceListing() override;

    // Rebuilds `workspaceItems` and `workspaceMessage` from `workspaceRootURL`. Without a root
    // the tree empties at once; otherwise the message says the listing is under way until the
    // tree arrives.
    void refreshWorkspace();
    bool isListing() const { return m_cancel != nullptr; }

    // The listing of the window model, made on first use.
    static WorkspaceListing& of(EditorWindowModel& model);

signals:
    // The newest listing arrived in the window's state.
    void listed();

private:
    void cancelRunning();
    void deliver(quint64 generation, const QUrl& root, const QList<WorkspaceItem>& items);

    EditorWindowModel& m_model;
    LatestRequest m_requests;
    std::shared_ptr<std::atomic_bool> m_cancel;
};

} // namespace dunmoss
