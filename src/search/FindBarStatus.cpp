#include "search/FindBarStatus.h"

#include "window/EditorWindowModel.h"
#include "window/TabUndoRegistry.h"
#include "window/WindowDerivedValues.h"

#include <QUndoStack>

namespace dunmoss {

namespace {

// The last step of the history the answer was given at: it is still there, and not undone.
bool describesTheText(const FindReport& report, const QUndoStack* stack) {
    if (report.undoIndex == 0)
        return true;
    return stack && stack->index() >= report.undoIndex &&
           stack->command(report.undoIndex - 1) == report.undoStep;
}

} // namespace

QString findBarStatus(const EditorWindowModel& model) {
    const EditorWindowState& state = model.state();
    const QUuid tabID = keyboardTab(state).id;
    const auto found = state.find.reports.constFind(tabID);
    if (found == state.find.reports.constEnd() || found->query != state.find.findQuery ||
        found->options != state.find.findOptions ||
        !describesTheText(*found, model.undoRegistry().existingUndoStack(tabID)))
        return QString();
    return found->text;
}

void reportFindStatus(EditorWindowModel& model, const QUuid& tabID, const QString& query,
                      const TextSearchOptions& options, const QString& text) {
    FindReport report{text, query, options};
    if (const QUndoStack* stack = model.undoRegistry().existingUndoStack(tabID)) {
        report.undoIndex = stack->index();
        report.undoStep = report.undoIndex > 0 ? stack->command(report.undoIndex - 1) : nullptr;
    }
    model.update([&](EditorWindowState& state) {
        QHash<QUuid, FindReport>& reports = state.find.reports;
        // Closed tabs' answers go with them.
        for (auto it = reports.begin(); it != reports.end();)
            it = tabIndex(state, it.key()) ? std::next(it) : reports.erase(it);
        reports.insert(tabID, std::move(report));
    });
}

} // namespace dunmoss
