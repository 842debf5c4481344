#include "platform/Bookmark.h"

#include "platform/FileStat.h"
#include "platform/UnicodeFastCodecs.h"

#include <QDir>
#include <QFileInfo>

namespace dunmoss {

namespace {

// Layout: magic, version, device and inode (big-endian 64-bit), path length (big-endian
// 32-bit), then exactly that many bytes of UTF-8 path.
constexpr char kMagic[4] = {'D', 'M', 'B', 'K'};
constexpr quint8 kVersion = 1;
constexpr qsizetype kHeaderSize = 4 + 1 + 8 + 8 + 4;
// Far beyond any real path; refuses absurd lengths before allocating.
constexpr quint32 kMaximumPathBytes = 64 * 1024;

void appendBigEndian(QByteArray& out, quint64 value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xff));
}

quint64 readBigEndian(const QByteArray& data, qsizetype offset, int bytes) {
    quint64 value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | static_cast<quint8>(data.at(offset + i));
    return value;
}

} // namespace

QByteArray makeBookmark(const QString& path) {
    if (path.isEmpty())
        return {};
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (!QDir::isAbsolutePath(absolute))
        return {};
    const std::optional<FileStatus> status = statPath(absolute);
    if (!status)
        return {};
    const QByteArray utf8 = absolute.toUtf8();
    if (utf8.size() > qsizetype(kMaximumPathBytes))
        return {};
    QByteArray out;
    out.reserve(kHeaderSize + utf8.size());
    out.append(kMagic, sizeof kMagic);
    out.append(static_cast<char>(kVersion));
    appendBigEndian(out, status->identity.device, 8);
    appendBigEndian(out, status->identity.inode, 8);
    appendBigEndian(out, static_cast<quint64>(utf8.size()), 4);
    out.append(utf8);
    return out;
}

std::optional<ResolvedBookmark> resolveBookmark(const QByteArray& data) {
    if (data.size() < kHeaderSize || !data.startsWith(QByteArray(kMagic, sizeof kMagic)))
        return std::nullopt;
    if (static_cast<quint8>(data.at(4)) != kVersion)
        return std::nullopt;
    const FileIdentity identity{readBigEndian(data, 5, 8), readBigEndian(data, 13, 8)};
    const quint64 length = readBigEndian(data, 21, 4);
    if (length == 0 || length > kMaximumPathBytes || qsizetype(length) != data.size() - kHeaderSize)
        return std::nullopt;
    const QByteArray pathBytes = data.mid(kHeaderSize);
    if (pathBytes.contains('\0'))
        return std::nullopt;
    const std::optional<QString> path = decodeUtf8Strict(pathBytes);
    if (!path || !path->startsWith(QLatin1Char('/')) || QDir::cleanPath(*path) != *path)
        return std::nullopt;
    const std::optional<FileStatus> status = statPath(*path);
    if (!status)
        return std::nullopt;
    return ResolvedBookmark{*path, !(status->identity == identity)};
}

} // namespace dunmoss
