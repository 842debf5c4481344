#include "platform/ReplacementFile.h"

#include "platform/FileError.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace dunmoss {

namespace {

// A link's chain followed to its end, even where that end does not exist yet.
QString finalTargetOf(const QString& path) {
    QFileInfo link(path);
    for (int depth = 0; depth < 128 && link.isSymLink(); ++depth)
        link.setFile(link.symLinkTarget());
    return link.isSymLink() ? path : link.filePath();
}

} // namespace

ReplacementFile::ReplacementFile(const QString& path, mode_t mode)
    : m_path(path), m_finalPath(finalTargetOf(path)) {
    const QByteArray base = QFile::encodeName(m_finalPath);
    // A file its writer may not write is not replaced behind its back.
    if (::access(base.constData(), W_OK) != 0 && errno != ENOENT)
        throw FileError::fromErrno(errno, path, true);
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    for (int attempt = 0; attempt < 100 && !m_fd.isOpen(); ++attempt) {
        QByteArray name = base + '.';
        for (int i = 0; i < 6; ++i)
            name += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)];
        m_fd = UniqueFd(
            ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (m_fd.isOpen())
            m_tempName = name;
        else if (errno != EEXIST)
            break;
    }
    if (!m_fd.isOpen())
        throw FileError::fromErrno(errno, path, true);
    m_device.open(m_fd.get(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
}

ReplacementFile::~ReplacementFile() {
    cancel();
}

void ReplacementFile::cancel() {
    m_device.close();
    m_fd.reset();
    if (!m_tempName.isEmpty())
        ::unlink(m_tempName.constData());
    m_tempName.clear();
}

void ReplacementFile::commit() {
    m_device.close();
    int error = m_fd.close() == 0 ? 0 : errno;
    if (error == 0 &&
        ::rename(m_tempName.constData(), QFile::encodeName(m_finalPath).constData()) != 0)
        error = errno;
    if (error != 0) {
        cancel();
        throw FileError::fromErrno(error, m_path, true);
    }
    m_tempName.clear();
}

} // namespace dunmoss
