#include "window/RewrittenTabFiles.h"

#include "text/EditorTab.h"
#include "window/DocumentSaving.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

namespace dunmoss {

QList<RewrittenTabFiles::Check> RewrittenTabFiles::tabsWithFiles(const EditorWindowState& state) {
    QList<Check> checks;
    for (const EditorTab& tab : state.tabs)
        if (tab.fileURL && tab.fileURL->isLocalFile())
            checks.append(Check{tab.id, tab.fileURL->toLocalFile(), tab.document, std::nullopt});
    return checks;
}

void RewrittenTabFiles::readFiles(QList<Check>& checks, const QString& folder) {
    const QString inside = canonicalFilePath(folder) + QLatin1Char('/');
    for (Check& check : checks)
        if (canonicalFilePath(check.path).startsWith(inside))
            check.held = fileHoldingExactly(check.path, check.document);
}

void RewrittenTabFiles::settle(EditorWindowModel& model, const QList<Check>& checks) {
    for (const Check& check : checks) {
        const std::optional<int> index = model.tabIndex(check.tabID);
        if (!check.held || !index || model.saving().isWriting(check.tabID))
            continue;
        const EditorTab& tab = model.state().tabs.at(*index);
        if (tab.document != check.document ||
            tab.fileURL != std::optional<QUrl>(QUrl::fromLocalFile(check.path)))
            continue;
        const bool news =
            tab.hasExternalChanges ||
            modificationDatesDiffer(tab.lastKnownModificationDate, check.held->modified) ||
            tab.lastKnownFileSize != check.held->size ||
            tab.lastKnownFileIdentity != check.held->identity ||
            changeTimesDiffer(tab.lastKnownChangeTime, check.held->changed);
        if (!news)
            continue;
        model.update([&](EditorWindowState& state) {
            EditorTab& settled = state.tabs[*index];
            settled.savedSnapshot = settled.document.text;
            settled.savedEncoding = settled.document.encoding;
            settled.savedLineEnding = settled.document.lineEnding;
            takeKnownFileStatus(settled, check.held);
            settled.hasExternalChanges = false;
        });
        if (model.state().decisions.externalChangeTabID == check.tabID) {
            const std::optional<QUuid> next = model.nextExternallyChangedTabID(check.tabID);
            model.update(
                [&](EditorWindowState& state) { state.decisions.externalChangeTabID = next; });
        }
    }
}

} // namespace dunmoss
