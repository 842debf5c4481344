#include "window/ExternalChanges.h"

#include "platform/FileStat.h"
#include "platform/Localization.h"
#include "text/EditorTab.h"
#include "text/TextFileLoader.h"
#include "window/DocumentReloading.h"
#include "window/EditorWindowModel.h"
#include "window/WindowErrors.h"

namespace dunmoss {

namespace {

void moveQuestionOn(EditorWindowModel& model, const QUuid& decided) {
    const std::optional<QUuid> next = model.nextExternallyChangedTabID(decided);
    model.update([&](EditorWindowState& state) { state.decisions.externalChangeTabID = next; });
}

} // namespace

void ExternalChanges::externalChangeReload() {
    const std::optional<QUuid> pending = m_model.state().decisions.externalChangeTabID;
    const EditorTab* tab = pending ? m_model.tab(*pending) : nullptr;
    if (!tab || !tab->fileURL) {
        dismissExternalChange();
        return;
    }
    const QUuid tabID = *pending;
    const QUrl url = *tab->fileURL;
    DocumentReloading reloading(m_model);
    try {
        reloading.applyReloadedDocument(tabID, reloading.readTabFile(url, std::nullopt));
    } catch (const std::exception& error) {
        m_model.setErrorMessage(localizedErrorDescription(error));
        moveQuestionOn(m_model, tabID);
        return;
    }
    m_model.update([&](EditorWindowState& state) {
        state.activeTabID = tabID;
        state.findMessage = localizedString(QStringLiteral("document.external-change.reloaded"));
    });
    m_model.recordRecentFile(url);
    m_model.refreshFindResultsAfterEdit();
    m_model.persistSession();
    moveQuestionOn(m_model, tabID);
}

void ExternalChanges::externalChangeKeep() {
    const std::optional<QUuid> pending = m_model.state().decisions.externalChangeTabID;
    const std::optional<int> index = pending ? m_model.tabIndex(*pending) : std::nullopt;
    if (!index) {
        dismissExternalChange();
        return;
    }
    const QUuid tabID = *pending;
    std::optional<FileTimestamp> date;
    std::optional<qint64> size;
    if (const std::optional<QUrl>& url = m_model.state().tabs.at(*index).fileURL) {
        date = fileModificationDate(url->toLocalFile());
        size = fileSize(url->toLocalFile());
    }
    m_model.update([&](EditorWindowState& state) {
        EditorTab& tab = state.tabs[*index];
        // A file that is gone keeps what was last known, so the next save is refused again.
        if (date || size) {
            tab.lastKnownModificationDate = date;
            tab.lastKnownFileSize = size;
        }
        tab.hasExternalChanges = false;
        state.activeTabID = tabID;
        state.findMessage = localizedString(QStringLiteral("document.external-change.kept"));
    });
    m_model.persistSession();
    moveQuestionOn(m_model, tabID);
}

void ExternalChanges::dismissExternalChange() {
    m_model.update([](EditorWindowState& state) { state.decisions.externalChangeTabID.reset(); });
}

void ExternalChanges::checkExternalChanges() {
    QList<QUuid> changed;
    for (const EditorTab& tab : m_model.state().tabs)
        if (tab.fileURL && !tab.hasExternalChanges &&
            hasFileChangedOnDisk(*tab.fileURL, tab.lastKnownModificationDate,
                                 tab.lastKnownFileSize))
            changed.append(tab.id);
    if (changed.isEmpty())
        return;
    m_model.update([&](EditorWindowState& state) {
        for (EditorTab& tab : state.tabs)
            if (changed.contains(tab.id)) {
                tab.hasExternalChanges = true;
                if (!state.decisions.externalChangeTabID)
                    state.decisions.externalChangeTabID = tab.id;
            }
    });
}

} // namespace dunmoss
