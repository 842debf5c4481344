#pragma once

#include <QList>
#include <QUrl>

class QMimeData;

namespace dunmoss {

class EditorWindowModel;

// Files and folders that reach a window from outside its own open panel: dropped on it, or handed
// to the application by the system. A folder becomes the window's workspace root; every other
// item goes through the window's open-document operation, which reports what it cannot open, so
// no path handed over is dropped without a word.
class IncomingFiles {
public:
    inline static const QString kWorkspaceRootBookmarkKey =
        QStringLiteral("workspace.root.bookmark.v1");

    explicit IncomingFiles(EditorWindowModel& model) : m_model(model) {}

    // The system's batch, in order: each folder becomes the workspace root (the last one wins) and
    // its bookmark is stored for the next start; each file opens, the last one ends up active.
    void openURLs(const QList<QUrl>& urls);
    // Dropped items, in order, saving the session once at the end: a folder becomes the
    // workspace root for this run only (its bookmark is not stored); anything else is opened as
    // a document.
    void openDroppedURLs(const QList<QUrl>& urls);
    void openDroppedURL(const QUrl& url) { openDroppedURLs({url}); }

    // The local files and folders a drop carries; empty when the drop holds none, and the window
    // then refuses it.
    static QList<QUrl> droppedFileURLs(const QMimeData& data);

private:
    void makeWorkspaceRoot(const QUrl& folder, bool storeBookmark);

    EditorWindowModel& m_model;
};

} // namespace dunmoss
