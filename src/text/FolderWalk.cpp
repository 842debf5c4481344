#include "text/FolderWalk.h"

#include "platform/FileNames.h"
#include "text/FolderListings.h"

#include <QFile>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <vector>

namespace dunmoss {

namespace {

bool excluded(const FolderWalkOptions& options, const FileIdentity& identity) {
    return options.excludesFolder && options.excludesFolder(identity);
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
        if (::stat(folder.constData(), &attributes) == 0 &&
            excluded(options, FileIdentity{quint64(attributes.st_dev), quint64(attributes.st_ino)}))
            return true;
        if (end < 0)
            return false;
    }
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
    FolderListings listings(options.runAhead);
    // A folder is read whole and closed before its entries are visited, so a deep tree cannot
    // run out of file descriptors.
    struct Frame {
        std::shared_ptr<FolderNode> folder;
        size_t next = 0;
    };
    std::vector<Frame> stack;
    // An excluded folder contributes nothing, by whatever path it is reached.
    const auto enter = [&](const std::shared_ptr<FolderNode>& folder) {
        listings.list(*folder);
        if (folder->identity && !excluded(options, *folder->identity))
            stack.push_back(Frame{folder, 0});
        else
            listings.forget(*folder);
    };
    const auto top = std::make_shared<FolderNode>();
    top->path = root;
    top->isRoot = true;
    enter(top);
    while (!stack.empty()) {
        Frame& frame = stack.back();
        FolderNode& folder = *frame.folder;
        if (frame.next == folder.entries.size()) {
            folder.entries = {};
            stack.pop_back();
            continue;
        }
        if (isCancelled(cancelled))
            return;
        const FolderEntry& entry = folder.entries[frame.next++];
        if (entry.kind == FolderEntryKind::Directory) {
            if (entry.folder)
                enter(entry.folder); // invalidates `frame`
        } else if (entry.kind == FolderEntryKind::Regular) {
            const QByteArray path = folderChildPath(folder.path, entry.name);
            if (!folder.named || !isValidUtf8Name(entry.name)) {
                if (options.unnamedFile)
                    options.unnamedFile(readableFileName(path));
            } else if (!visit(QFile::decodeName(path))) {
                return;
            }
        }
    }
}

} // namespace dunmoss
