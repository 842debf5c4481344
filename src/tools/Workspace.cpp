#include "tools/Workspace.h"

#include "platform/Bookmark.h"
#include "platform/Defaults.h"
#include "platform/FileStat.h"
#include "platform/Localization.h"
#include "platform/SecurityScopedAccess.h"
#include "text/WorkspaceTree.h"
#include "window/DocumentOpening.h"
#include "window/EditorWindowModel.h"
#include "window/WindowInteraction.h"

#include <QDir>
#include <QPointer>

namespace dunmoss {

void Workspace::openWorkspace() {
    WindowInteraction* person = m_model.interaction();
    if (!person)
        return;
    const QPointer<EditorWindowModel> window = &m_model;
    // The panel starts in the workspace open now, if any.
    person->chooseFolder(FolderPanelOptions{localizedString(QStringLiteral("panel.folder.message")),
                                            false, m_model.state().workspace.workspaceRootURL},
                         [window](std::optional<QUrl> folder) {
                             if (window && folder)
                                 Workspace(*window).openWorkspaceRoot(*folder);
                         });
}

void Workspace::openWorkspaceRoot(const QUrl& folder) {
    m_model.update([&](EditorWindowState& state) { state.workspace.workspaceRootURL = folder; });
    // A folder whose bookmark cannot be made is still opened for this run; the bookmark stored
    // before stays for the next start.
    const QByteArray bookmark = makeBookmark(folder.toLocalFile());
    if (!bookmark.isEmpty())
        m_model.defaults().setValue(QString::fromLatin1(kWorkspaceRootBookmarkKey), bookmark);
    activateWorkspaceAccess(folder);
    m_model.update([](EditorWindowState& state) { state.workspace.showWorkspace = true; });
    refreshWorkspace();
}

void Workspace::refreshWorkspace() {
    if (m_model.seams().refreshWorkspace)
        m_model.seams().refreshWorkspace();
}

void Workspace::activateWorkspaceAccess(const QUrl& url) {
    if (m_model.state().workspace.activeWorkspaceAccessURL == url)
        return;
    // The access bracket grants nothing on this system, so giving the old one up is only
    // forgetting it.
    const bool started = SecurityScopedAccess(url).started();
    m_model.update([&](EditorWindowState& state) {
        state.workspace.activeWorkspaceAccessURL.reset();
        if (started)
            state.workspace.activeWorkspaceAccessURL = url;
    });
}

void Workspace::openWorkspaceItem(const WorkspaceItem& item, std::function<void()> shown) {
    if (item.isDirectory || !item.isOpenable)
        return;
    m_model.opening().openDocument(item.url, std::nullopt, std::nullopt, true, std::move(shown));
}

void Workspace::closeWorkspacePanel() {
    m_model.update([](EditorWindowState& state) { state.workspace.showWorkspace = false; });
}

void Workspace::restoreWorkspaceIfNeeded() {
    if (m_model.state().decisions.didRestoreWorkspace)
        return;
    m_model.update([](EditorWindowState& state) { state.decisions.didRestoreWorkspace = true; });
    const std::optional<QUrl> root = restoreWorkspaceRoot(m_model.defaults());
    if (!root)
        return;
    m_model.update([&](EditorWindowState& state) { state.workspace.workspaceRootURL = root; });
    activateWorkspaceAccess(*root);
    m_model.update([](EditorWindowState& state) { state.workspace.showWorkspace = true; });
    refreshWorkspace();
}

bool isPathInsideFolder(const QUrl& file, const QUrl& folder) {
    const QString filePath = QDir::cleanPath(file.path());
    QString folderPath = QDir::cleanPath(folder.path());
    if (filePath == folderPath)
        return true;
    if (!folderPath.endsWith(QLatin1Char('/')))
        folderPath += QLatin1Char('/');
    return filePath.startsWith(folderPath);
}

bool isRegularFileOrDirectory(const QUrl& url) {
    if (!url.isLocalFile())
        return false;
    const std::optional<FileStatus> status = statPath(url.toLocalFile());
    return status && (status->kind == FileKind::Regular || status->kind == FileKind::Directory);
}

} // namespace dunmoss
