#include "text/FolderWalk.h"

#include "platform/FileNames.h"

#include <QFile>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace dunmoss {

namespace {

enum class EntryKind { Regular, Directory, Other };

struct Entry {
    QByteArray name;
    EntryKind kind = EntryKind::Other;
};

// A folder of the walk. Paths are kept as the file system's bytes, so that a folder whose name
// is not valid UTF-8 is still walked: its files are reported, never visited.
struct Frame {
    QByteArray path;
    bool named = true; // every name on the path is valid UTF-8
    std::vector<Entry> entries;
    size_t next = 0;
};

EntryKind kindOf(int dirFd, const dirent* entry) {
    switch (entry->d_type) {
    case DT_REG:
        return EntryKind::Regular;
    case DT_DIR:
        return EntryKind::Directory;
    case DT_UNKNOWN:
        break;
    default:
        return EntryKind::Other;
    }
    // Some file systems do not fill in the type; ask without following a link.
    struct stat attributes {};
    if (::fstatat(dirFd, entry->d_name, &attributes, AT_SYMLINK_NOFOLLOW) != 0)
        return EntryKind::Other;
    if (S_ISREG(attributes.st_mode))
        return EntryKind::Regular;
    if (S_ISDIR(attributes.st_mode))
        return EntryKind::Directory;
    return EntryKind::Other;
}

FileIdentity identityOf(const struct stat& attributes) {
    return FileIdentity{quint64(attributes.st_dev), quint64(attributes.st_ino)};
}

bool excluded(const FolderWalkOptions& options, const struct stat& attributes) {
    return options.excludesFolder && options.excludesFolder(identityOf(attributes));
}

// The folder's entries in the file system's order, without "." and "..". The folder is opened
// without following a link unless it is the walk's own root, which the user chose. An excluded
// folder has none.
std::vector<Entry> listFolder(const QByteArray& path, bool isRoot,
                              const FolderWalkOptions& options) {
    std::vector<Entry> entries;
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (isRoot ? 0 : O_NOFOLLOW);
    const int fd = ::open(path.constData(), flags);
    if (fd < 0)
        return entries;
    struct stat attributes {};
    if (::fstat(fd, &attributes) != 0 || excluded(options, attributes)) {
        ::close(fd);
        return entries;
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return entries;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue; // hidden, and "." and ".."
        entries.push_back(Entry{QByteArray(entry->d_name), kindOf(::dirfd(dir), entry)});
    }
    ::closedir(dir);
    return entries;
}

// Whether the root lies inside an excluded folder (or is one): its resolved path's folders are
// asked from the top down.
bool rootIsExcluded(const QByteArray& root, const FolderWalkOptions& options) {
    if (!options.excludesFolder)
        return false;
    char resolved[PATH_MAX];
    if (!::realpath(root.constData(), resolved))
        return false;
    const QByteArray path(resolved);
    for (qsizetype end = path.indexOf('/', 1);; end = path.indexOf('/', end + 1)) {
        const QByteArray folder = end < 0 ? path : path.left(end);
        struct stat attributes {};
        if (::stat(folder.constData(), &attributes) == 0 && excluded(options, attributes))
            return true;
        if (end < 0)
            return false;
    }
}

QByteArray childPath(const QByteArray& folder, const QByteArray& name) {
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

} // namespace

const QSet<QString>& folderSearchSkippedDirectoryNames() {
    static const QSet<QString> names{QStringLiteral(".git"),   QStringLiteral(".svn"),
                                     QStringLiteral(".hg"),    QStringLiteral("node_modules"),
                                     QStringLiteral(".build"), QStringLiteral("DerivedData")};
    return names;
}

QString folderPathOfURL(const QUrl& folderURL) {
    QString path = folderURL.toLocalFile();
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

void walkFolderFiles(const QString& folderPath, const CancellationCheck& cancelled,
                     const std::function<bool(const QString& filePath)>& visit,
                     const FolderWalkOptions& options) {
    if (folderPath.isEmpty())
        return;
    const QByteArray root = QFile::encodeName(folderPath);
    if (rootIsExcluded(root, options))
        return;
    // One folder is open at a time: each is read whole and closed before its entries are
    // visited, so a deep tree cannot run out of file descriptors.
    std::vector<Frame> stack;
    stack.push_back(Frame{root, true, listFolder(root, true, options)});
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.entries.size()) {
            stack.pop_back();
            continue;
        }
        if (isCancelled(cancelled))
            return;
        const Entry entry = std::move(frame.entries[frame.next++]);
        const QByteArray path = childPath(frame.path, entry.name);
        const bool named = frame.named && isValidUtf8Name(entry.name);
        if (entry.kind == EntryKind::Directory) {
            if (!folderSearchSkippedDirectoryNames().contains(QFile::decodeName(entry.name))) {
                Frame child{path, named, listFolder(path, false, options)};
                stack.push_back(std::move(child));
            }
        } else if (entry.kind == EntryKind::Regular) {
            if (!named) {
                if (options.unnamedFile)
                    options.unnamedFile(readableFileName(path));
            } else if (!visit(QFile::decodeName(path))) {
                return;
            }
        }
    }
}

} // namespace dunmoss
