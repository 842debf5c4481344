#include "window/IncomingFiles.h"

#include "platform/Bookmark.h"
#include "platform/Defaults.h"
#include "platform/FileStat.h"
#include "platform/Localization.h"
#include "platform/SecurityScopedAccess.h"
#include "window/DocumentOpening.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QMimeData>
#include <QPointer>

namespace dunmoss {

namespace {

bool isDirectory(const QUrl& url) {
    if (!url.isLocalFile())
        return false;
    const std::optional<FileStatus> status = statPath(url.toLocalFile());
    return status && status->kind == FileKind::Directory;
}

} // namespace

void IncomingFiles::openURLs(const QList<QUrl>& urls) {
    if (urls.isEmpty())
        return;
    const bool welcomeBefore = m_model.state().panels.showWelcome;
    bool anyFolder = false;
    QList<OpenRequest> files;
    for (const QUrl& url : urls) {
        if (isDirectory(url)) {
            makeWorkspaceRoot(url, true);
            anyFolder = true;
            continue;
        }
        files.append(OpenRequest{url, std::nullopt, std::nullopt});
    }
    if (files.isEmpty()) {
        m_model.persistSession();
        return;
    }
    QPointer<EditorWindowModel> model(&m_model);
    m_model.opening().openDocuments(
        files, [model, anyFolder, welcomeBefore](const OpenOutcome& outcome) {
            if (!model)
                return;
            // A batch of which nothing could be opened leaves the window as it was, its reports
            // aside.
            if (!anyFolder && outcome.shown == 0) {
                model->update(
                    [&](EditorWindowState& state) { state.panels.showWelcome = welcomeBefore; });
                return;
            }
            // A file that needed the last-resort decoding keeps its warning although later files
            // opened cleanly.
            if (!outcome.fallbacks.isEmpty())
                model->setFindMessage(fallbackDecodingWarning(outcome.fallbacks));
            model->persistSession();
        });
}

void IncomingFiles::openDroppedURLs(const QList<QUrl>& urls) {
    QList<OpenRequest> files;
    for (const QUrl& url : urls) {
        if (isDirectory(url)) {
            makeWorkspaceRoot(url, false);
            continue;
        }
        files.append(OpenRequest{url, std::nullopt, std::nullopt});
    }
    if (files.isEmpty())
        return;
    QPointer<EditorWindowModel> model(&m_model);
    m_model.opening().openDocuments(files, [model](const OpenOutcome& outcome) {
        if (!model || outcome.shown == 0)
            return;
        model->setFindMessage(
            outcome.fallbacks.isEmpty() ? QString() : fallbackDecodingWarning(outcome.fallbacks));
        model->persistSession();
    });
}

void IncomingFiles::makeWorkspaceRoot(const QUrl& folder, bool storeBookmark) {
    // A dropped folder opens beside whatever the window shows, the welcome panel included.
    if (storeBookmark)
        m_model.update([](EditorWindowState& state) { state.panels.showWelcome = false; });
    if (storeBookmark) {
        // A folder whose bookmark cannot be made still becomes the root for this run; the one
        // stored before stays for the next start.
        const QByteArray bookmark = makeBookmark(folder.toLocalFile());
        if (!bookmark.isEmpty())
            m_model.defaults().setValue(kWorkspaceRootBookmarkKey, bookmark);
    }
    m_model.update([&](EditorWindowState& state) {
        state.workspace.workspaceRootURL = folder;
        // Only a folder handed over by the system is held open as the workspace's access; the
        // access bracket of this system always starts.
        if (storeBookmark && state.workspace.activeWorkspaceAccessURL != folder &&
            SecurityScopedAccess(folder).started())
            state.workspace.activeWorkspaceAccessURL = folder;
    });
    if (m_model.seams().refreshWorkspace)
        m_model.seams().refreshWorkspace();
    m_model.update([](EditorWindowState& state) { state.workspace.showWorkspace = true; });
}

QList<QUrl> IncomingFiles::droppedFileURLs(const QMimeData& data) {
    QList<QUrl> urls;
    if (!data.hasUrls())
        return urls;
    for (const QUrl& url : data.urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            urls.append(url);
    return urls;
}

} // namespace dunmoss
