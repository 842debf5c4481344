#include "platform/AtomicFileWrite.h"

#include "platform/DiskProgress.h"
#include "platform/FileAttributes.h"
#include "platform/FileError.h"
#include "platform/FileStat.h"
#include "platform/FolderSync.h"
#include "platform/InPlaceWriteSettle.h"
#include "platform/Localization.h"
#include "platform/PosixFile.h"
#include "platform/ReplacementFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dunmoss {

namespace {

// QSaveFile reports Qt's error kinds, not the system's: take errno from the failing call when
// it is set, else judge from the destination's folder.
FileError writeError(const QFileDevice& file, int savedErrno, const QString& path) {
    if (savedErrno != 0)
        return FileError::fromErrno(savedErrno, path, true);
    const QFileInfo folder(QFileInfo(path).absolutePath());
    FileErrorCode code = FileErrorCode::FileWriteUnknown;
    if (!folder.exists())
        code = FileErrorCode::FileNoSuchFile;
    else if (!folder.isWritable())
        code = FileErrorCode::FileWriteNoPermission;
    else if (file.error() == QFileDevice::ResourceError)
        code = FileErrorCode::FileWriteOutOfSpace;
    return FileError(code, path, file.errorString());
}

// The atomic write renames a new file over the destination, which would silently turn a FIFO,
// socket or device into a plain file. Only a regular file (or nothing yet) may be replaced.
void refuseNonRegularDestination(const struct stat& existing, const QString& path) {
    if (S_ISREG(existing.st_mode))
        return;
    const QString reason = S_ISDIR(existing.st_mode)
                               ? localizedString(QStringLiteral("text-file.is-folder"))
                               : localizedString(QStringLiteral("text-file.not-regular"));
    throw FileError(FileErrorCode::FileWriteUnknown, path, reason);
}

std::atomic<int>& injectedSyncFailure(AtomicWriteSync sync) {
    static std::atomic<int> failures[2];
    return failures[sync == AtomicWriteSync::FileData ? 0 : 1];
}

std::atomic<void (*)()>& syncHook() {
    static std::atomic<void (*)()> hook = nullptr;
    return hook;
}

// The errno of a failed sync, 0 when the disk holds what was asked.
int syncFileData(int fd) {
    const DiskStep step;
    if (void (*hook)() = syncHook().load())
        hook();
    if (const int injected = injectedSyncFailure(AtomicWriteSync::FileData).load())
        return injected;
    return ::fdatasync(fd) == 0 ? 0 : errno;
}

int syncFolderOf(const QString& path) {
    if (const int injected = injectedSyncFailure(AtomicWriteSync::Folder).load())
        return injected;
    const DiskStep step;
    return syncFolder(QFileInfo(path).absolutePath());
}

// A write the disk did not confirm is a failed write, said so in the person's language.
FileError syncError(int savedErrno, const QString& path) {
    return FileError(FileError::fromErrno(savedErrno, path, true).code(), path,
                     localizedString(QStringLiteral("text-file.sync-failed.format"))
                         .arg(QString::fromLocal8Bit(std::strerror(savedErrno))));
}

// The copy of a file's old bytes that stands beside it while it is written in place: the
// record of the write (see InPlaceKeptCopy.h) and the old bytes, made under a name of its own,
// given the file's owner, group and permissions, synced, then renamed to the kept name and the
// folder synced, so a copy under that name is whole before the first old byte is overwritten.
// The lock held on it tells a settle that its writer is alive.
std::pair<UniqueFd, qint64> keepCopyOf(int file, const QString& target, const QString& path,
                                       const QByteArray& newBytes) {
    struct stat attributes {};
    if (::fstat(file, &attributes) != 0)
        throw FileError::fromErrno(errno, path, true);
    const std::optional<KeptCopyRecord> record = keptCopyRecordFor(file, newBytes);
    if (!record)
        throw FileError::fromErrno(errno, path, true);
    const QByteArray head = encodeKeptCopyRecord(*record);
    const QByteArray making =
        QFile::encodeName(inPlaceCopyInTheMakingPath(target, attributes.st_ino));
    const QByteArray keptName = QFile::encodeName(inPlaceKeptCopyPath(target, attributes.st_ino));
    UniqueFd kept(
        ::open(making.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!kept.isOpen())
        throw FileError::fromErrno(errno, path, true);
    try {
        static_cast<void>(::flock(kept.get(), LOCK_EX | LOCK_NB));
        writeAll(kept.get(), head, path);
        copyFileContent(file, kept.get(), path);
        // Set-id bits mean nothing on a hidden copy.
        static_cast<void>(keepOwnerGroupAndMode(kept.get(), attributes.st_uid, attributes.st_gid,
                                                attributes.st_mode & 0777));
        if (const int syncErrno = syncFileData(kept.get()))
            throw syncError(syncErrno, path);
        if (::rename(making.constData(), keptName.constData()) != 0)
            throw FileError::fromErrno(errno, path, true);
    } catch (...) {
        kept.reset();
        ::unlink(making.constData());
        throw;
    }
    if (const int syncErrno = syncFolderOf(target)) {
        kept.reset();
        ::unlink(keptName.constData());
        throw syncError(syncErrno, path);
    }
    return {std::move(kept), head.size()};
}

thread_local bool goesInPlace = false;

std::atomic<void (*)(qint64)>& inPlaceBlockHook() {
    static std::atomic<void (*)(qint64)> hook = nullptr;
    return hook;
}

// The new bytes over the old ones from the start, a block at a time, cut to their length.
void overwriteWith(int file, const QByteArray& bytes, const QString& path) {
    if (::lseek(file, 0, SEEK_SET) != 0)
        throw FileError::fromErrno(errno, path, true);
    constexpr qint64 chunk = 4 * kInPlaceBlockSize;
    for (qint64 at = 0; at < bytes.size(); at += chunk) {
        writeAll(file, QByteArrayView(bytes).sliced(at, std::min(chunk, bytes.size() - at)), path);
        if (void (*hook)(qint64) = inPlaceBlockHook().load())
            hook(std::min(at + chunk, qint64(bytes.size())));
    }
    if (::ftruncate(file, bytes.size()) != 0)
        throw FileError::fromErrno(errno, path, true);
}

// A file with other names written in place, so that all of them see the new bytes. They are
// made first, so that the copy's record can name them before the first old byte goes.
bool writeInPlace(const QString& path, const std::function<bool(QIODevice&)>& produce,
                  const std::function<bool()>& confirm) {
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!produce(buffer))
            throw FileError(FileErrorCode::FileWriteUnknown, path, buffer.errorString());
    }
    const QString target = canonicalFilePath(path);
    UniqueFd file(::open(QFile::encodeName(target).constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    if (file.get() < 0)
        throw FileError::fromErrno(errno, path, true);
    struct stat attributes {};
    if (::fstat(file.get(), &attributes) != 0)
        throw FileError::fromErrno(errno, path, true);
    const QString keptPath = inPlaceKeptCopyPath(target, attributes.st_ino);
    const QByteArray keptName = QFile::encodeName(keptPath);
    // Named, not bound: the lambda below takes it by reference.
    auto keptCopy = keepCopyOf(file.get(), target, path, bytes);
    UniqueFd& kept = keptCopy.first;
    const qint64 oldAt = keptCopy.second;
    noteInPlaceCopy(file.get(), keptPath);
    auto dropKept = [&] {
        ::unlink(keptName.constData());
        forgetInPlaceCopy(file.get());
        kept.reset();
    };
    bool confirmed = true;
    if (confirm) {
        goesInPlace = true;
        const auto over = qScopeGuard([] { goesInPlace = false; });
        confirmed = confirm();
    }
    if (!confirmed) {
        dropKept();
        return false;
    }

    std::optional<FileError> failure;
    try {
        overwriteWith(file.get(), bytes, path);
        if (const int syncErrno = syncFileData(file.get()))
            failure = syncError(syncErrno, path);
    } catch (const FileError& error) {
        failure = error;
    }
    if (failure) {
        if (putKeptBytesBack(kept.get(), oldAt, file.get(), path)) {
            dropKept();
            struct stat left {};
            std::optional<FileStatus> status;
            if (::fstat(file.get(), &left) == 0)
                status = fileStatusOf(left);
            throw OldBytesPutBack(*failure, status);
        }
        // The old bytes live on only in the copy: it stays, and the message says where.
        throw FileError(
            failure->code(), path,
            failure->systemMessage() + QStringLiteral("; ") +
                localizedString(QStringLiteral("text-file.old-bytes-kept.format")).arg(keptPath));
    }
    dropKept();
    // Saved only once the copy is gone for good: after a power cut it could otherwise come back
    // beside the new bytes. They stay whole whatever a settle then finds.
    if (const int syncErrno = syncFolderOf(target)) {
        const FileError error = syncError(syncErrno, path);
        throw UnconfirmedReplacement(error.code(), error.path(), error.systemMessage());
    }
    return true;
}

} // namespace

void failAtomicWriteSyncForTesting(AtomicWriteSync sync, int errnoValue) {
    injectedSyncFailure(sync).store(errnoValue);
}

void beforeAtomicWriteSyncForTesting(void (*hook)()) {
    syncHook().store(hook);
}

void afterInPlaceBlocksWrittenForTesting(void (*hook)(qint64 written)) {
    inPlaceBlockHook().store(hook);
}

bool atomicWriteGoesInPlace() {
    return goesInPlace;
}

int syncAtomicWriteData(int fd) {
    return syncFileData(fd);
}

void writeBytesAtomically(const QByteArray& bytes, const QString& path) {
    writeAtomically(path,
                    [&bytes](QIODevice& device) { return device.write(bytes) == bytes.size(); });
}

bool writeAtomically(const QString& path, const std::function<bool(QIODevice&)>& produce,
                     const std::function<bool()>& confirm) {
    const AtomicWriteHold hold(path);
    struct stat existing {};
    const bool exists = ::stat(QFile::encodeName(path).constData(), &existing) == 0;
    if (exists) {
        refuseNonRegularDestination(existing, path);
        // An earlier in-place write of the file stopped part-way is settled first: the write
        // starts from the old bytes, and never throws away the only whole copy of them.
        if (const InPlaceWriteSettlement settled = settleInterruptedInPlaceWrite(path);
            settled.outcome == InPlaceWriteSettle::CopyLeft)
            throw FileError(
                FileErrorCode::FileWriteUnknown, path,
                localizedString(QStringLiteral("text-file.interrupted-write-kept.format"))
                    .arg(settled.copy));
        if (::stat(QFile::encodeName(path).constData(), &existing) != 0)
            throw FileError::fromErrno(errno, path, true);
        // A rename would leave the other names with the old bytes.
        if (existing.st_nlink > 1)
            return writeInPlace(path, produce, confirm);
    }
    // A new file only readable by those who may read the one it replaces, until its attributes
    // are carried over.
    ReplacementFile file(path, exists ? (existing.st_mode & 0777) : 0666);
    errno = 0;
    // What is still buffered (up to 16 KB) is written by the flush: a failure there is a
    // failed write too.
    if (!produce(file.device()) || !file.device().flush())
        throw writeError(file.device(), errno, path);
    if (exists) {
        // A new file that cannot stand for the old one would change who may use it.
        if (carryFileAttributes(canonicalFilePath(path), existing, file.handle(), path) ==
            AttributeCarry::Refused) {
            file.cancel();
            return writeInPlace(path, produce, confirm);
        }
    }
    // Synced before the rename, so a failure leaves the old file in place; after the rename
    // only the folder is left to sync.
    if (const int syncErrno = syncFileData(file.handle()))
        throw syncError(syncErrno, path);
    if (confirm && !confirm())
        return false;
    file.commit();
    // The new name lives in the folder of the file written (through a link, the link's
    // target): only once that folder is synced does the replacement survive a power cut.
    if (const int syncErrno = syncFolderOf(canonicalFilePath(path))) {
        const FileError error = syncError(syncErrno, path);
        throw UnconfirmedReplacement(error.code(), error.path(), error.systemMessage());
    }
    return true;
}

} // namespace dunmoss
