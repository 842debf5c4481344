#include "text/FolderListings.h"

#include "platform/FileNames.h"
#include "text/FolderWalk.h"

#include <QFile>
#include <cerrno>
#include <condition_variable>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace dunmoss {

namespace {

using Progress = FolderNode::Progress;

// Folders listed ahead and not yet taken by the walk, at most; enough to keep every core fed
// with files without listing far into a tree a search may stop in.
constexpr int kFoldersAhead = 64;
// Threads listing at once: listing is cheap, and the files are what needs the cores.
constexpr int kListers = 2;

FolderEntryKind kindOf(int dirFd, const dirent64* entry) {
    switch (entry->d_type) {
    case DT_REG:
        return FolderEntryKind::Regular;
    case DT_DIR:
        return FolderEntryKind::Directory;
    case DT_UNKNOWN:
        break;
    default:
        return FolderEntryKind::Other;
    }
    // Some file systems do not fill in the type; ask without following a link.
    struct stat attributes {};
    if (::fstatat(dirFd, entry->d_name, &attributes, AT_SYMLINK_NOFOLLOW) != 0)
        return FolderEntryKind::Other;
    if (S_ISREG(attributes.st_mode))
        return FolderEntryKind::Regular;
    if (S_ISDIR(attributes.st_mode))
        return FolderEntryKind::Directory;
    return FolderEntryKind::Other;
}

// Reads the folder's identity and entries. The folder is opened without following a link
// unless it is the walk's own root, which the user chose. Safe on any thread.
void listFolder(FolderNode& folder) {
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (folder.isRoot ? 0 : O_NOFOLLOW);
    const int fd = ::open(folder.path.constData(), flags);
    if (fd < 0)
        return;
    struct stat attributes {};
    if (::fstat(fd, &attributes) != 0) {
        ::close(fd);
        return;
    }
    folder.identity = FileIdentity{quint64(attributes.st_dev), quint64(attributes.st_ino)};
    // The entries are read straight from the kernel: a directory stream would cost three more
    // system calls per folder.
    alignas(dirent64) char buffer[32768];
    for (;;) {
        const ssize_t got = ::getdents64(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        for (ssize_t at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            at += entry->d_reclen;
            if (entry->d_name[0] == '.')
                continue; // hidden, and "." and ".."
            FolderEntry listed{QByteArray(entry->d_name), kindOf(fd, entry), {}};
            if (listed.kind == FolderEntryKind::Directory &&
                !folderSearchSkippedDirectoryNames().contains(QFile::decodeName(listed.name))) {
                listed.folder = std::make_shared<FolderNode>();
                listed.folder->path = folderChildPath(folder.path, listed.name);
                listed.folder->named = folder.named && isValidUtf8Name(listed.name);
            }
            folder.entries.push_back(std::move(listed));
        }
    }
    ::close(fd);
}

} // namespace

struct FolderListings::State {
    RunAhead runAhead;
    std::mutex mutex;
    std::condition_variable listed;
    // Folders whose parent is listed and who are not, in walk order.
    std::list<std::shared_ptr<FolderNode>> frontier;
    int waiting = 0; // frontier folders no thread lists yet
    int ahead = 0;   // folders listed ahead, not yet taken by the walk
    int listers = 0; // tasks handed out and not yet done
    bool closed = false;

    // The folder's listing is in: its folders take its place in the frontier.
    void complete(FolderNode& folder, bool byLister) {
        folder.progress = Progress::Listed;
        auto at = folder.queued ? frontier.erase(folder.place) : frontier.end();
        folder.queued = false;
        if (!folder.forgotten) {
            folder.listedAhead = byLister;
            ahead += byLister;
            for (const FolderEntry& entry : folder.entries) {
                if (!entry.folder)
                    continue;
                entry.folder->place = frontier.insert(at, entry.folder);
                entry.folder->queued = true;
                ++waiting;
            }
        }
        listed.notify_all();
    }

    void forget(FolderNode& folder) {
        folder.forgotten = true;
        switch (folder.progress) {
        case Progress::Waiting:
            if (folder.queued) {
                frontier.erase(folder.place);
                folder.queued = false;
                --waiting;
            }
            break;
        case Progress::Listing:
            break; // its completion queues nothing
        case Progress::Listed:
            if (folder.listedAhead) {
                folder.listedAhead = false;
                --ahead;
            }
            for (const FolderEntry& entry : folder.entries)
                if (entry.folder)
                    forget(*entry.folder);
            break;
        }
    }

    bool wantsLister() const {
        return !closed && runAhead && listers < kListers && waiting > listers &&
               ahead < kFoldersAhead;
    }

    // Under the lock.
    void startListers(const std::shared_ptr<State>& self) {
        while (wantsLister()) {
            ++listers;
            runAhead([self] { self->listAhead(self); });
        }
    }

    // A lister's turn: the nearest waiting folders until none waits or enough are ahead.
    void listAhead(const std::shared_ptr<State>& self) {
        std::unique_lock lock(mutex);
        while (!closed && waiting > 0 && ahead < kFoldersAhead) {
            auto it = frontier.begin();
            while ((*it)->progress != Progress::Waiting)
                ++it;
            const std::shared_ptr<FolderNode> folder = *it;
            folder->progress = Progress::Listing;
            --waiting;
            lock.unlock();
            try {
                listFolder(*folder);
            } catch (...) {
                // Left for the walk, which lists it itself and so meets the error there.
                lock.lock();
                folder->entries.clear();
                folder->identity.reset();
                folder->progress = Progress::Waiting;
                ++waiting;
                listed.notify_all();
                break;
            }
            lock.lock();
            complete(*folder, true);
            startListers(self);
        }
        --listers;
    }
};

FolderListings::FolderListings(RunAhead runAhead) : m_state(std::make_shared<State>()) {
    m_state->runAhead = std::move(runAhead);
}

FolderListings::~FolderListings() {
    const std::lock_guard lock(m_state->mutex);
    m_state->closed = true;
}

void FolderListings::list(FolderNode& folder) {
    State& state = *m_state;
    if (!state.runAhead) {
        listFolder(folder);
        return;
    }
    std::unique_lock lock(state.mutex);
    for (;;) {
        if (folder.progress == Progress::Listed) {
            if (folder.listedAhead) {
                folder.listedAhead = false;
                --state.ahead;
            }
            break;
        }
        if (folder.progress == Progress::Waiting) {
            folder.progress = Progress::Listing;
            if (folder.queued)
                --state.waiting;
            lock.unlock();
            listFolder(folder);
            lock.lock();
            state.complete(folder, false);
            break;
        }
        state.listed.wait(lock);
    }
    state.startListers(m_state);
}

void FolderListings::forget(FolderNode& folder) {
    if (!m_state->runAhead)
        return;
    const std::lock_guard lock(m_state->mutex);
    m_state->forget(folder);
}

} // namespace dunmoss
