#pragma once

#include "text/FolderWalk.h"
#include "text/WorkspaceItem.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QUrl>
#include <optional>

namespace dunmoss {

class Defaults;

inline constexpr const char* kWorkspaceRootBookmarkKey = "workspace.root.bookmark.v1";
// Listings stop at this depth below the root (the root's own entries are depth 0).
inline constexpr int kWorkspaceTreeDepthLimit = 6;
// Entries kept per folder, after sorting.
inline constexpr int kWorkspaceFolderEntryLimit = 300;

// Entry names the workspace tree never lists.
const QSet<QString>& workspaceSkippedNames();

// The workspace root from its stored bookmark; nothing when none is stored or it no longer
// resolves (the stored value is left alone). A stale bookmark is replaced by a fresh one.
std::optional<QUrl> restoreWorkspaceRoot(Defaults& defaults);
std::optional<QUrl> restoreWorkspaceRoot();

// A folder's entries, folders first and then by name ignoring case, at most 300, each folder
// with its own listing one level deeper (none from depth 6 on). Hidden entries and skipped
// names are left out; symbolic links are listed as files and never entered. An entry whose
// name (or a folder's above it) is not valid UTF-8 is listed under a readable form of its name
// and cannot be opened (see WorkspaceItem::isOpenable). An unreadable
// folder gives no entries. The cancellation check runs before each entry; a cancelled listing
// returns what it has.
QList<WorkspaceItem> loadWorkspaceTree(const QUrl& folderURL, int depth,
                                       const CancellationCheck& cancelled = {});

// Whether entry a sorts before entry b: a folder before a file, otherwise by file name in the
// locale's case-insensitive order.
bool workspaceEntryPrecedes(const QUrl& a, const QUrl& b);

} // namespace dunmoss
