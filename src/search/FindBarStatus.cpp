#include "search/FindBarStatus.h"

#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

namespace dunmoss {

QString findBarStatus(const EditorWindowState& state) {
    const auto found = state.find.reports.constFind(keyboardTab(state).id);
    if (found == state.find.reports.constEnd() || found->query != state.find.findQuery ||
        found->options != state.find.findOptions)
        return QString();
    return found->text;
}

void reportFindStatus(EditorWindowModel& model, const QUuid& tabID, const QString& query,
                      const TextSearchOptions& options, const QString& text) {
    model.update([&](EditorWindowState& state) {
        QHash<QUuid, FindReport>& reports = state.find.reports;
        // Closed tabs' answers go with them.
        for (auto it = reports.begin(); it != reports.end();)
            it = tabIndex(state, it.key()) ? std::next(it) : reports.erase(it);
        reports.insert(tabID, FindReport{text, query, options});
    });
}

} // namespace dunmoss
