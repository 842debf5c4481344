#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <optional>

struct stat;

namespace dunmoss {

// A point in time with nanosecond precision, as the file system reports modification dates.
struct FileTimestamp {
    qint64 seconds = 0;
    qint64 nanoseconds = 0;

    double toSecondsSinceEpoch() const { return double(seconds) + double(nanoseconds) / 1e9; }
    static FileTimestamp fromSecondsSinceEpoch(double value);
    QDateTime toDateTime() const;
    friend bool operator==(const FileTimestamp&, const FileTimestamp&) = default;
};

// The pair that names a file independently of its path (survives renames and hard links).
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

enum class FileKind {
    Regular,
    Directory,
    Symlink,
    Fifo,
    CharacterDevice,
    BlockDevice,
    Socket,
    Other
};

struct FileStatus {
    FileKind kind = FileKind::Other;
    qint64 size = 0;
    FileTimestamp modified;
    FileIdentity identity;
    // The change time (ctime), which every write moves, but also a new name, owner, mode or
    // attribute: left out of ==, which asks whether the file may hold other bytes.
    FileTimestamp changed;
    friend bool operator==(const FileStatus& a, const FileStatus& b) {
        return a.kind == b.kind && a.size == b.size && a.modified == b.modified &&
               a.identity == b.identity;
    }
};

// The status of what fstat() or stat() filled in.
FileStatus fileStatusOf(const struct stat& attributes);
// Tests only: every status reports its times in whole seconds, as a file system that keeps no
// finer time does.
void reportWholeSecondFileTimesForTesting(bool whole);

// stat() of a path, following symbolic links; nothing when it cannot be read.
std::optional<FileStatus> statPath(const QString& path);
// lstat(): the link itself.
std::optional<FileStatus> lstatPath(const QString& path);

std::optional<FileTimestamp> fileModificationDate(const QString& path);
std::optional<qint64> fileSize(const QString& path);
std::optional<FileIdentity> fileIdentity(const QString& path);

// Symbolic links resolved and the path cleaned; for a missing file, the cleaned absolute path.
QString canonicalFilePath(const QString& path);

} // namespace dunmoss
