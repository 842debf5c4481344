#include "session/FilesBesideSettings.h"

#include "platform/Defaults.h"
#include "platform/FileError.h"
#include "platform/FileStat.h"
#include "window/DocumentFileWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace dunmoss {

QString pathBesideSettings(const Defaults& defaults, const char* fileName) {
    return QFileInfo(defaults.filePath()).absolutePath() + QLatin1Char('/') +
           QLatin1String(fileName);
}

std::optional<QByteArray> readRegularFile(const QString& path) {
    const std::optional<FileStatus> status = statPath(path);
    if (!status || status->kind != FileKind::Regular)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return data;
}

bool moveSettingsValueToFile(Defaults& defaults, const QString& key, const QByteArray& bytes,
                             const QString& path, bool writeFile) {
    if (writeFile) {
        try {
            if (!QDir().mkpath(QFileInfo(path).absolutePath()))
                return false;
            writeBytesAtomically(bytes, path);
        } catch (const FileError&) {
            return false;
        }
    }
    defaults.remove(key);
    return true;
}

} // namespace dunmoss
