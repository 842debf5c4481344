#include "text/FolderReplacementWrites.h"

#include "platform/FileError.h"
#include "platform/PosixFile.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dunmoss {

namespace {

[[noreturn]] void fail(const QString& path) {
    throw FileError::fromErrno(errno, path, true);
}

// Copies in the kernel where it can, else through a buffer.
void copyContent(int from, int to, const QString& path) {
    bool inKernel = true;
    for (;;) {
        if (inKernel) {
            const ssize_t copied = ::copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
            if (copied > 0)
                continue;
            if (copied == 0)
                return;
            if (errno == EINTR)
                continue;
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
                fail(path);
            inKernel = false;
        }
        char buffer[65536];
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw FileError::fromErrno(errno, path, false);
        }
        if (got == 0)
            return;
        writeAll(to, QByteArrayView(buffer, got), path);
    }
}

// Starts writing the file's pages now, so the phase's sync finds them on their way.
void startWriteBack(int fd) {
    ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
}

} // namespace

void keepFileExclusively(const QString& source, const QString& destination) {
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(destination);
    // A second name costs a small fraction of a copy. link() never follows a link at the
    // source, and the new name is checked to be the regular file that was looked at.
    struct stat original {};
    if (::lstat(from.constData(), &original) == 0 && S_ISREG(original.st_mode) &&
        original.st_nlink == 1) {
        if (::link(from.constData(), to.constData()) == 0) {
            struct stat linked {};
            if (::lstat(to.constData(), &linked) == 0 && S_ISREG(linked.st_mode) &&
                linked.st_ino == original.st_ino && linked.st_dev == original.st_dev &&
                linked.st_nlink == 2)
                return;
            ::unlink(to.constData());
        } else if (errno == EEXIST) {
            fail(destination);
        }
        // Another file system, one without hard links, or links refused: copy instead.
    }
    UniqueFd in(::open(from.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (in.get() < 0)
        throw FileError::fromErrno(errno, source, false);
    struct stat attributes {};
    if (::fstat(in.get(), &attributes) != 0)
        throw FileError::fromErrno(errno, source, false);
    if (!S_ISREG(attributes.st_mode))
        throw FileError(FileErrorCode::FileReadUnknown, source);
    UniqueFd out(
        ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.get() < 0)
        fail(destination);
    try {
        copyContent(in.get(), out.get(), destination);
        if (::fchmod(out.get(), attributes.st_mode & 07777) != 0)
            fail(destination);
        startWriteBack(out.get());
        if (out.close() != 0)
            fail(destination);
    } catch (...) {
        ::unlink(to.constData());
        throw;
    }
}

QString writeBesideFile(const QString& path, const QByteArray& bytes, quint64& device) {
    const QByteArray native = QFile::encodeName(path);
    // The walk saw a regular file; never write through something put in its place since.
    struct stat original {};
    if (::lstat(native.constData(), &original) != 0 || !S_ISREG(original.st_mode))
        throw FileError(FileErrorCode::FileWriteUnknown, path);
    const QFileInfo info(path);
    // Hidden, so no folder walk picks it up should the run be stopped before the rename.
    QByteArray name = QFile::encodeName(info.path() + QStringLiteral("/.") + info.fileName() +
                                        QStringLiteral(".dunmoss-XXXXXX"));
    UniqueFd out(::mkostemp(name.data(), O_CLOEXEC));
    if (out.get() < 0)
        fail(path);
    const QString temporary = QFile::decodeName(name);
    try {
        writeAll(out.get(), bytes, temporary);
        struct stat written {};
        if (::fchmod(out.get(), original.st_mode & 07777) != 0 || ::fstat(out.get(), &written) != 0)
            fail(temporary);
        device = written.st_dev;
        startWriteBack(out.get());
        if (out.close() != 0)
            fail(temporary);
    } catch (...) {
        ::unlink(name.constData());
        throw;
    }
    return temporary;
}

void syncFileSystemOf(const QString& folder) {
    UniqueFd fd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0 || ::syncfs(fd.get()) != 0)
        fail(folder);
}

} // namespace dunmoss
