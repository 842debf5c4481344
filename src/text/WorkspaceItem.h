#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

namespace dunmoss {

// One entry of the workspace folder tree.
struct WorkspaceItem {
    // The entry's file-system path, not percent-encoded; a readable form of it (see
    // readableFileName) when the entry cannot be opened.
    QString id;
    // Empty when the entry cannot be opened.
    QUrl url;
    bool isDirectory = false;
    // A folder's listed entries (possibly none); nothing for a file.
    std::optional<QList<WorkspaceItem>> children;
    // False when a name on the entry's path is not valid UTF-8: no text form names the file, so
    // it is listed but never opened.
    bool isOpenable = true;

    friend bool operator==(const WorkspaceItem&, const WorkspaceItem&) = default;
};

// The files of a tree that can be opened, in depth-first order: each folder is replaced by its
// flattened children.
QList<WorkspaceItem> flattenWorkspaceItems(const QList<WorkspaceItem>& items);

} // namespace dunmoss
