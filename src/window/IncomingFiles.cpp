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
    const SessionSaveBatch batch(m_model);
    const bool welcomeBefore = m_model.state().panels.showWelcome;
    QList<QUrl> fallbacks;
    bool anyOpened = false;
    for (const QUrl& url : urls) {
        if (isDirectory(url)) {
            makeWorkspaceRoot(url, true);
            anyOpened = true;
            continue;
        }
        if (m_model.opening().openDocument(url, std::nullopt, std::nullopt, false))
            fallbacks.append(url);
        // An opened file's tab is the active one; a file that could not be opened was reported.
        const EditorTab& active = activeTab(m_model.state());
        anyOpened = anyOpened || (active.fileURL && isSameFileLocation(active.fileURL, url));
    }
    // A batch of which nothing could be opened leaves the window as it was, its reports aside.
    if (!anyOpened) {
        m_model.update([&](EditorWindowState& state) { state.panels.showWelcome = welcomeBefore; });
        return;
    }
    // A file that needed the last-resort decoding keeps its warning although later files opened
    // cleanly.
    if (!fallbacks.isEmpty())
        m_model.setFindMessage(fallbackDecodingWarning(fallbacks));
    m_model.persistSession();
}

void IncomingFiles::openDroppedURLs(const QList<QUrl>& urls) {
    const SessionSaveBatch batch(m_model);
    for (const QUrl& url : urls) {
        if (isDirectory(url)) {
            makeWorkspaceRoot(url, false);
            continue;
        }
        m_model.opening().openDocument(url, std::nullopt, std::nullopt, true);
    }
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
