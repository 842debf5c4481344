#pragma once

#include "window/SearchCenterTypes.h"

#include <QList>
#include <QString>
#include <QUuid>
#include <functional>
#include <optional>

namespace dunmoss {

class EditorWindowModel;

// The search center's operations on the window: recording and deleting runs (each rewrites the
// stored runs, which all windows share; the last writer wins), opening and copying results, and
// the panel's scope, run and visibility choices. Results are snapshots: one whose tab has
// closed opens nothing.
class SearchCenter {
public:
    explicit SearchCenter(EditorWindowModel& model) : m_model(model) {}

    // Called right after the same results were stored in the scope's live list. No results
    // only clears the run selection; otherwise the run goes first (replacing an identical one),
    // at most ten are kept, the new run is selected and the runs are stored.
    void recordSearchCenterRun(SearchCenterScope scope, const QString& query,
                               const QList<SearchCenterResult>& results);
    void deleteSearchCenterRun(const QUuid& runID);
    // A tab's text or file was replaced as a whole: a shown run with hits in it would list lines
    // and names the tab no longer has, so the live lists, which follow the tab, are shown
    // instead. The run stays among the runs as it was recorded.
    void leaveRunsOfReplacedTab(const QUuid& tabID);

    // `shown` runs once the hit is selected in its tab (a folder hit's file may load first).
    void openSearchCenterResult(const SearchCenterResult& result, std::function<void()> shown = {});
    // One line per result on the system clipboard; an empty list only sets the status.
    void copySearchCenterResults(const QList<SearchCenterResult>& results);

    // The panel's bindings: a new scope shows that scope's live list.
    void setScope(SearchCenterScope scope);
    void setSelectedRun(const std::optional<QUuid>& runID);
    void closeSearchCenter();

    // Start-up: the stored runs, with no run selected.
    void loadStoredRuns();

private:
    EditorWindowModel& m_model;
};

} // namespace dunmoss
