#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

namespace dunmoss {

// One entry of the workspace folder tree.
struct WorkspaceItem {
    // The entry's file-system path, not percent-encoded.
    QString id;
    QUrl url;
    bool isDirectory = false;
    // A folder's listed entries (possibly none); nothing for a file.
    std::optional<QList<WorkspaceItem>> children;

    friend bool operator==(const WorkspaceItem&, const WorkspaceItem&) = default;
};

// The files of a tree in depth-first order: each folder is replaced by its flattened children.
QList<WorkspaceItem> flattenWorkspaceItems(const QList<WorkspaceItem>& items);

} // namespace dunmoss
