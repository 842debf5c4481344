#include "window/DocumentReloading.h"

#include "platform/Localization.h"
#include "text/EditorTab.h"
#include "text/TextFileLoader.h"
#include "window/DocumentOpening.h"
#include "window/EditorWindowModel.h"
#include "window/TabSelection.h"
#include "window/WindowDerivedValues.h"
#include "window/WindowErrors.h"

namespace dunmoss {

void DocumentReloading::requestReloadActiveTab() {
    const EditorTab& tab = activeTab(m_model.state());
    if (!tab.fileURL) {
        m_model.setFindMessage(localizedString(QStringLiteral("command.reload.no-file")));
        return;
    }
    if (!tabIsModified(tab)) {
        reloadActiveTab();
        return;
    }
    const QUuid tabID = tab.id;
    m_model.update([&](EditorWindowState& state) {
        state.decisions.showReloadConfirmation = true;
        state.decisions.reloadConfirmationTabID = tabID;
    });
}

LoadedPlainTextDocument
DocumentReloading::readTabFile(const QUrl& url, std::optional<TextFileEncoding> encoding) const {
    std::optional<LoadedPlainTextDocument> loaded;
    m_model.opening().withSecurityScopedAccess(url, [&] { loaded = loadTextFile(url, encoding); });
    return std::move(*loaded);
}

void DocumentReloading::applyReloadedDocument(const QUuid& tabID,
                                              const LoadedPlainTextDocument& loaded) {
    const std::optional<int> index = m_model.tabIndex(tabID);
    if (!index)
        return;
    const TextRange old = m_model.state().tabs.at(*index).selectedRange;
    const TextRange clamped =
        clampedSelection(old.location, old.length, loaded.document.text.size());
    m_model.update(
        [&](EditorWindowState& state) { applyLoadedDocument(state.tabs[*index], loaded); });
    // The editor view shows the new text; the history of the old one no longer applies to it.
    m_model.syncTextStorage(tabID);
    m_model.clearTabUndoStack(tabID);
    m_model.setSelection(clamped.location, clamped.length, *index);
}

void DocumentReloading::reloadActiveTab() {
    reloadTab(activeTab(m_model.state()).id);
}

void DocumentReloading::reloadTab(const QUuid& tabID) {
    const EditorTab* tab = m_model.tab(tabID);
    if (!tab)
        return;
    if (!tab->fileURL) {
        m_model.setFindMessage(localizedString(QStringLiteral("command.reload.no-file")));
        return;
    }
    const QUrl url = *tab->fileURL;
    try {
        applyReloadedDocument(tabID, readTabFile(url, std::nullopt));
    } catch (const std::exception& error) {
        m_model.setErrorMessage(errorDisplayText(error));
        return;
    }
    m_model.recordRecentFile(url);
    m_model.setFindMessage(localizedString(QStringLiteral("command.reload.done")));
    m_model.refreshFindResultsAfterEdit();
    m_model.persistSession();
}

void DocumentReloading::reopenWithEncoding(TextFileEncoding encoding) {
    const EditorTab& tab = activeTab(m_model.state());
    if (!tab.fileURL) {
        m_model.setFindMessage(localizedString(QStringLiteral("command.reload.no-file")));
        return;
    }
    if (tabIsModified(tab)) {
        m_model.setFindMessage(localizedString(QStringLiteral("encoding.reopen.unsaved")));
        return;
    }
    const QUuid tabID = tab.id;
    try {
        applyReloadedDocument(tabID, readTabFile(*tab.fileURL, encoding));
    } catch (const std::exception& error) {
        m_model.setErrorMessage(errorDisplayText(error));
        return;
    }
    m_model.setFindMessage(localizedString(QStringLiteral("encoding.reopen.done")));
    m_model.refreshFindResultsAfterEdit();
    m_model.persistSession();
}

} // namespace dunmoss
