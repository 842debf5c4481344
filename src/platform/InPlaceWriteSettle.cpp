#include "platform/InPlaceWriteSettle.h"

#include "platform/FileError.h"
#include "platform/FileStat.h"
#include "platform/FileWriteHold.h"
#include "platform/FolderSync.h"
#include "platform/PosixFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dunmoss {

namespace {

QString copyPathBeside(const QString& target, quint64 inode, QLatin1StringView kind) {
    const QFileInfo info(target);
    return info.path() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".dunmoss-") +
           kind + QLatin1Char('-') + QString::number(inode, 16);
}

// The SHA-256 of an open file's bytes; nothing when they could not be read.
std::optional<QByteArray> digestOf(int fd) {
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return hash.result();
        hash.addData(QByteArrayView(buffer, got));
    }
}

// A copy beside `file` that this program made: a regular file with one name, made by this user
// or given the file's owner, and no writer alive that still holds it. Opened without following
// a link or waiting on a FIFO.
UniqueFd openOwnCopy(const QByteArray& name, const struct stat& file) {
    UniqueFd copy(::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat attributes {};
    if (!copy.isOpen() || ::fstat(copy.get(), &attributes) != 0 || !S_ISREG(attributes.st_mode) ||
        attributes.st_nlink != 1 ||
        (attributes.st_uid != ::geteuid() && attributes.st_uid != file.st_uid))
        return UniqueFd();
    return copy;
}

bool isHeldByALiveWriter(int copy) {
    return ::flock(copy, LOCK_EX | LOCK_NB) != 0;
}

bool putBack(int kept, int file, const QString& path) {
    return overwriteWithContentOf(kept, file, path) && ::fdatasync(file) == 0;
}

} // namespace

QString inPlaceKeptCopyPath(const QString& canonicalTarget, quint64 inode) {
    return copyPathBeside(canonicalTarget, inode, QLatin1StringView("kept"));
}

QString inPlaceCopyInTheMakingPath(const QString& canonicalTarget, quint64 inode) {
    return copyPathBeside(canonicalTarget, inode, QLatin1StringView("keeping"));
}

InPlaceWriteSettle settleInterruptedInPlaceWrite(const QString& path,
                                                 const std::optional<QByteArray>& notedDigest) {
    const AtomicWriteHold hold(path);
    const QString target = canonicalFilePath(path);
    const QByteArray targetName = QFile::encodeName(target);
    struct stat attributes {};
    if (::stat(targetName.constData(), &attributes) != 0 || !S_ISREG(attributes.st_mode))
        return InPlaceWriteSettle::Nothing;
    const QByteArray making =
        QFile::encodeName(inPlaceCopyInTheMakingPath(target, attributes.st_ino));
    if (const UniqueFd half = openOwnCopy(making, attributes);
        half.isOpen() && !isHeldByALiveWriter(half.get()))
        ::unlink(making.constData());

    const QString keptPath = inPlaceKeptCopyPath(target, attributes.st_ino);
    const QByteArray keptName = QFile::encodeName(keptPath);
    const UniqueFd kept = openOwnCopy(keptName, attributes);
    if (!kept.isOpen())
        return InPlaceWriteSettle::Nothing;
    if (isHeldByALiveWriter(kept.get()))
        return InPlaceWriteSettle::CopyLeft;
    const UniqueFd file(::open(targetName.constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    struct stat opened {};
    if (!file.isOpen() || ::fstat(file.get(), &opened) != 0 || opened.st_ino != attributes.st_ino ||
        opened.st_dev != attributes.st_dev)
        return InPlaceWriteSettle::CopyLeft;

    auto dropKept = [&](InPlaceWriteSettle outcome) {
        ::unlink(keptName.constData());
        // Should the removal not reach the disk, the copy is settled again next time.
        static_cast<void>(syncFolder(QFileInfo(target).absolutePath()));
        return outcome;
    };
    const std::optional<QByteArray> now = digestOf(file.get());
    if (!now)
        return InPlaceWriteSettle::CopyLeft;
    if (notedDigest && *now == *notedDigest)
        return dropKept(InPlaceWriteSettle::KeptWrittenBytes);
    // Stopped before its first byte was written: nothing to put back.
    if (digestOf(kept.get()) == now)
        return dropKept(InPlaceWriteSettle::PutOldBytesBack);
    if (!putBack(kept.get(), file.get(), path))
        return InPlaceWriteSettle::CopyLeft;
    return dropKept(InPlaceWriteSettle::PutOldBytesBack);
}

} // namespace dunmoss
