#include "search/SearchCenterRunStore.h"

#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "search/SearchCenterResults.h"

namespace dunmoss {

void saveSearchCenterRuns(const QList<SearchCenterRun>& runs, Defaults& defaults) {
    QList<SearchCenterRun> stored = runs.mid(0, kSearchCenterRunLimit);
    for (SearchCenterRun& run : stored)
        if (run.results.size() > kStoredRunResultLimit)
            run.results.resize(kStoredRunResultLimit);
    defaults.setValue(QString::fromLatin1(kSearchCenterRunsKey), encodeSearchCenterRuns(stored));
}

QList<SearchCenterRun> loadSearchCenterRuns(const Defaults& defaults) {
    const std::optional<QByteArray> stored =
        defaults.data(QString::fromLatin1(kSearchCenterRunsKey));
    if (!stored)
        return {};
    return decodeSearchCenterRuns(*stored).value_or(QList<SearchCenterRun>());
}

QString searchCenterRunTitle(const SearchCenterRun& run) {
    const QString query =
        run.query.isEmpty() ? localizedString(QStringLiteral("find.query.placeholder")) : run.query;
    return localizedString(QStringLiteral("search-center.saved-run.format"))
        .arg(query, localizedString(searchCenterScopeDisplayKey(run.scope)),
             QString::number(run.results.size()));
}

} // namespace dunmoss
