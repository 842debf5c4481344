#include "session/MaintenanceTick.h"

#include "platform/Localization.h"
#include "text/EditorTab.h"
#include "window/DocumentFileWriter.h"
#include "window/EditorWindowModel.h"
#include "window/ExternalChanges.h"
#include "window/WindowDerivedValues.h"
#include "window/WindowErrors.h"
#include "window/WindowNotices.h"

#include <QSet>

namespace dunmoss {

namespace {

// Flags the tab and names it for the question when none is pending.
void flagExternalChange(EditorWindowState& state, int index) {
    EditorTab& tab = state.tabs[index];
    tab.hasExternalChanges = true;
    if (!state.decisions.externalChangeTabID)
        state.decisions.externalChangeTabID = tab.id;
}

bool fileChanged(const EditorTab& tab) {
    return hasFileChangedOnDisk(*tab.fileURL, tab.lastKnownModificationDate, tab.lastKnownFileSize);
}

} // namespace

MaintenanceTick::MaintenanceTick(EditorWindowModel& model) : m_model(model) {
    m_loop.setInterval(kIntervalMs);
    m_tickDelay.setSingleShot(true);
    m_tickDelay.setInterval(kTickDelayMs);
    QObject::connect(&m_loop, &QTimer::timeout, &m_loop, [this] { m_tickDelay.start(); });
    QObject::connect(&m_tickDelay, &QTimer::timeout, &m_tickDelay, [this] { maintenanceTick(); });
}

void MaintenanceTick::startMaintenanceLoop() {
    if (!m_loop.isActive())
        m_loop.start();
}

void MaintenanceTick::cancel() {
    m_loop.stop();
    m_tickDelay.stop();
}

void MaintenanceTick::maintenanceTick() {
    checkExternalChanges();
    autosaveModifiedTabs();
    m_model.persistSession();
}

void MaintenanceTick::checkExternalChanges() {
    ExternalChanges(m_model).checkExternalChanges();
}

void MaintenanceTick::autosaveModifiedTabs() {
    if (!m_model.settings().autoSaveEnabled())
        return;
    const int count = int(m_model.state().tabs.size());
    for (int index = 0; index < count && index < m_model.state().tabs.size(); ++index) {
        const EditorTab& tab = m_model.state().tabs.at(index);
        if (tab.isReadOnly || !tabIsModified(tab) || tab.isUntitled() ||
            tabAwaitsDecision(m_model.state(), tab.id))
            continue;
        // A changed draft of a large file's beginning would cut the file short.
        if (!canSaveOverOriginalFile(tab))
            continue;
        if (fileChanged(tab)) {
            m_model.update([index](EditorWindowState& state) { flagExternalChange(state, index); });
            continue;
        }
        const QUuid tabID = tab.id;
        const QUrl url = *tab.fileURL;
        const QString cause = autosaveNoticeCause(tabID);
        try {
            writeDocumentAtomically(tab.document, url);
        } catch (const std::exception& error) {
            // Told once on the message bar, not in an alert on every tick.
            m_model.presentNotice(cause,
                                  localizedString(QStringLiteral("document.autosave.failed.format"))
                                      .arg(localizedErrorDescription(error)));
            continue;
        }
        m_model.clearNoticeCause(cause);
        m_model.update([&](EditorWindowState& state) {
            if (const std::optional<int> at = tabIndex(state, tabID))
                markSaved(state.tabs[*at], url);
        });
        m_model.recordRecentFile(url);
    }
    forgetSettledAutosaveFailures();
}

void MaintenanceTick::forgetSettledAutosaveFailures() {
    QSet<QString> unsaved;
    for (const EditorTab& tab : m_model.state().tabs)
        if (tabIsModified(tab))
            unsaved.insert(autosaveNoticeCause(tab.id));
    const QLatin1String prefix(kAutosaveNoticeCausePrefix);
    QStringList settled;
    for (const QString& cause : m_model.state().notices.reported.keys())
        if (cause.startsWith(prefix) && !unsaved.contains(cause))
            settled.append(cause);
    for (const QString& cause : settled)
        m_model.clearNoticeCause(cause);
}

} // namespace dunmoss
