#include "text/FolderReplacementLeftovers.h"

#include "platform/FileError.h"
#include "platform/FileStat.h"
#include "text/FolderBackupRestore.h"
#include "text/FolderReplacementBackup.h"
#include "text/FolderReplacementWrites.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dunmoss {

namespace {

const QString kMarker = QStringLiteral("unfinished");

QString inRun(const QUrl& runFolderURL, const QString& name) {
    return runFolderURL.toLocalFile() + u'/' + name;
}

// The marker's content: the searched folder's path. Empty when unreadable.
QString rootRecordedIn(int marker) {
    QByteArray bytes;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::pread(marker, buffer, sizeof buffer, bytes.size())) > 0)
        bytes.append(buffer, got);
    return got < 0 ? QString() : QFile::decodeName(bytes);
}

// Removes a stopped run's temporary file: a regular file by exactly that name and no other.
void removeLeftOverTemporary(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat attributes {};
    if (::lstat(native.constData(), &attributes) == 0 && S_ISREG(attributes.st_mode) &&
        attributes.st_nlink == 1)
        ::unlink(native.constData());
}

// Whether the file is still the new content a pending rename put there.
bool holdsPendingContent(const QUrl& fileURL, const PendingFolderReplacement& pending) {
    const std::optional<FileStatus> now = lstatPath(fileURL.toLocalFile());
    return now && now->kind == FileKind::Regular &&
           now->identity == FileIdentity{pending.device, pending.inode};
}

bool settleRun(const QUrl& runFolderURL) {
    const QByteArray markerPath = QFile::encodeName(inRun(runFolderURL, kMarker));
    UniqueFd marker(::open(markerPath.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!marker.isOpen() || ::flock(marker.get(), LOCK_EX | LOCK_NB) != 0)
        return false; // finished, or still going
    struct stat attributes {};
    if (::fstat(marker.get(), &attributes) != 0 || attributes.st_nlink == 0)
        return false; // settled meanwhile
    const QString root = rootRecordedIn(marker.get());
    if (root.isEmpty())
        return false;
    const QUrl rootURL = QUrl::fromLocalFile(root);
    FolderReplacementManifest manifest;
    if (QFileInfo::exists(inRun(runFolderURL, QStringLiteral("manifest.json"))))
        manifest = readFolderReplacementManifest(runFolderURL);

    // Every file the run backed up is one it may have written a temporary file beside.
    const QString tag = folderReplaceRunTag(runFolderURL);
    const QString files = inRun(runFolderURL, QStringLiteral("files"));
    QDirIterator copies(files, QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
    while (copies.hasNext()) {
        const QString relative = QDir(files).relativeFilePath(copies.next());
        removeLeftOverTemporary(
            temporaryPathBeside(resolveManifestRelativePath(relative, rootURL).toLocalFile(), tag));
    }

    QList<QUrl> replaced;
    for (const QString& entry : manifest.files)
        replaced.append(resolveManifestRelativePath(entry, rootURL));
    qint64 count = manifest.replacementCount;
    for (const PendingFolderReplacement& pending : manifest.pending) {
        const QUrl file = resolveManifestRelativePath(pending.path, rootURL);
        if (holdsPendingContent(file, pending)) {
            replaced.append(file);
            count += pending.replacementCount;
        }
    }
    writeFolderReplacementManifest(runFolderURL, rootURL, replaced, count, {}, true);
    ::unlink(markerPath.constData());
    return true;
}

} // namespace

UniqueFd markFolderReplaceRunUnfinished(const QUrl& runFolderURL, const QUrl& rootURL) {
    // Written and locked under another name first, so that no one sees it unlocked.
    const QString making = inRun(runFolderURL, QStringLiteral(".") + kMarker);
    const QByteArray native = QFile::encodeName(making);
    UniqueFd marker(
        ::open(native.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!marker.isOpen())
        throw FileError::fromErrno(errno, making, true);
    try {
        writeAll(marker.get(), QFile::encodeName(QDir::cleanPath(rootURL.toLocalFile())), making);
        if (::flock(marker.get(), LOCK_EX | LOCK_NB) != 0 ||
            ::rename(native.constData(),
                     QFile::encodeName(inRun(runFolderURL, kMarker)).constData()) != 0)
            throw FileError::fromErrno(errno, making, true);
    } catch (...) {
        ::unlink(native.constData());
        throw;
    }
    return marker;
}

void markFolderReplaceRunFinished(UniqueFd& marker, const QUrl& runFolderURL) {
    ::unlink(QFile::encodeName(inRun(runFolderURL, kMarker)).constData());
    marker.reset();
}

QString folderReplaceRunTag(const QUrl& runFolderURL) {
    return QFileInfo(QDir::cleanPath(runFolderURL.toLocalFile())).fileName().right(8);
}

int settleUnfinishedFolderReplacements() {
    const QDir store(folderReplaceBackupsPath());
    int settled = 0;
    for (const QString& run : store.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        try {
            if (settleRun(QUrl::fromLocalFile(store.filePath(run))))
                ++settled;
        } catch (...) {
            // Left as it is, to be tried again by the next operation.
        }
    }
    return settled;
}

bool isUnfinishedFolderReplacement(const QUrl& folderURL) {
    static const QRegularExpression runName(
        QStringLiteral("\\A[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}-[0-9]{2}-[0-9]{2}Z-[0-9A-F]{8}\\z"));
    const QString folder = folderURL.toLocalFile();
    if (QFileInfo::exists(folder + u'/' + kMarker))
        return true;
    return runName.match(QFileInfo(QDir::cleanPath(folder)).fileName()).hasMatch() &&
           QFileInfo(folder).isDir() &&
           !QFileInfo::exists(folder + QStringLiteral("/manifest.json"));
}

} // namespace dunmoss
