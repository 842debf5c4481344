#include "text/FolderWalk.h"

#include <QFile>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace dunmoss {

namespace {

enum class EntryKind { Regular, Directory, Other };

struct Entry {
    QString name;
    EntryKind kind = EntryKind::Other;
};

struct Frame {
    QString path;
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

// The folder's entries in the file system's order, without "." and "..". The folder is opened
// without following a link unless it is the walk's own root, which the user chose.
std::vector<Entry> listFolder(const QString& path, bool isRoot) {
    std::vector<Entry> entries;
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (isRoot ? 0 : O_NOFOLLOW);
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0)
        return entries;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return entries;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.')
            continue; // hidden, and "." and ".."
        const QByteArray native(name);
        QString decoded = QFile::decodeName(native);
        // A name that does not convert back to the same bytes would name another file.
        if (QFile::encodeName(decoded) != native)
            continue;
        entries.push_back(Entry{std::move(decoded), kindOf(::dirfd(dir), entry)});
    }
    ::closedir(dir);
    return entries;
}

QString childPath(const QString& folder, const QString& name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
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
                     const std::function<bool(const QString& filePath)>& visit) {
    if (folderPath.isEmpty())
        return;
    // One folder is open at a time: each is read whole and closed before its entries are
    // visited, so a deep tree cannot run out of file descriptors.
    std::vector<Frame> stack;
    stack.push_back(Frame{folderPath, listFolder(folderPath, true)});
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.entries.size()) {
            stack.pop_back();
            continue;
        }
        if (isCancelled(cancelled))
            return;
        const Entry entry = std::move(frame.entries[frame.next++]);
        const QString path = childPath(frame.path, entry.name);
        if (entry.kind == EntryKind::Directory) {
            if (!folderSearchSkippedDirectoryNames().contains(entry.name))
                stack.push_back(Frame{path, listFolder(path, false)});
        } else if (entry.kind == EntryKind::Regular) {
            if (!visit(path))
                return;
        }
    }
}

} // namespace dunmoss
