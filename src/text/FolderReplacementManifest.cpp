#include "text/FolderReplacementManifest.h"

#include "platform/FileError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>

namespace dunmoss {

namespace {

[[noreturn]] void corrupt(const QString& path) {
    throw FileError(FileErrorCode::FileReadCorruptFile, path);
}

// A JSON number that is a whole number within the exactly representable range.
std::optional<qint64> wholeNumber(const QJsonValue& value) {
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    constexpr double kLimit = 9007199254740992.0; // 2^53
    if (!std::isfinite(number) || std::floor(number) != number || std::fabs(number) > kLimit)
        return std::nullopt;
    return qint64(number);
}

std::optional<QDateTime> internetDateTime(const QJsonValue& value) {
    static const QRegularExpression form(QStringLiteral(
        "\\A[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}(Z|[+-][0-9]{2}:[0-9]{2})\\z"));
    if (!value.isString())
        return std::nullopt;
    const QString text = value.toString();
    if (!form.match(text).hasMatch())
        return std::nullopt;
    const QDateTime date = QDateTime::fromString(text, Qt::ISODate).toUTC();
    // Years the four-digit form can write back.
    if (!date.isValid() || date.date().year() < 1 || date.date().year() > 9999)
        return std::nullopt;
    return date;
}

quint64 decimal(const QJsonValue& value, const QString& path) {
    bool ok = false;
    const QString text = value.toString();
    const quint64 number = text.toULongLong(&ok);
    if (!value.isString() || !ok || text != QString::number(number))
        corrupt(path);
    return number;
}

PendingFolderReplacement pendingReplacement(const QJsonValue& value, const QString& path) {
    const QJsonObject object = value.toObject();
    const QJsonValue name = object.value(QStringLiteral("path"));
    const auto count = wholeNumber(object.value(QStringLiteral("replacementCount")));
    if (!value.isObject() || !name.isString() || !count)
        corrupt(path);
    return {name.toString(), decimal(object.value(QStringLiteral("device")), path),
            decimal(object.value(QStringLiteral("inode")), path), *count};
}

FolderReplacementWrite writtenFile(const QJsonValue& value, const QString& path) {
    static const QRegularExpression hex(QStringLiteral("\\A[0-9a-f]{64}\\z"));
    const QJsonObject object = value.toObject();
    const auto size = wholeNumber(object.value(QStringLiteral("size")));
    const auto seconds = wholeNumber(object.value(QStringLiteral("modifiedSeconds")));
    const auto nanoseconds = wholeNumber(object.value(QStringLiteral("modifiedNanoseconds")));
    const QJsonValue digest = object.value(QStringLiteral("sha256"));
    if (!value.isObject() || !size || *size < 0 || !seconds || !nanoseconds || *nanoseconds < 0 ||
        *nanoseconds >= 1000000000 || !digest.isString() ||
        !hex.match(digest.toString()).hasMatch())
        corrupt(path);
    return {decimal(object.value(QStringLiteral("device")), path),
            decimal(object.value(QStringLiteral("inode")), path),
            *size,
            *seconds,
            *nanoseconds,
            QByteArray::fromHex(digest.toString().toLatin1())};
}

} // namespace

QByteArray encodeFolderReplacementManifest(const FolderReplacementManifest& manifest) {
    QJsonObject object;
    QDateTime created = manifest.createdAt.toUTC();
    created.setTime(QTime(created.time().hour(), created.time().minute(), created.time().second()));
    object.insert(QStringLiteral("createdAt"), created.toString(Qt::ISODate));
    object.insert(QStringLiteral("files"), QJsonArray::fromStringList(manifest.files));
    object.insert(QStringLiteral("formatVersion"), manifest.formatVersion);
    object.insert(QStringLiteral("replacementCount"), manifest.replacementCount);
    object.insert(QStringLiteral("rootPath"), manifest.rootPath);
    if (!manifest.pending.isEmpty()) {
        QJsonArray pending;
        for (const PendingFolderReplacement& file : manifest.pending)
            pending.append(QJsonObject{
                {QStringLiteral("path"), file.path},
                // Decimal texts: an inode number may exceed what a JSON number holds exactly.
                {QStringLiteral("device"), QString::number(file.device)},
                {QStringLiteral("inode"), QString::number(file.inode)},
                {QStringLiteral("replacementCount"), file.replacementCount},
            });
        object.insert(QStringLiteral("pending"), pending);
    }
    if (manifest.unfinished)
        object.insert(QStringLiteral("unfinished"), true);
    if (!manifest.written.isEmpty()) {
        QJsonObject written;
        for (auto it = manifest.written.cbegin(); it != manifest.written.cend(); ++it)
            written.insert(it.key(),
                           QJsonObject{
                               {QStringLiteral("device"), QString::number(it->device)},
                               {QStringLiteral("inode"), QString::number(it->inode)},
                               {QStringLiteral("size"), it->size},
                               {QStringLiteral("modifiedSeconds"), it->modifiedSeconds},
                               {QStringLiteral("modifiedNanoseconds"), it->modifiedNanoseconds},
                               {QStringLiteral("sha256"), QString::fromLatin1(it->sha256.toHex())},
                           });
        object.insert(QStringLiteral("written"), written);
    }
    // QJsonObject keeps its keys sorted, so the output is in key order.
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

FolderReplacementManifest decodeFolderReplacementManifest(QByteArrayView bytes,
                                                          const QString& path) {
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(bytes.data(), bytes.size()), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        corrupt(path);
    const QJsonObject object = document.object();

    FolderReplacementManifest manifest;
    const QJsonValue version = object.value(QStringLiteral("formatVersion"));
    if (version.isUndefined() || version.isNull()) {
        manifest.formatVersion = 1;
    } else {
        const auto number = wholeNumber(version);
        if (!number || *number < INT_MIN || *number > INT_MAX)
            corrupt(path);
        manifest.formatVersion = int(*number);
    }
    const auto created = internetDateTime(object.value(QStringLiteral("createdAt")));
    const QJsonValue root = object.value(QStringLiteral("rootPath"));
    const auto count = wholeNumber(object.value(QStringLiteral("replacementCount")));
    const QJsonValue files = object.value(QStringLiteral("files"));
    if (!created || !root.isString() || !count || !files.isArray())
        corrupt(path);
    manifest.createdAt = *created;
    manifest.rootPath = root.toString();
    manifest.replacementCount = *count;
    for (const QJsonValue& entry : files.toArray()) {
        if (!entry.isString())
            corrupt(path);
        manifest.files.append(entry.toString());
    }
    const QJsonValue pending = object.value(QStringLiteral("pending"));
    if (!pending.isUndefined()) {
        if (!pending.isArray())
            corrupt(path);
        for (const QJsonValue& entry : pending.toArray())
            manifest.pending.append(pendingReplacement(entry, path));
    }
    const QJsonValue unfinished = object.value(QStringLiteral("unfinished"));
    if (!unfinished.isUndefined()) {
        if (!unfinished.isBool())
            corrupt(path);
        manifest.unfinished = unfinished.toBool();
    }
    const QJsonValue written = object.value(QStringLiteral("written"));
    if (!written.isUndefined()) {
        if (!written.isObject())
            corrupt(path);
        const QJsonObject files = written.toObject();
        for (auto it = files.constBegin(); it != files.constEnd(); ++it)
            manifest.written.insert(it.key(), writtenFile(it.value(), path));
    }
    return manifest;
}

} // namespace dunmoss
