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
#include <QUuid>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace dunmoss {

namespace {

const QString kMarker = QStringLiteral("unfinished");

QString inRun(const QUrl& runFolderURL, const QString& name) {
    return runFolderURL.toLocalFile() + u'/' + name;
}

// A marker's content; nothing when it cannot be read.
std::optional<QByteArray> contentOf(int marker) {
    QByteArray bytes;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::pread(marker, buffer, sizeof buffer, bytes.size())) > 0)
        bytes.append(buffer, got);
    if (got < 0)
        return std::nullopt;
    return bytes;
}

// Opens and locks the marker of a run or restore that was stopped. Closed when there is none,
// when it still goes on (its marker locked), or when another operation settled it meanwhile.
UniqueFd claimStoppedMarker(const QByteArray& path) {
    UniqueFd marker(::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat attributes {};
    if (!marker.isOpen() || ::flock(marker.get(), LOCK_EX | LOCK_NB) != 0 ||
        ::fstat(marker.get(), &attributes) != 0 || !S_ISREG(attributes.st_mode) ||
        attributes.st_nlink == 0)
        return UniqueFd();
    return marker;
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
    const UniqueFd marker = claimStoppedMarker(markerPath);
    if (!marker.isOpen())
        return false;
    // The marker's content: the searched folder's path.
    const QString root = QFile::decodeName(contentOf(marker.get()).value_or(QByteArray()));
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
    writeFolderReplacementManifest(runFolderURL, rootURL, replaced, count, manifest.written, {},
                                   true);
    ::unlink(markerPath.constData());
    return true;
}

const QString kRestoreMarkerPrefix = QStringLiteral(".restoring-");
const QString kStagingSuffix = QStringLiteral(".dunmoss-restore");

QString restoreMarkerPath(const QString& tag) {
    return folderReplaceBackupsPath() + u'/' + kRestoreMarkerPrefix + tag;
}

// Removes the staging files a stopped restore left in the folders its marker records: regular
// files named exactly as that restore names them (see folderRestoreStagingName), with no other
// name.
bool settleRestore(const QString& tag) {
    const QByteArray markerPath = QFile::encodeName(restoreMarkerPath(tag));
    const UniqueFd marker = claimStoppedMarker(markerPath);
    if (!marker.isOpen())
        return false;
    const std::optional<QByteArray> folders = contentOf(marker.get());
    if (!folders)
        return false;
    const QRegularExpression staging(QStringLiteral("\\A\\.") + tag +
                                     QStringLiteral("-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-"
                                                    "[0-9A-F]{12}\\.dunmoss-restore\\z"));
    const QStringList like{u'.' + tag + u'*' + kStagingSuffix};
    for (const QByteArray& recorded : folders->split('\0')) {
        if (recorded.isEmpty())
            continue;
        const QDir folder(QFile::decodeName(recorded));
        for (const QString& name :
             folder.entryList(like, QDir::Files | QDir::Hidden | QDir::System))
            if (staging.match(name).hasMatch())
                removeLeftOverTemporary(folder.filePath(name));
    }
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
    static const QRegularExpression restoreMarker(QStringLiteral("\\A\\.restoring-[0-9A-F]{8}\\z"));
    for (const QString& name : store.entryList({kRestoreMarkerPrefix + u'*'},
                                               QDir::Files | QDir::Hidden | QDir::System)) {
        if (!restoreMarker.match(name).hasMatch())
            continue;
        try {
            if (settleRestore(name.mid(kRestoreMarkerPrefix.size())))
                ++settled;
        } catch (...) {
            // Left as it is, to be tried again by the next operation.
        }
    }
    return settled;
}

QString folderRestoreStagingName(const QString& tag) {
    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    return u'.' + (tag.isEmpty() ? uuid : tag + uuid.mid(8)) + kStagingSuffix;
}

FolderRestoreMarker::FolderRestoreMarker() {
    const QString store = folderReplaceBackupsPath();
    if (!QDir().mkpath(store))
        throw FileError(FileErrorCode::FileWriteUnknown, store);
    // Made by its final name and locked at once. A settling operation may take a new marker
    // for a stopped restore's in the instant before it is locked, and remove it: then another
    // tag is tried.
    for (int attempt = 0;; ++attempt) {
        m_tag = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().left(8);
        m_path = restoreMarkerPath(m_tag);
        const QByteArray native = QFile::encodeName(m_path);
        UniqueFd marker(
            ::open(native.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!marker.isOpen()) {
            if (errno == EEXIST && attempt < 16)
                continue;
            throw FileError::fromErrno(errno, m_path, true);
        }
        struct stat attributes {};
        if (::flock(marker.get(), LOCK_EX | LOCK_NB) == 0 &&
            ::fstat(marker.get(), &attributes) == 0 && attributes.st_nlink > 0) {
            m_marker = std::move(marker);
            return;
        }
        if (attempt >= 16)
            throw FileError(FileErrorCode::FileWriteUnknown, m_path);
    }
}

QString FolderRestoreMarker::stagingNameIn(const QString& folder) {
    if (!m_folders.contains(folder)) {
        writeAll(m_marker.get(), QFile::encodeName(folder) + '\0', m_path);
        m_folders.insert(folder);
        m_unsynced = true;
    }
    return folderRestoreStagingName(m_tag);
}

bool FolderRestoreMarker::takeUnsynced() {
    return std::exchange(m_unsynced, false);
}

void FolderRestoreMarker::finish() {
    ::unlink(QFile::encodeName(m_path).constData());
    m_marker.reset();
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
