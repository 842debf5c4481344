#include "text/OwnWriteRecord.h"

#include "platform/DiskProgress.h"
#include "platform/FolderSync.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <unistd.h>

namespace dunmoss {

namespace {

QString recordPath(const QString& folder, const QUuid& tabID) {
    return folder + QLatin1Char('/') + tabID.toString(QUuid::WithoutBraces) +
           QStringLiteral(".json");
}

// Device and inode numbers may use all 64 bits, more than a JSON number keeps: as decimal text.
QJsonObject encodeStatus(const FileStatus& status) {
    const auto time = [](const FileTimestamp& stamp) {
        return QJsonArray{double(stamp.seconds), double(stamp.nanoseconds)};
    };
    return QJsonObject{
        {QStringLiteral("device"), QString::number(status.identity.device)},
        {QStringLiteral("inode"), QString::number(status.identity.inode)},
        {QStringLiteral("size"), double(status.size)},
        {QStringLiteral("modified"), time(status.modified)},
        {QStringLiteral("changed"), time(status.changed)},
    };
}

std::optional<FileStatus> decodeStatus(const QJsonValue& value) {
    const QJsonObject object = value.toObject();
    bool deviceRead = false;
    bool inodeRead = false;
    FileStatus status;
    status.kind = FileKind::Regular;
    status.identity.device =
        object.value(QStringLiteral("device")).toString().toULongLong(&deviceRead);
    status.identity.inode =
        object.value(QStringLiteral("inode")).toString().toULongLong(&inodeRead);
    status.size = qint64(object.value(QStringLiteral("size")).toDouble(-1));
    const auto time = [&](const QString& key, FileTimestamp& stamp) {
        const QJsonArray pair = object.value(key).toArray();
        if (pair.size() != 2 || !pair.at(0).isDouble() || !pair.at(1).isDouble())
            return false;
        stamp = FileTimestamp{qint64(pair.at(0).toDouble()), qint64(pair.at(1).toDouble())};
        return true;
    };
    if (!deviceRead || !inodeRead || status.size < 0 ||
        !time(QStringLiteral("modified"), status.modified) ||
        !time(QStringLiteral("changed"), status.changed))
        return std::nullopt;
    return status;
}

std::optional<OwnWriteRecord> decodeRecord(const QByteArray& data) {
    const QJsonObject object = QJsonDocument::fromJson(data).object();
    const std::optional<TextFileEncoding> encoding =
        textFileEncodingFromIdentifier(object.value(QStringLiteral("encoding")).toString());
    const std::optional<TextLineEnding> lineEnding =
        textLineEndingFromIdentifier(object.value(QStringLiteral("lineEnding")).toString());
    const QByteArray digest =
        QByteArray::fromHex(object.value(QStringLiteral("sha256")).toString().toLatin1());
    const QString path = object.value(QStringLiteral("path")).toString();
    if (!encoding || !lineEnding || digest.size() != 32 || path.isEmpty())
        return std::nullopt;
    return OwnWriteRecord{path,
                          digest,
                          qint64(object.value(QStringLiteral("size")).toDouble(-1)),
                          *encoding,
                          *lineEnding,
                          object.value(QStringLiteral("takenAt")).toDouble(),
                          decodeStatus(object.value(QStringLiteral("before")))};
}

} // namespace

QByteArray ownWriteDigest(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

double orderedSecondsSinceEpoch() {
    static std::atomic<qint64> last{0};
    qint64 previous = last.load();
    qint64 next = 0;
    do
        next = std::max(QDateTime::currentMSecsSinceEpoch(), previous + 1);
    while (!last.compare_exchange_weak(previous, next));
    return double(next) / 1000.0;
}

QString ownWriteRecordFolder(const QString& recoveryDirectory) {
    return recoveryDirectory + QStringLiteral("/Writes");
}

bool storeOwnWriteRecord(const QString& folder, const QUuid& tabID, const OwnWriteRecord& record,
                         bool durable) {
    QJsonObject object{
        {QStringLiteral("path"), record.path},
        {QStringLiteral("sha256"), QString::fromLatin1(record.digest.toHex())},
        {QStringLiteral("size"), double(record.size)},
        {QStringLiteral("encoding"), identifier(record.encoding)},
        {QStringLiteral("lineEnding"), identifier(record.lineEnding)},
        {QStringLiteral("takenAt"), record.takenAt},
    };
    if (record.fileBefore)
        object.insert(QStringLiteral("before"), encodeStatus(*record.fileBefore));
    const QByteArray data = QJsonDocument(object).toJson(QJsonDocument::Compact);
    if (!QDir().mkpath(folder))
        return false;
    // Written aside and renamed, so a note is whole or the previous one.
    const QString target = recordPath(folder, tabID);
    const QString aside = target + QStringLiteral(".new");
    QFile file(aside);
    const auto synced = [&](auto sync) {
        if (!durable)
            return true;
        const DiskStep step;
        return sync();
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size() ||
        !file.flush() || !synced([&] { return ::fdatasync(file.handle()) == 0; })) {
        file.close();
        QFile::remove(aside);
        return false;
    }
    file.close();
    if (std::rename(QFile::encodeName(aside).constData(), QFile::encodeName(target).constData()) !=
        0) {
        QFile::remove(aside);
        return false;
    }
    return synced([&] { return syncFolder(folder) == 0; });
}

void removeOwnWriteRecord(const QString& folder, const QUuid& tabID) {
    QFile::remove(recordPath(folder, tabID));
}

std::optional<OwnWriteRecord> readOwnWriteRecord(const QString& folder, const QUuid& tabID) {
    QFile file(recordPath(folder, tabID));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // A note is a few hundred bytes; anything larger is not one.
    return decodeRecord(file.read(64 * 1024));
}

void pruneOwnWriteRecords(const QString& folder, const QSet<QUuid>& kept, double before) {
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("*.json")}, QDir::Files)) {
        const QUuid tabID = QUuid::fromString(name.chopped(5));
        if (tabID.isNull() || kept.contains(tabID))
            continue;
        const std::optional<OwnWriteRecord> record = readOwnWriteRecord(folder, tabID);
        if (!record || record->takenAt < before)
            QFile::remove(dir.filePath(name));
    }
}

} // namespace dunmoss
