#include "platform/FolderSync.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace dunmoss {

int syncFolder(const QString& folder) {
    const QByteArray native = QFile::encodeName(folder);
    int fd = -1;
    do {
        fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return errno;
    int result = 0;
    if (::fsync(fd) != 0)
        result = errno;
    // A folder opened for reading holds nothing to write back: its close cannot fail in a way
    // that matters.
    ::close(fd);
    return result;
}

} // namespace dunmoss
