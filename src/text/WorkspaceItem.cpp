#include "text/WorkspaceItem.h"

namespace dunmoss {

namespace {

void appendFiles(const QList<WorkspaceItem>& items, QList<WorkspaceItem>& files) {
    for (const WorkspaceItem& item : items) {
        if (!item.isDirectory) {
            if (item.isOpenable)
                files.append(item);
        } else if (item.children)
            appendFiles(*item.children, files);
    }
}

} // namespace

QList<WorkspaceItem> flattenWorkspaceItems(const QList<WorkspaceItem>& items) {
    QList<WorkspaceItem> files;
    appendFiles(items, files);
    return files;
}

} // namespace dunmoss
