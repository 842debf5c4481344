#include "text/WorkspaceTree.h"

#include "platform/Bookmark.h"
#include "platform/Defaults.h"
#include "platform/FileNames.h"

#include <QCollator>
#include <QFile>
#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace dunmoss {

namespace {

struct Listed {
    QByteArray nativePath;
    QString path; // readable when the entry is not named
    QString name;
    bool isDirectory = false;
    bool named = true; // every name on the path is valid UTF-8
};

bool isDirectoryWithoutFollowing(const QString& path) {
    struct stat attributes {};
    return ::lstat(QFile::encodeName(path).constData(), &attributes) == 0 &&
           S_ISDIR(attributes.st_mode);
}

QByteArray childPath(const QByteArray& folder, const QByteArray& name) {
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

QString childPath(const QString& folder, const QString& name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

// A folder's entries. Paths are kept as the file system's bytes, so that an entry whose name is
// not valid UTF-8 is listed too, under a readable form of its name.
std::vector<Listed> listEntries(const QByteArray& folder, const QString& readableFolder,
                                bool folderNamed) {
    std::vector<Listed> entries;
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return entries;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const QByteArray native(entry->d_name);
        const bool named = folderNamed && isValidUtf8Name(native);
        const QString name =
            isValidUtf8Name(native) ? QFile::decodeName(native) : readableFileName(native);
        if (workspaceSkippedNames().contains(name))
            continue;
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat attributes {};
            isDirectory =
                ::fstatat(::dirfd(dir), entry->d_name, &attributes, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISDIR(attributes.st_mode);
        }
        entries.push_back(Listed{childPath(folder, native), childPath(readableFolder, name), name,
                                 isDirectory, named});
    }
    ::closedir(dir);
    return entries;
}

QCollator makeCollator() {
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

} // namespace

const QSet<QString>& workspaceSkippedNames() {
    // The same names the folder search prunes.
    return folderSearchSkippedDirectoryNames();
}

std::optional<QUrl> restoreWorkspaceRoot(Defaults& defaults) {
    const QString key = QString::fromLatin1(kWorkspaceRootBookmarkKey);
    const std::optional<QByteArray> data = defaults.data(key);
    if (!data)
        return std::nullopt;
    const std::optional<ResolvedBookmark> resolved = resolveBookmark(*data);
    if (!resolved)
        return std::nullopt;
    if (resolved->isStale) {
        const QByteArray fresh = makeBookmark(resolved->path);
        if (!fresh.isEmpty())
            defaults.setValue(key, fresh);
    }
    return QUrl::fromLocalFile(resolved->path);
}

std::optional<QUrl> restoreWorkspaceRoot() {
    return restoreWorkspaceRoot(Defaults::standard());
}

namespace {

QList<WorkspaceItem> loadTree(const QByteArray& folder, const QString& readableFolder, bool named,
                              int depth, const CancellationCheck& cancelled) {
    QList<WorkspaceItem> items;
    if (depth >= kWorkspaceTreeDepthLimit)
        return items;
    std::vector<Listed> entries = listEntries(folder, readableFolder, named);
    const QCollator collator = makeCollator();
    std::stable_sort(entries.begin(), entries.end(), [&](const Listed& a, const Listed& b) {
        if (a.isDirectory != b.isDirectory)
            return a.isDirectory;
        return collator.compare(a.name, b.name) < 0;
    });
    if (entries.size() > size_t(kWorkspaceFolderEntryLimit))
        entries.resize(kWorkspaceFolderEntryLimit);
    items.reserve(qsizetype(entries.size()));
    for (const Listed& entry : entries) {
        if (isCancelled(cancelled))
            break;
        WorkspaceItem item;
        item.id = entry.path;
        item.isOpenable = entry.named;
        if (entry.named)
            item.url = QUrl::fromLocalFile(entry.path);
        item.isDirectory = entry.isDirectory;
        if (entry.isDirectory)
            item.children =
                loadTree(entry.nativePath, entry.path, entry.named, depth + 1, cancelled);
        items.append(std::move(item));
    }
    return items;
}

} // namespace

QList<WorkspaceItem> loadWorkspaceTree(const QUrl& folderURL, int depth,
                                       const CancellationCheck& cancelled) {
    if (!folderURL.isLocalFile())
        return {};
    const QString folder = folderPathOfURL(folderURL);
    return loadTree(QFile::encodeName(folder), folder, true, depth, cancelled);
}

bool workspaceEntryPrecedes(const QUrl& a, const QUrl& b) {
    const bool aIsDirectory = isDirectoryWithoutFollowing(a.toLocalFile());
    const bool bIsDirectory = isDirectoryWithoutFollowing(b.toLocalFile());
    if (aIsDirectory != bIsDirectory)
        return aIsDirectory;
    const QString aPath = a.toLocalFile();
    const QString bPath = b.toLocalFile();
    return makeCollator().compare(aPath.mid(aPath.lastIndexOf(u'/') + 1),
                                  bPath.mid(bPath.lastIndexOf(u'/') + 1)) < 0;
}

} // namespace dunmoss
