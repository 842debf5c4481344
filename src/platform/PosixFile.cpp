#include "platform/PosixFile.h"

#include "platform/FileError.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace dunmoss {

UniqueFd::UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        reset();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

void UniqueFd::reset() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

int UniqueFd::close() {
    return ::close(std::exchange(m_fd, -1));
}

void writeAll(int fd, QByteArrayView bytes, const QString& path) {
    const char* data = bytes.data();
    size_t left = size_t(bytes.size());
    while (left > 0) {
        const ssize_t put = ::write(fd, data, left);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            throw FileError::fromErrno(errno, path, true);
        }
        data += put;
        left -= size_t(put);
    }
}

void keepOwnerAndGroup(int fd, uid_t owner, gid_t group) {
    struct stat now {};
    if (::fstat(fd, &now) == 0 && now.st_uid == owner && now.st_gid == group)
        return;
    if (::fchown(fd, owner, group) != 0 && now.st_gid != group)
        static_cast<void>(::fchown(fd, uid_t(-1), group));
}

int keepOwnerGroupAndMode(int fd, uid_t owner, gid_t group, mode_t mode) {
    keepOwnerAndGroup(fd, owner, group);
    mode &= 07777;
    struct stat now {};
    if (::fstat(fd, &now) != 0)
        return errno;
    if (now.st_uid != owner)
        mode &= ~mode_t(S_ISUID | S_ISGID);
    if (now.st_gid != group)
        mode &= ~mode_t(S_ISGID);
    return ::fchmod(fd, mode) == 0 ? 0 : errno;
}

void copyFileContent(int from, int to, const QString& path) {
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
                throw FileError::fromErrno(errno, path, true);
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

} // namespace dunmoss
