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

} // namespace dunmoss
