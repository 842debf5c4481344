#include "search/SearchCenterRunStore.h"

#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "search/SearchCenterResults.h"
#include "session/FilesBesideSettings.h"
#include "session/SessionWriter.h"

#include <QFileInfo>
#include <QIODevice>

namespace dunmoss {

namespace {

using StoredRuns = StoredValueOf<QList<SearchCenterRun>>;

std::shared_ptr<const StoredRuns> storedRuns(QList<SearchCenterRun> runs) {
    return std::make_shared<StoredRuns>(
        std::move(runs), [](const QList<SearchCenterRun>& stored, QIODevice& device) {
            const QByteArray bytes = encodeSearchCenterRuns(stored);
            return device.write(bytes) == bytes.size();
        });
}

QDateTime newestRunTime(const QList<SearchCenterRun>& runs) {
    QDateTime newest;
    for (const SearchCenterRun& run : runs)
        if (!newest.isValid() || run.createdAt > newest)
            newest = run.createdAt;
    return newest;
}

} // namespace

QString searchCenterRunsPath(const Defaults& defaults) {
    return pathBesideSettings(defaults, kSearchCenterRunsFileName);
}

void saveSearchCenterRuns(const QList<SearchCenterRun>& runs, const Defaults& defaults,
                          std::shared_ptr<SessionWriteSink> sink) {
    // Cutting copies at most 2,000 results per run; encoding is left to the writer.
    QList<SearchCenterRun> stored = runs.mid(0, kSearchCenterRunLimit);
    for (SearchCenterRun& run : stored)
        if (run.results.size() > kStoredRunResultLimit)
            run.results.resize(kStoredRunResultLimit);
    SessionWriter::shared().submit(searchCenterRunsPath(defaults), storedRuns(std::move(stored)),
                                   std::move(sink));
}

QList<SearchCenterRun> loadSearchCenterRuns(Defaults& defaults) {
    const QString path = searchCenterRunsPath(defaults);
    SessionWriter& writer = SessionWriter::shared();
    if (const auto known = std::dynamic_pointer_cast<const StoredRuns>(writer.latest(path)))
        return known->value();

    std::optional<QList<SearchCenterRun>> inFile;
    if (const std::optional<QByteArray> bytes = readRegularFile(path))
        inFile = decodeSearchCenterRuns(*bytes);
    std::optional<QList<SearchCenterRun>> runs = inFile;
    const QString key = QString::fromLatin1(kSearchCenterRunsKey);
    if (const std::optional<QByteArray> old = defaults.data(key)) {
        const std::optional<QList<SearchCenterRun>> fromSettings = decodeSearchCenterRuns(*old);
        // Both are there when an older version ran after the move: the newer runs win. Bytes
        // that cannot be read are moved too, as the settings held them.
        const bool takeOld =
            !QFileInfo::exists(path) ||
            (fromSettings && (!inFile || newestRunTime(*fromSettings) > newestRunTime(*inFile)));
        if (takeOld) {
            runs = fromSettings;
            // Moved as the settings held them. Runs they decode to stand for what the file
            // will hold, so the same runs are not written again; until the write is done a
            // window finds them with the writer, and should it fail the next start moves them
            // again.
            const QByteArray bytes = *old;
            std::shared_ptr<const StoredValue> moved = storedBytes(bytes);
            if (fromSettings)
                moved = std::make_shared<StoredRuns>(
                    *fromSettings, [bytes](const QList<SearchCenterRun>&, QIODevice& device) {
                        return device.write(bytes) == bytes.size();
                    });
            moveSettingsValueToFile(defaults, key, std::move(moved), path);
            inFile.reset();
        } else {
            moveSettingsValueToFile(defaults, key, nullptr, path);
        }
    }
    if (inFile)
        writer.noteStored(path, storedRuns(*inFile));
    return runs.value_or(QList<SearchCenterRun>());
}

QString searchCenterRunTitle(const SearchCenterRun& run) {
    const QString query =
        run.query.isEmpty() ? localizedString(QStringLiteral("find.query.placeholder")) : run.query;
    return localizedString(QStringLiteral("search-center.saved-run.format"))
        .arg(query, localizedString(searchCenterScopeDisplayKey(run.scope)),
             QString::number(run.results.size()));
}

} // namespace dunmoss
