#include "platform/InstanceLock.h"

#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dunmoss {

InstanceLock::~InstanceLock() {
    if (m_fd < 0)
        return;
    // Removed while still held: a process that opened the file meanwhile finds, once it holds
    // the lock, that the name is no longer that file and tries again.
    ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_fd);
}

InstanceLock::Result InstanceLock::tryLock() {
    if (m_fd >= 0)
        return Result::Locked;
    const QByteArray native = QFile::encodeName(m_path);
    // A few turns at most: each is lost only to a holder that let go at that very moment.
    for (int turn = 0; turn < 16; ++turn) {
        // A link planted at the name is not followed.
        const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            m_error = errno;
            return Result::Unavailable;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int failure = errno;
            ::close(fd);
            if (failure == EWOULDBLOCK)
                return Result::HeldByAnother;
            if (failure == EINTR)
                continue;
            m_error = failure;
            return Result::Unavailable;
        }
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) != 0 || ::lstat(native.constData(), &named) != 0 ||
            held.st_dev != named.st_dev || held.st_ino != named.st_ino) {
            // The holder before removed the file as it let go.
            ::close(fd);
            continue;
        }
        // The program's name as the system knows the process by it.
        const QString program =
            QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).fileName();
        const QByteArray holder = QByteArray::number(qint64(::getpid())) + '\n' +
                                  QFile::encodeName(program) + '\n' +
                                  QSysInfo::machineHostName().toUtf8() + '\n';
        // What an earlier holder wrote goes; the lock holds even when this write fails.
        if (::ftruncate(fd, 0) == 0) {
            QFile file;
            if (file.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
                file.write(holder);
        }
        m_fd = fd;
        return Result::Locked;
    }
    return Result::HeldByAnother;
}

} // namespace dunmoss
