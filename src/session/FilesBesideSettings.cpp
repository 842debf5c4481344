#include "session/FilesBesideSettings.h"

#include "platform/Defaults.h"
#include "platform/FileStat.h"
#include "session/SessionWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>

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

void moveSettingsValueToFile(Defaults& defaults, const QString& key,
                             std::shared_ptr<const StoredValue> value, const QString& path) {
    if (!value) {
        defaults.remove(key);
        return;
    }
    auto sink = std::make_shared<SessionWriteSink>();
    QPointer<Defaults> settings(&defaults);
    // The writer keeps the sink while it calls this, so the pointer holds.
    SessionWriteSink* const outcomes = sink.get();
    sink->deliver = [settings, key, outcomes] {
        for (const SessionWriteOutcome& outcome : outcomes->takeOutcomes())
            if (!outcome.failure && settings)
                settings->remove(key);
    };
    SessionWriter::shared().submit(path, std::move(value), std::move(sink));
}

} // namespace dunmoss
