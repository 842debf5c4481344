#include "tools/WorkspaceListing.h"

#include "platform/Localization.h"
#include "platform/SecurityScopedAccess.h"
#include "text/WorkspaceTree.h"
#include "window/EditorWindowModel.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

namespace dunmoss {

WorkspaceListing::WorkspaceListing(EditorWindowModel& model) : QObject(&model), m_model(model) {}

WorkspaceListing::~WorkspaceListing() {
    cancelRunning();
}

WorkspaceListing& WorkspaceListing::of(EditorWindowModel& model) {
    if (auto* listing = model.findChild<WorkspaceListing*>(QString(), Qt::FindDirectChildrenOnly))
        return *listing;
    return *new WorkspaceListing(model);
}

void WorkspaceListing::cancelRunning() {
    if (m_cancel)
        m_cancel->store(true);
    m_cancel.reset();
}

void WorkspaceListing::refreshWorkspace() {
    cancelRunning();
    const quint64 generation = m_requests.next();
    const std::optional<QUrl> root = m_model.state().workspace.workspaceRootURL;
    if (!root) {
        m_model.update([](EditorWindowState& state) {
            state.workspace.workspaceItems.clear();
            state.workspace.workspaceMessage = localizedString(QStringLiteral("workspace.empty"));
            state.workspace.isListingWorkspace = false;
        });
        emit listed();
        return;
    }
    m_model.update([](EditorWindowState& state) {
        state.workspace.workspaceMessage = localizedString(QStringLiteral("workspace.listing"));
        state.workspace.isListingWorkspace = true;
    });
    // A listing takes its own access only while the window holds none for the workspace.
    const bool needsOwnAccess = !m_model.state().workspace.activeWorkspaceAccessURL.has_value();
    auto cancel = std::make_shared<std::atomic_bool>(false);
    m_cancel = cancel;
    const QPointer<WorkspaceListing> self = this;
    const QUrl folder = *root;
    QThreadPool::globalInstance()->start([self, cancel, folder, needsOwnAccess, generation] {
        std::optional<SecurityScopedAccess> access;
        if (needsOwnAccess)
            access.emplace(folder);
        const QList<WorkspaceItem> items =
            loadWorkspaceTree(folder, 0, [cancel] { return cancel->load(); });
        access.reset();
        if (cancel->load())
            return;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, generation, folder, items] {
                if (self)
                    self->deliver(generation, folder, items);
            },
            Qt::QueuedConnection);
    });
}

void WorkspaceListing::deliver(quint64 generation, const QUrl& root,
                               const QList<WorkspaceItem>& items) {
    if (!m_requests.isLatest(generation))
        return;
    m_cancel.reset();
    if (m_model.state().workspace.workspaceRootURL != root) {
        // The root went another way without a listing of its own: nothing is under way now.
        m_model.update(
            [](EditorWindowState& state) { state.workspace.isListingWorkspace = false; });
        return;
    }
    m_model.update([&items](EditorWindowState& state) {
        state.workspace.workspaceItems = items;
        state.workspace.workspaceMessage = localizedCount(items.size(), kCountedItems);
        state.workspace.isListingWorkspace = false;
    });
    emit listed();
}

} // namespace dunmoss
