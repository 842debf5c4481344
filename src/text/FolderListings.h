#pragma once

#include "platform/FileStat.h"

#include <QByteArray>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <vector>

namespace dunmoss {

// Runs a short task soon on another thread.
using RunAhead = std::function<void(std::function<void()>)>;

struct FolderNode;

enum class FolderEntryKind { Regular, Directory, Other };

// An entry of a listed folder. A folder the walk may enter carries its node.
struct FolderEntry {
    QByteArray name;
    FolderEntryKind kind = FolderEntryKind::Other;
    std::shared_ptr<FolderNode> folder;
};

// A folder of a walk. Paths are kept as the file system's bytes, so that a folder whose name is
// not valid UTF-8 is still walked: its files are reported, never visited.
struct FolderNode {
    QByteArray path;
    bool named = true; // every name on the path is valid UTF-8
    bool isRoot = false;

    // Once listed: the folder's identity when it could be opened, and its entries in the file
    // system's order, hidden ones left out.
    std::optional<FileIdentity> identity;
    std::vector<FolderEntry> entries;

    // Kept by FolderListings under its lock.
    enum class Progress { Waiting, Listing, Listed } progress = Progress::Waiting;
    bool queued = false;      // in the frontier, at `place`
    bool listedAhead = false; // listed by another thread, not yet taken by the walk
    bool forgotten = false;   // the walk will not enter it
    std::list<std::shared_ptr<FolderNode>>::iterator place;
};

inline QByteArray folderChildPath(const QByteArray& folder, const QByteArray& name) {
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

// Lists the folders of one walk. Given a way to run tasks on other threads, it lists folders
// there ahead of the walk, the nearest in walk order first and a bounded number ahead, so that
// the walk itself seldom waits on the disk; without one, each folder is listed when asked for.
// Used by one walking thread; the tasks it hands out outlive it harmlessly.
class FolderListings {
public:
    explicit FolderListings(RunAhead runAhead);
    ~FolderListings();

    FolderListings(const FolderListings&) = delete;
    FolderListings& operator=(const FolderListings&) = delete;

    // Returns once the folder is listed: ahead of time, or now on this thread when no other
    // thread has begun it. Its folders are then queued to be listed ahead.
    void list(FolderNode& folder);

    // The walk will not enter this listed folder: what was queued or listed below it no
    // longer counts.
    void forget(FolderNode& folder);

    struct State;

private:
    std::shared_ptr<State> m_state;
};

} // namespace dunmoss
