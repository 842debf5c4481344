#include "session/MaintenanceTick.h"

#include "platform/Localization.h"
#include "session/AutosaveBatch.h"
#include "text/EditorTab.h"
#include "window/DocumentOpening.h"
#include "window/DocumentSaving.h"
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

// The tab still is as it was when its write was asked for: nothing else saved, reloaded or
// flagged it meanwhile.
bool savedStateUnchanged(const EditorTab& tab, const AutosaveBatch::Job& job) {
    return tab.fileURL == job.url && !tab.hasExternalChanges &&
           tab.lastKnownModificationDate == job.knownModificationDate &&
           tab.lastKnownFileSize == job.knownFileSize &&
           tab.lastKnownFileIdentity == job.knownFileIdentity &&
           tab.lastKnownChangeTime == job.knownChangeTime &&
           tab.savedEncoding == job.savedEncoding && tab.savedLineEnding == job.savedLineEnding &&
           tab.savedSnapshot.constData() == job.savedSnapshot.constData() &&
           tab.savedSnapshot.size() == job.savedSnapshot.size();
}

} // namespace

MaintenanceTick::MaintenanceTick(EditorWindowModel& model)
    : m_model(model), m_presence(std::make_shared<Presence>(Presence{this})) {
    m_loop.setInterval(kIntervalMs);
    m_tickDelay.setSingleShot(true);
    m_tickDelay.setInterval(kTickDelayMs);
    QObject::connect(&m_loop, &QTimer::timeout, &m_loop, [this] { m_tickDelay.start(); });
    QObject::connect(&m_tickDelay, &QTimer::timeout, &m_tickDelay, [this] { maintenanceTick(); });
}

MaintenanceTick::~MaintenanceTick() {
    // Writes still under way finish; nobody hears of them.
    m_presence->tick = nullptr;
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
    if (m_batch)
        return;
    checkExternalChanges();
    autosaveModifiedTabs();
    if (m_batch)
        m_persistAfterBatch = true;
    else
        m_model.persistSession();
}

void MaintenanceTick::checkExternalChanges() {
    ExternalChanges(m_model).checkExternalChanges();
}

void MaintenanceTick::autosaveModifiedTabs() {
    if (m_batch || !m_model.settings().autoSaveEnabled())
        return;
    QList<AutosaveBatch::Job> jobs;
    for (const EditorTab& tab : m_model.state().tabs) {
        if (tab.isReadOnly || !tabIsModified(tab) || tab.isUntitled() ||
            tabAwaitsDecision(m_model.state(), tab.id))
            continue;
        // A save of it, or a read of its file again, is under way: the next tick sees what that
        // left.
        if (m_model.saving().isWriting(tab.id) || m_model.opening().isRereading(tab.id))
            continue;
        // A changed draft of a large file's beginning would cut the file short.
        if (!canSaveOverOriginalFile(tab))
            continue;
        jobs.append(AutosaveBatch::Job{tab.id, *tab.fileURL, tab.document, tab.savedSnapshot,
                                       tab.savedEncoding, tab.savedLineEnding,
                                       tab.lastKnownModificationDate, tab.lastKnownFileSize,
                                       tab.lastKnownFileIdentity, tab.lastKnownChangeTime});
    }
    if (jobs.isEmpty()) {
        forgetSettledAutosaveFailures();
        return;
    }
    m_batch = std::make_shared<AutosaveBatch>(std::move(jobs));
    m_persistAfterBatch = false;
    const std::weak_ptr<AutosaveBatch> started = m_batch;
    AutosaveBatch::start(m_batch, m_model.saving().writes(), [presence = m_presence, started] {
        if (const std::shared_ptr<AutosaveBatch> batch = started.lock(); batch && presence->tick)
            presence->tick->finishAutosave(batch);
    });
    m_model.readySpareForTypedTab();
}

void MaintenanceTick::waitForAutosaves() {
    m_model.saving().writes().waitForWrites();
}

void MaintenanceTick::finishAutosave(const std::shared_ptr<AutosaveBatch>& batch) {
    if (batch != m_batch)
        return;
    const QList<AutosaveBatch::Outcome> outcomes = batch->outcomes();
    m_batch.reset();
    for (qsizetype i = 0; i < outcomes.size(); ++i) {
        const AutosaveBatch::Job& job = batch->jobs().at(i);
        const AutosaveBatch::Outcome& outcome = outcomes.at(i);
        const std::optional<int> index = tabIndex(m_model.state(), job.tabID);
        if (!index || !savedStateUnchanged(m_model.state().tabs.at(*index), job))
            continue;
        const QString cause = autosaveNoticeCause(job.tabID);
        switch (outcome.result) {
        case AutosaveBatch::Result::ChangedOnDisk:
            // A tab whose file is being read again is about to show that change.
            if (!m_model.opening().isRereading(job.tabID))
                m_model.update(
                    [&](EditorWindowState& state) { flagExternalChange(state, *index); });
            break;
        case AutosaveBatch::Result::Failed:
            // Bytes that replaced the file before the disk refused to confirm them, or old
            // bytes put back, are the tab's own: the next autosave or save writes over them.
            if (outcome.modificationDate)
                m_model.update([&](EditorWindowState& state) {
                    takeFileLeftByWrite(state.tabs[*index], outcome);
                });
            try {
                std::rethrow_exception(outcome.failure);
            } catch (const std::exception& error) {
                // Told once on the message bar, not in an alert on every tick.
                m_model.presentNotice(
                    cause, localizedString(QStringLiteral("document.autosave.failed.format"))
                               .arg(localizedErrorDescription(error)));
            }
            break;
        case AutosaveBatch::Result::Saved:
            m_model.clearNoticeCause(cause);
            // The file holds the text as it was when the tick began; keys typed since keep
            // the tab modified.
            m_model.update([&](EditorWindowState& state) {
                EditorTab& tab = state.tabs[*index];
                tab.savedSnapshot = savedTextAfterWrite(tab.document.text, outcome.writtenText);
                tab.savedEncoding = job.document.encoding;
                tab.savedLineEnding = job.document.lineEnding;
                takeFileLeftByWrite(tab, outcome);
                tab.hasExternalChanges = false;
            });
            m_model.recordRecentFile(job.url);
            break;
        }
    }
    forgetSettledAutosaveFailures();
    if (std::exchange(m_persistAfterBatch, false))
        m_model.persistSession();
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
