#include "platform/FileStat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <sys/stat.h>

namespace dunmoss {

namespace {

FileKind kindOf(mode_t mode) {
    if (S_ISREG(mode))
        return FileKind::Regular;
    if (S_ISDIR(mode))
        return FileKind::Directory;
    if (S_ISLNK(mode))
        return FileKind::Symlink;
    if (S_ISFIFO(mode))
        return FileKind::Fifo;
    if (S_ISCHR(mode))
        return FileKind::CharacterDevice;
    if (S_ISBLK(mode))
        return FileKind::BlockDevice;
    if (S_ISSOCK(mode))
        return FileKind::Socket;
    return FileKind::Other;
}

std::atomic<bool>& wholeSecondTimes() {
    static std::atomic<bool> whole{false};
    return whole;
}

std::optional<FileStatus> fromStat(int rc, const struct stat& st) {
    if (rc != 0)
        return std::nullopt;
    return fileStatusOf(st);
}

} // namespace

FileStatus fileStatusOf(const struct stat& st) {
    FileStatus status;
    status.kind = kindOf(st.st_mode);
    status.size = static_cast<qint64>(st.st_size);
    status.modified = FileTimestamp{static_cast<qint64>(st.st_mtim.tv_sec),
                                    static_cast<qint64>(st.st_mtim.tv_nsec)};
    status.identity =
        FileIdentity{static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino)};
    status.changed = FileTimestamp{static_cast<qint64>(st.st_ctim.tv_sec),
                                   static_cast<qint64>(st.st_ctim.tv_nsec)};
    if (wholeSecondTimes().load(std::memory_order_relaxed)) {
        status.modified.nanoseconds = 0;
        status.changed.nanoseconds = 0;
    }
    return status;
}

void reportWholeSecondFileTimesForTesting(bool whole) {
    wholeSecondTimes().store(whole);
}

FileTimestamp FileTimestamp::fromSecondsSinceEpoch(double value) {
    // Stored dates come from files anyone can edit: no number may overflow the conversion.
    constexpr double kLimit = 9.2e18;
    if (!std::isfinite(value))
        return FileTimestamp{};
    value = std::clamp(value, -kLimit, kLimit);
    const double whole = std::floor(value);
    FileTimestamp timestamp{static_cast<qint64>(whole),
                            static_cast<qint64>(std::llround((value - whole) * 1e9))};
    if (timestamp.nanoseconds >= 1'000'000'000) { // the fraction rounded up to a whole second
        timestamp.seconds += 1;
        timestamp.nanoseconds -= 1'000'000'000;
    }
    return timestamp;
}

QDateTime FileTimestamp::toDateTime() const {
    constexpr qint64 kLimit = std::numeric_limits<qint64>::max() / 1000 - 1;
    const qint64 clamped = std::clamp(seconds, -kLimit, kLimit);
    return QDateTime::fromMSecsSinceEpoch(clamped * 1000 + nanoseconds / 1000000, QTimeZone::utc());
}

std::optional<FileStatus> statPath(const QString& path) {
    if (path.isEmpty())
        return std::nullopt;
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    return fromStat(::stat(native.constData(), &st), st);
}

std::optional<FileStatus> lstatPath(const QString& path) {
    if (path.isEmpty())
        return std::nullopt;
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    return fromStat(::lstat(native.constData(), &st), st);
}

std::optional<FileTimestamp> fileModificationDate(const QString& path) {
    if (auto s = statPath(path))
        return s->modified;
    return std::nullopt;
}

std::optional<qint64> fileSize(const QString& path) {
    if (auto s = statPath(path))
        return s->size;
    return std::nullopt;
}

std::optional<FileIdentity> fileIdentity(const QString& path) {
    if (auto s = statPath(path))
        return s->identity;
    return std::nullopt;
}

QString canonicalFilePath(const QString& path) {
    if (path.isEmpty())
        return {};
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace dunmoss
