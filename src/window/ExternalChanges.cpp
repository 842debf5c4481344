#include "window/ExternalChanges.h"

#include "platform/FileStat.h"
#include "platform/Localization.h"
#include "text/EditorTab.h"
#include "window/DocumentOpening.h"
#include "window/DocumentReloading.h"
#include "window/DocumentSaving.h"
#include "window/DocumentWriteQueue.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"
#include "window/WindowErrors.h"

namespace dunmoss {

namespace {

void moveQuestionOn(EditorWindowModel& model, const QUuid& decided) {
    const std::optional<QUuid> next = model.nextExternallyChangedTabID(decided);
    model.update([&](EditorWindowState& state) { state.decisions.externalChangeTabID = next; });
}

} // namespace

bool ExternalChanges::isAskedAbout(const QUuid& tabID) const {
    const EditorTab* tab = m_model.tab(tabID);
    return tab &&
           (tab->hasExternalChanges || m_model.state().decisions.externalChangeTabID == tabID);
}

void ExternalChanges::passQuestionOn(const QUuid& decided) {
    // A question about another tab stays where it is.
    const std::optional<QUuid> pending = m_model.state().decisions.externalChangeTabID;
    if (!pending || *pending == decided)
        moveQuestionOn(m_model, decided);
}

void ExternalChanges::externalChangeReload(const QUuid& tabID) {
    if (!isAskedAbout(tabID))
        return;
    const EditorTab* tab = m_model.tab(tabID);
    if (!tab->fileURL) {
        passQuestionOn(tabID);
        return;
    }
    const QUrl url = *tab->fileURL;
    EditorWindowModel& model = m_model;
    // The question stays up while the file is read; it moves on once the read is over.
    DocumentReloading(m_model).rereadTab(
        tabID, std::nullopt,
        {[&model, tabID, url] {
             model.recordRecentFile(url);
             model.refreshFindResultsAfterReplacingTab(tabID);
             model.persistSession();
             // The next question first, so that the result is not taken for news before it.
             ExternalChanges(model).passQuestionOn(tabID);
             model.setPassingMessage(
                 localizedString(QStringLiteral("document.external-change.reloaded")));
         },
         [&model, tabID](const std::exception& error) {
             model.setErrorMessage(localizedErrorDescription(error));
             ExternalChanges(model).passQuestionOn(tabID);
         }});
}

void ExternalChanges::externalChangeKeep(const QUuid& tabID) {
    if (!isAskedAbout(tabID))
        return;
    std::optional<FileStatus> status;
    if (const std::optional<QUrl>& url = m_model.tab(tabID)->fileURL)
        status = statPath(url->toLocalFile());
    // What the tab wrote last is no longer what it knows of its file.
    m_model.saving().writes().forgetOwnWrites(tabID);
    m_model.update([&](EditorWindowState& state) {
        EditorTab& tab = state.tabs[*tabIndex(state, tabID)];
        // A file that is gone is known to be gone: the next save writes it again, and only a
        // file that appears there later is news.
        takeKnownFileStatus(tab, status);
        tab.hasExternalChanges = false;
    });
    m_model.persistSession();
    passQuestionOn(tabID);
    m_model.setPassingMessage(localizedString(QStringLiteral("document.external-change.kept")));
}

void ExternalChanges::dismissExternalChange() {
    m_model.update([](EditorWindowState& state) { state.decisions.externalChangeTabID.reset(); });
}

void ExternalChanges::checkExternalChanges() {
    QList<QUuid> changed;
    // A tab being written is left until its outcome is in: the change would be our own write.
    // So is a tab whose file is being read again: the change is what it is about to show.
    for (const EditorTab& tab : m_model.state().tabs)
        if (tab.fileURL && !tab.hasExternalChanges && !m_model.saving().isWriting(tab.id) &&
            !m_model.opening().isRereading(tab.id) &&
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
