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

} // namespace dunmoss
