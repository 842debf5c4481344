#include "text/FolderReplacementWrites.h"

#include "platform/FileAttributes.h"
#include "platform/FileError.h"
#include "platform/FileStat.h"
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
        copyFileContent(in.get(), out.get(), destination);
        if (const int error = keepOwnerGroupAndMode(out.get(), attributes.st_uid, attributes.st_gid,
                                                    attributes.st_mode)) {
            errno = error;
            fail(destination);
        }
        startWriteBack(out.get());
        if (out.close() != 0)
            fail(destination);
    } catch (...) {
        ::unlink(to.constData());
        throw;
    }
}

QString temporaryPathBeside(const QString& path, const QString& runTag) {
    const QFileInfo info(path);
    return info.path() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".dunmoss-") +
           runTag;
}

bool isStillAsRead(const QString& path, const FileStatus& read) {
    const std::optional<FileStatus> now = lstatPath(path);
    return now && now->kind == FileKind::Regular && *now == read;
}

std::variant<StagedFile, LeftAsItIs> writeBesideFile(const QString& path, const QByteArray& bytes,
                                                     const FileStatus& read,
                                                     const QString& runTag) {
    // The walk saw a regular file; never write through something put in its place since, and
    // never replace a file changed since it was read.
    struct stat original {};
    if (::lstat(QFile::encodeName(path).constData(), &original) != 0 ||
        !S_ISREG(original.st_mode) || fileStatusOf(original) != read)
        return LeftAsItIs::ChangedSinceRead;
    // Hidden, so no folder walk picks it up should the run be stopped before the rename; named
    // after the run, so that what a stopped run left is known as its own.
    StagedFile staged{temporaryPathBeside(path, runTag), {}, {}};
    const QByteArray name = QFile::encodeName(staged.path);
    UniqueFd out(
        ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.get() < 0)
        fail(staged.path);
    try {
        writeAll(out.get(), bytes, staged.path);
        // The run has no write in place: a file a new one cannot stand for (another user's, in
        // a folder shared by a group) is left to its owner, and the run goes on.
        if (carryFileAttributes(path, original, out.get(), path) == AttributeCarry::Refused) {
            out.reset();
            ::unlink(name.constData());
            return LeftAsItIs::AttributesNotKept;
        }
        struct stat written {};
        if (::fstat(out.get(), &written) != 0)
            fail(staged.path);
        staged.written = fileStatusOf(written);
        staged.identity = staged.written.identity;
        startWriteBack(out.get());
        if (out.close() != 0)
            fail(staged.path);
    } catch (...) {
        ::unlink(name.constData());
        throw;
    }
    return staged;
}

void syncFileSystemOf(const QString& folder) {
    UniqueFd fd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0 || ::syncfs(fd.get()) != 0)
        fail(folder);
}

} // namespace dunmoss
