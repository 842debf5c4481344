#include "text/FolderBackupRestore.h"

#include "platform/FileAttributes.h"
#include "platform/FileError.h"
#include "platform/FileStat.h"
#include "platform/FileWriteHold.h"
#include "platform/Localization.h"
#include "platform/PosixFile.h"
#include "platform/SecurityScopedAccess.h"
#include "text/FolderReplacementBackup.h"
#include "text/FolderReplacementLeftovers.h"
#include "text/FolderReplacementRun.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace dunmoss {

namespace {

constexpr qint64 kManifestByteLimit = 64 * 1024 * 1024;

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

QString joinPath(const QString& folder, const QString& name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

FileError notRegular(const QString& path) {
    return FileError(FileErrorCode::FileReadUnknown, path,
                     localizedString(QStringLiteral("text-file.not-regular")));
}

// Reads an open file whole when it is a regular file.
QByteArray readRegularDescriptor(int fd, const QString& path, qint64 limit) {
    struct stat attributes {};
    if (::fstat(fd, &attributes) != 0)
        throw FileError::fromErrno(errno, path, false);
    if (!S_ISREG(attributes.st_mode))
        throw notRegular(path);
    if (attributes.st_size > limit)
        throw FileError(FileErrorCode::FileReadTooLarge, path);
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw FileError::fromErrno(errno, path, false);
        }
        if (got == 0)
            break;
        bytes.append(buffer, got);
        if (bytes.size() > limit)
            throw FileError(FileErrorCode::FileReadTooLarge, path);
    }
    return bytes;
}

// Opening flags that never block on a FIFO.
constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// Reads a small regular file whole; never blocks on a FIFO.
QByteArray readRegularFile(const QString& path, qint64 limit) {
    UniqueFd fd(::open(native(path).constData(), kReadFlags));
    if (fd.get() < 0)
        throw FileError::fromErrno(errno, path, false);
    return readRegularDescriptor(fd.get(), path, limit);
}

struct SavedCopy {
    QByteArray bytes;
    mode_t mode = 0644;
    uid_t owner = ::geteuid();
    gid_t group = ::getegid();
};

// A saved copy of the backup, at a "/"-separated path below the backup folder. Every folder on
// the way and the copy itself are opened without following a link, so that only the backup's
// own files are read (the backup folder itself may be reached through a link: the user chose
// it). Nothing when the copy is gone; a link or anything but a folder or a regular file on the
// way throws.
std::optional<SavedCopy> readSavedCopy(const QString& backupPath, const QString& relative) {
    const QStringList names = relative.split(u'/', Qt::SkipEmptyParts);
    UniqueFd folder(::open(native(backupPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0)
        throw FileError::fromErrno(errno, backupPath, false);
    QString reached = backupPath;
    for (qsizetype i = 0; i < names.size(); ++i) {
        reached = joinPath(reached, names[i]);
        const bool isCopy = i + 1 == names.size();
        const int flags =
            isCopy ? kReadFlags | O_NOFOLLOW : O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        UniqueFd next(::openat(folder.get(), native(names[i]).constData(), flags));
        if (next.get() < 0) {
            if (errno == ENOENT)
                return std::nullopt;
            if (errno == ELOOP || errno == ENOTDIR)
                throw notRegular(reached);
            throw FileError::fromErrno(errno, reached, false);
        }
        folder = std::move(next);
    }
    SavedCopy copy;
    copy.bytes = readRegularDescriptor(folder.get(), reached, std::numeric_limits<qint64>::max());
    struct stat attributes {};
    if (::fstat(folder.get(), &attributes) == 0) {
        copy.mode = attributes.st_mode & 07777;
        copy.owner = attributes.st_uid;
        copy.group = attributes.st_gid;
    }
    return copy;
}

QString standardized(const QString& path) {
    return QDir::cleanPath(path);
}

bool isSymbolicLink(const QString& path) {
    struct stat attributes {};
    return ::lstat(native(path).constData(), &attributes) == 0 && S_ISLNK(attributes.st_mode);
}

// Opens each folder from the target down to the destination's folder without following a
// link, creating the missing ones. Returns the destination folder's descriptor.
UniqueFd openDestinationFolder(const QString& targetPath, const QStringList& below) {
    // The target itself may be reached through a link: the user chose it.
    const auto openTarget = [&] {
        return UniqueFd(::open(native(targetPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    };
    UniqueFd folder = openTarget();
    // A target deleted since the backup is made again, like any other missing folder.
    if (folder.get() < 0 && errno == ENOENT && QDir().mkpath(targetPath))
        folder = openTarget();
    if (folder.get() < 0)
        throw FileError::fromErrno(errno, targetPath, true);
    QString reached = standardized(targetPath);
    for (const QString& name : below) {
        reached = joinPath(reached, name);
        const QByteArray component = native(name);
        if (::mkdirat(folder.get(), component.constData(), 0777) != 0 && errno != EEXIST)
            throw FileError::fromErrno(errno, reached, true);
        UniqueFd next(::openat(folder.get(), component.constData(),
                               O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (next.get() < 0) {
            const int error = errno;
            struct stat attributes {};
            if (::fstatat(folder.get(), component.constData(), &attributes, AT_SYMLINK_NOFOLLOW) ==
                    0 &&
                S_ISLNK(attributes.st_mode))
                throw FolderReplacementBackupError::symlinkInRestorePath(reached);
            throw FileError::fromErrno(error, reached, true);
        }
        folder = std::move(next);
    }
    return folder;
}

} // namespace

FolderReplacementManifest readFolderReplacementManifest(const QUrl& backupFolderURL) {
    const QString path = joinPath(backupFolderURL.toLocalFile(), QStringLiteral("manifest.json"));
    const SecurityScopedAccess access(backupFolderURL);
    return decodeFolderReplacementManifest(readRegularFile(path, kManifestByteLimit), path);
}

QString resolvePathKeepingMissingTail(const QString& path) {
    const QString cleaned = standardized(QDir(path).absolutePath());
    QString existing = cleaned;
    QStringList missing;
    for (;;) {
        char resolved[PATH_MAX];
        if (::realpath(native(existing).constData(), resolved)) {
            QString result = QFile::decodeName(resolved);
            for (auto it = missing.crbegin(); it != missing.crend(); ++it)
                result = joinPath(result, *it);
            return result;
        }
        const qsizetype slash = existing.lastIndexOf(u'/');
        if (slash < 0 || existing == QStringLiteral("/"))
            return cleaned;
        missing.append(existing.mid(slash + 1));
        existing = slash == 0 ? QStringLiteral("/") : existing.left(slash);
    }
}

void ensureNoSymlinkInRestorePath(const QUrl& destinationURL, const QUrl& targetFolderURL) {
    const QString destination = standardized(destinationURL.toLocalFile());
    const QString parent = standardized(QFileInfo(destination).path());
    const QStringList targetComponents = standardizedPathComponents(targetFolderURL);
    const QStringList parentComponents = standardizedPathComponents(QUrl::fromLocalFile(parent));
    if (parentComponents.size() < targetComponents.size() ||
        !std::equal(targetComponents.begin(), targetComponents.end(), parentComponents.begin()))
        throw FolderReplacementBackupError::fileOutsideRoot(parent);

    QString reached = standardized(targetFolderURL.toLocalFile());
    for (qsizetype i = targetComponents.size(); i < parentComponents.size(); ++i) {
        reached = joinPath(reached, parentComponents[i]);
        if (isSymbolicLink(reached))
            throw FolderReplacementBackupError::symlinkInRestorePath(reached);
    }

    const QString resolvedTarget = resolvePathKeepingMissingTail(targetFolderURL.toLocalFile());
    const QString resolvedParent = resolvePathKeepingMissingTail(parent);
    if (resolvedTarget == resolvedParent)
        return;
    const QString prefix = resolvedTarget.endsWith(u'/') ? resolvedTarget : resolvedTarget + u'/';
    if (!resolvedParent.startsWith(prefix))
        throw FolderReplacementBackupError::symlinkInRestorePath(parent);
}

namespace {

// One entry copied next to its destination under a hidden staging name, waiting to be moved
// into place. Its folder stays open, so the move lands where the checks were made.
struct StagedRestore {
    UniqueFd folder;
    QByteArray staging;
    QByteArray name;
    QString destination;
    QUrl destinationURL;
    // What the replacement left there, when the manifest says.
    std::optional<FolderReplacementWrite> written;
    // Taken by a file put back where none is.
    SavedCopy copy;
    bool sync = false;

    // Removes the staging file unless it was moved into place.
    void discard() {
        if (!staging.isEmpty())
            ::unlinkat(folder.get(), staging.constData(), 0);
        staging.clear();
    }
};

// The first half of restoreBackedUpFile: everything up to the staging file, synced only when
// asked (a restore of many files syncs them together). The staging file is named and its folder
// recorded by the restore's marker, when there is one. Nothing when the saved copy is gone.
std::optional<StagedRestore> stageRestore(const QUrl& backupFolderURL, const QString& savedCopyPath,
                                          const QUrl& destinationURL, const QUrl& targetFolderURL,
                                          bool sync, FolderRestoreMarker* marker) {
    const std::optional<SavedCopy> copy =
        readSavedCopy(backupFolderURL.toLocalFile(), savedCopyPath);
    if (!copy)
        return std::nullopt;
    ensureNoSymlinkInRestorePath(destinationURL, targetFolderURL);
    const QString destination = standardized(destinationURL.toLocalFile());
    const QString targetPath = targetFolderURL.toLocalFile();
    const QStringList targetComponents = standardizedPathComponents(targetFolderURL);
    const QStringList destinationComponents = standardizedPathComponents(destinationURL);
    const QStringList below = destinationComponents.mid(
        targetComponents.size(), destinationComponents.size() - targetComponents.size() - 1);

    StagedRestore staged{openDestinationFolder(targetPath, below),
                         {},
                         native(destinationComponents.last()),
                         destination,
                         destinationURL,
                         {},
                         {{}, copy->mode, copy->owner, copy->group},
                         sync};
    const QString folderPath = QFileInfo(destination).path();
    const QString stagingName =
        marker ? marker->stagingNameIn(folderPath) : folderRestoreStagingName();
    const QByteArray staging = native(stagingName);
    const QString stagingPath = joinPath(folderPath, stagingName);
    UniqueFd file(::openat(staged.folder.get(), staging.constData(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (file.get() < 0)
        throw FileError::fromErrno(errno, stagingPath, true);
    staged.staging = staging;
    try {
        // Who may use it is given when it is put in place, from the file it then replaces.
        writeAll(file.get(), copy->bytes, stagingPath);
        if (sync && ::fsync(file.get()) != 0)
            throw FileError::fromErrno(errno, stagingPath, true);
        file.reset();
    } catch (...) {
        file.reset();
        staged.discard();
        throw;
    }
    return staged;
}

// Whether the file `name` in the folder holds the bytes of `written`: the same file, size and
// time, or else the same size and digest. A time in whole seconds (a coarse file system) may
// hide a change of the same size, so the bytes are read then too.
bool holdsWhatWasWritten(int folder, const QByteArray& name, const struct stat& now,
                         const FolderReplacementWrite& written) {
    if (!S_ISREG(now.st_mode) || now.st_size != written.size)
        return false;
    const FileStatus status = fileStatusOf(now);
    if (status.identity == FileIdentity{written.device, written.inode} &&
        status.modified == FileTimestamp{written.modifiedSeconds, written.modifiedNanoseconds} &&
        written.modifiedNanoseconds != 0)
        return true;
    UniqueFd file(::openat(folder, name.constData(), kReadFlags | O_NOFOLLOW));
    if (file.get() < 0)
        return false;
    QCryptographicHash digest(QCryptographicHash::Sha256);
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        digest.addData(QByteArrayView(buffer, got));
    }
    return digest.result() == written.sha256;
}

// Whether the file `name` in the folder holds exactly the bytes of the staging file: the restore
// was done already, and doing it again changes nothing.
bool holdsStagedBytes(int folder, const QByteArray& name, const QByteArray& staging) {
    UniqueFd file(::openat(folder, name.constData(), kReadFlags | O_NOFOLLOW));
    UniqueFd staged(::openat(folder, staging.constData(), kReadFlags | O_NOFOLLOW));
    struct stat a {};
    struct stat b {};
    if (file.get() < 0 || staged.get() < 0 || ::fstat(file.get(), &a) != 0 ||
        ::fstat(staged.get(), &b) != 0 || !S_ISREG(a.st_mode) || a.st_size != b.st_size)
        return false;
    const qint64 limit = std::numeric_limits<qint64>::max();
    try {
        return readRegularDescriptor(file.get(), {}, limit) ==
               readRegularDescriptor(staged.get(), {}, limit);
    } catch (const FileError&) {
        return false;
    }
}

enum class Placement { Placed, ChangedSinceReplace, OtherNames, AttributesNotKept };

// Gives the staging file the permissions, owner, group and attributes of the file it is to
// replace, found as `existing` right before the move (or those of the saved copy where no file
// is), so that the move never changes who may use the file. False when the system refuses them.
bool takeAttributesOf(StagedRestore& staged, const struct stat* existing) {
    const QString stagingPath =
        joinPath(QFileInfo(staged.destination).path(), QFile::decodeName(staged.staging));
    UniqueFd file(::openat(staged.folder.get(), staged.staging.constData(),
                           O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (file.get() < 0)
        throw FileError::fromErrno(errno, stagingPath, true);
    if (existing) {
        if (carryFileAttributes(staged.destination, *existing, file.get(), staged.destination) ==
            AttributeCarry::Refused)
            return false;
    } else if (const int error = keepOwnerGroupAndMode(file.get(), staged.copy.owner,
                                                       staged.copy.group, staged.copy.mode)) {
        throw FileError::fromErrno(error, stagingPath, true);
    }
    if (staged.sync && ::fsync(file.get()) != 0)
        throw FileError::fromErrno(errno, stagingPath, true);
    return true;
}

// The second half: the path is checked again, and so is the file there; then the staging file
// is moved into place. The staging file never remains.
Placement placeRestore(StagedRestore& staged, const QUrl& targetFolderURL) {
    try {
        // Put back without a save or another run of the file coming between.
        const AtomicWriteHold hold(staged.destination);
        ensureNoSymlinkInRestorePath(staged.destinationURL, targetFolderURL);
        // A file saved since the replacement keeps what was saved; a file with other names is
        // never split from them. A missing file loses nothing.
        struct stat now {};
        const bool exists =
            ::fstatat(staged.folder.get(), staged.name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0;
        if (!exists && errno != ENOENT)
            throw FileError::fromErrno(errno, staged.destination, false);
        Placement left = Placement::Placed;
        if (exists && staged.written &&
            !holdsWhatWasWritten(staged.folder.get(), staged.name, now, *staged.written))
            left = Placement::ChangedSinceReplace;
        else if (exists && S_ISREG(now.st_mode) && now.st_nlink > 1)
            left = Placement::OtherNames;
        // Its owner, mode or attributes may have changed since it was staged: they are taken
        // from the file as it is now. Another user's file in a shared folder cannot be given to
        // a new file and is left to its owner; its copy stays in the backup.
        else if (!takeAttributesOf(staged, exists && S_ISREG(now.st_mode) ? &now : nullptr))
            left = Placement::AttributesNotKept;
        if (left != Placement::Placed) {
            // Already put back (by an earlier restore of this backup) counts as put back.
            if (exists && holdsStagedBytes(staged.folder.get(), staged.name, staged.staging))
                left = Placement::Placed;
            staged.discard();
            return left;
        }
        // Renaming replaces a link at the destination itself, never what it points to.
        if (::renameat(staged.folder.get(), staged.staging.constData(), staged.folder.get(),
                       staged.name.constData()) != 0)
            throw FileError::fromErrno(errno, staged.destination, true);
        staged.staging.clear();
        return Placement::Placed;
    } catch (...) {
        staged.discard();
        throw;
    }
}

bool isSymlinkRefusal(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const FolderReplacementBackupError& refusal) {
        return refusal.kind() == FolderReplacementBackupError::Kind::SymlinkInRestorePath;
    } catch (...) {
        return false;
    }
}

// Makes the files staged or placed in these folders durable, once per file system, and the
// marker's record of their folders with them.
void syncFileSystemsOf(std::vector<StagedRestore>& staged, FolderRestoreMarker* marker) {
    takeFolderReplacementStep(FolderReplacementStep::Sync);
    QSet<dev_t> synced;
    const auto syncOnce = [&synced](int fd, const QString& path) {
        struct stat attributes {};
        if (::fstat(fd, &attributes) != 0 || synced.contains(attributes.st_dev))
            return;
        synced.insert(attributes.st_dev);
        if (::syncfs(fd) != 0)
            throw FileError::fromErrno(errno, path, true);
    };
    if (marker && !staged.empty() && marker->takeUnsynced())
        syncOnce(marker->descriptor(), folderReplaceBackupsPath());
    for (const StagedRestore& file : staged)
        syncOnce(file.folder.get(), file.destination);
}

// At most this many entries are staged at once: each holds its folder open.
constexpr size_t kStagedAtOnce = 256;

} // namespace

bool restoreBackedUpFile(const QUrl& backupFolderURL, const QString& savedCopyPath,
                         const QUrl& destinationURL, const QUrl& targetFolderURL) {
    std::optional<StagedRestore> staged = stageRestore(
        backupFolderURL, savedCopyPath, destinationURL, targetFolderURL, true, nullptr);
    if (!staged)
        return false;
    return placeRestore(*staged, targetFolderURL) == Placement::Placed;
}

namespace {

// The restore of the manifest's entries, adding each file to `outcome` as it is done.
void restoreEntries(const FolderReplacementManifest& manifest, const QUrl& backupFolderURL,
                    const QUrl& target, FolderRestoreOutcome& outcome) {
    // Older backups keep their copies beside the manifest.
    const bool older = manifest.formatVersion < kFolderReplacementManifestVersion;
    const QString copies = older ? QString() : QStringLiteral("files/");
    // Without a marker (the backup store cannot be written) the restore still goes on; only a
    // kill would then leave its staging files for good.
    std::optional<FolderRestoreMarker> marker;
    try {
        marker.emplace();
    } catch (const FileError&) {
    }
    FolderRestoreMarker* const record = marker ? &*marker : nullptr;
    QStringList refused;
    // Entries are staged a group at a time, the group synced once, then moved into place in
    // manifest order and the moves synced: one sync per group instead of one per file. An
    // error stops the entries after it; those before it are still put back.
    qsizetype next = 0;
    while (next < manifest.files.size()) {
        std::vector<StagedRestore> staged;
        std::vector<QString> entries;
        std::exception_ptr error;
        for (; next < manifest.files.size() && staged.size() < kStagedAtOnce && !error; ++next) {
            const QString& entry = manifest.files[next];
            if (older && entry == QStringLiteral("manifest.json"))
                continue;
            try {
                const QUrl destination = resolveManifestRelativePath(entry, target);
                takeFolderReplacementStep(FolderReplacementStep::RestoreStage);
                if (auto file = stageRestore(backupFolderURL, copies + entry, destination, target,
                                             false, record)) {
                    if (const auto written = manifest.written.constFind(entry);
                        written != manifest.written.cend())
                        file->written = *written;
                    staged.push_back(std::move(*file));
                    entries.push_back(entry);
                }
            } catch (...) {
                if (isSymlinkRefusal(std::current_exception()))
                    refused.append(entry);
                else
                    error = std::current_exception();
            }
        }
        try {
            syncFileSystemsOf(staged, record);
        } catch (...) {
            for (StagedRestore& file : staged)
                file.discard();
            throw;
        }
        std::exception_ptr placingError;
        for (size_t i = 0; i < staged.size(); ++i) {
            if (placingError) {
                staged[i].discard();
                continue;
            }
            try {
                takeFolderReplacementStep(FolderReplacementStep::RestorePlace);
                switch (placeRestore(staged[i], target)) {
                case Placement::Placed:
                    ++outcome.restored;
                    break;
                case Placement::ChangedSinceReplace:
                    outcome.changedSinceReplace.append(staged[i].destinationURL);
                    break;
                case Placement::OtherNames:
                    outcome.withOtherNames.append(staged[i].destinationURL);
                    break;
                case Placement::AttributesNotKept:
                    outcome.attributesNotKept.append(staged[i].destinationURL);
                    break;
                }
            } catch (...) {
                if (isSymlinkRefusal(std::current_exception()))
                    refused.append(entries[i]);
                else
                    placingError = std::current_exception();
            }
        }
        if (placingError)
            error = placingError;
        syncFileSystemsOf(staged, nullptr);
        if (error)
            std::rethrow_exception(error);
    }
    // Every staging file is placed or removed.
    if (marker)
        marker->finish();
    if (!refused.isEmpty())
        throw FolderReplacementBackupError::restoreRefused(refused);
}

} // namespace

FolderRestoreOutcome restoreFolderReplacementBackup(const QUrl& backupFolderURL,
                                                    const std::optional<QUrl>& targetFolderURL,
                                                    FolderRestoreOutcome* doneBeforeError) {
    const QString backup = backupFolderURL.toLocalFile();
    // A stopped run's temporary files go, and its manifest is settled, before it is read.
    settleUnfinishedFolderReplacements();
    const FolderReplacementManifest manifest = readFolderReplacementManifest(backupFolderURL);
    if (!targetFolderURL && !QDir::isAbsolutePath(manifest.rootPath))
        throw FileError(FileErrorCode::FileReadCorruptFile,
                        joinPath(backup, QStringLiteral("manifest.json")));
    const QUrl target = targetFolderURL ? *targetFolderURL : QUrl::fromLocalFile(manifest.rootPath);

    const SecurityScopedAccess backupAccess(backupFolderURL);
    const SecurityScopedAccess targetAccess(target);
    FolderRestoreOutcome outcome;
    try {
        restoreEntries(manifest, backupFolderURL, target, outcome);
    } catch (...) {
        if (doneBeforeError)
            *doneBeforeError = outcome;
        throw;
    }
    return outcome;
}

} // namespace dunmoss
