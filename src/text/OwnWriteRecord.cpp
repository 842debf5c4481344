#include "text/OwnWriteRecord.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <algorithm>
#include <atomic>

namespace dunmoss {

namespace {

QString recordPath(const QString& folder, const QUuid& tabID) {
    return folder + QLatin1Char('/') + tabID.toString(QUuid::WithoutBraces) +
           QStringLiteral(".json");
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
    return OwnWriteRecord{
        path,      digest,      qint64(object.value(QStringLiteral("size")).toDouble(-1)),
        *encoding, *lineEnding, object.value(QStringLiteral("takenAt")).toDouble()};
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

bool storeOwnWriteRecord(const QString& folder, const QUuid& tabID, const OwnWriteRecord& record) {
    const QJsonObject object{
        {QStringLiteral("path"), record.path},
        {QStringLiteral("sha256"), QString::fromLatin1(record.digest.toHex())},
        {QStringLiteral("size"), double(record.size)},
        {QStringLiteral("encoding"), identifier(record.encoding)},
        {QStringLiteral("lineEnding"), identifier(record.lineEnding)},
        {QStringLiteral("takenAt"), record.takenAt},
    };
    const QByteArray data = QJsonDocument(object).toJson(QJsonDocument::Compact);
    if (!QDir().mkpath(folder))
        return false;
    // The note must be on disk before the file it names is replaced: commit() syncs it.
    QSaveFile file(recordPath(folder, tabID));
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit();
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
