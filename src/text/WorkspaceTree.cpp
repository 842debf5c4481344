#include "text/WorkspaceTree.h"

#include "platform/Bookmark.h"
#include "platform/Defaults.h"

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
    QString path;
    QString name;
    bool isDirectory = false;
};

bool isDirectoryWithoutFollowing(const QString& path) {
    struct stat attributes {};
    return ::lstat(QFile::encodeName(path).constData(), &attributes) == 0 &&
           S_ISDIR(attributes.st_mode);
}

QString childPath(const QString& folder, const QString& name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

std::vector<Listed> listEntries(const QString& folder) {
    std::vector<Listed> entries;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return entries;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const QByteArray native(entry->d_name);
        const QString name = QFile::decodeName(native);
        if (QFile::encodeName(name) != native || workspaceSkippedNames().contains(name))
            continue;
        const QString path = childPath(folder, name);
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN)
            isDirectory = isDirectoryWithoutFollowing(path);
        entries.push_back(Listed{path, name, isDirectory});
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

QList<WorkspaceItem> loadWorkspaceTree(const QUrl& folderURL, int depth,
                                       const CancellationCheck& cancelled) {
    QList<WorkspaceItem> items;
    if (depth >= kWorkspaceTreeDepthLimit || !folderURL.isLocalFile())
        return items;
    std::vector<Listed> entries = listEntries(folderPathOfURL(folderURL));
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
        item.url = QUrl::fromLocalFile(entry.path);
        item.isDirectory = entry.isDirectory;
        if (entry.isDirectory)
            item.children = loadWorkspaceTree(item.url, depth + 1, cancelled);
        items.append(std::move(item));
    }
    return items;
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
