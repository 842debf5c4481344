#include "session/WindowSession.h"

#include "platform/Defaults.h"
#include "text/OwnWriteRecord.h"
#include "window/DocumentSaving.h"
#include "window/DocumentWriteQueue.h"
#include "window/EditorWindowModel.h"

#include <QFileInfo>

namespace dunmoss {

namespace {

// The standard settings keep their session in the standard folder; any other settings file
// (a test's, for one) keeps it beside itself, so separate settings never share a session.
QString recoveryDirectoryFor(Defaults& defaults, const QString& chosen) {
    if (!chosen.isEmpty())
        return chosen;
    if (&defaults == &Defaults::standard())
        return SessionStore::standardRecoveryDirectory();
    return QFileInfo(defaults.filePath()).absolutePath() + QStringLiteral("/Recovery");
}

} // namespace

WindowSession::WindowSession(EditorWindowModel& model, const QString& recoveryDirectory)
    : m_model(model),
      m_store(model.defaults(), recoveryDirectoryFor(model.defaults(), recoveryDirectory)),
      m_persistence(model, m_store), m_maintenance(model), m_recentFiles(model.defaults()),
      m_restore(model, m_store), m_files(model),
      m_closingSave(model, m_maintenance, m_persistence) {}

WindowSession& WindowSession::attach(EditorWindowModel& model) {
    auto session = std::make_unique<WindowSession>(model, model.recoveryDirectory());
    WindowSession& attached = *session;
    model.attach(std::move(session));
    attached.installSeams();
    return attached;
}

WindowSession& WindowSession::of(const EditorWindowModel& model) {
    WindowSession* session = model.attachment<WindowSession>();
    Q_ASSERT(session);
    return *session;
}

void WindowSession::installSeams() {
    WindowSeams& seams = m_model.seams();
    seams.restoreSession = [this] { m_restore.restoreSession(); };
    seams.startMaintenanceLoop = [this] { m_maintenance.startMaintenanceLoop(); };
    seams.recordRecentFile = [this](const QUrl& url) { m_recentFiles.recordRecentFile(url); };
    seams.recordRecentFiles = [this](const QList<QUrl>& urls) {
        m_recentFiles.recordRecentFiles(urls);
    };
    seams.recentFiles = [this] { return m_recentFiles.urls(); };
    seams.openSessionFile = [this] { m_files.openSessionFile(); };
    seams.saveSessionFile = [this] { m_files.saveSessionFile(); };
    // The header lists the recent files: a change of the list redraws the window.
    QObject::connect(&m_recentFiles, &RecentFilesStore::urlsChanged, &m_model,
                     [this] { m_model.update([](EditorWindowState&) {}); });
    seams.reportSessionSaveFailure = [this](const std::exception& error) {
        m_persistence.reportSessionSaveFailure(error);
    };
    if (!m_persistence.isPersistenceEnabled())
        return;
    seams.persistSession = [this] { m_persistence.persistSession(); };
    seams.persistSessionAndWait = [this] { return m_persistence.persistSessionAndWait(); };
    seams.scheduleRecoverySnapshot = [this] { m_persistence.scheduleRecoverySnapshot(); };
    // The restore finds there what a write killed before the session heard of it left.
    m_model.saving().writes().recordWritesIn(ownWriteRecordFolder(m_store.recoveryDirectory()));
}

void WindowSession::saveSessionOnDisappear() {
    // Files being saved or autosaved are written first, so the session knows what they hold
    // (the next start would otherwise take those writes for changes by another program).
    m_maintenance.waitForAutosaves();
    // Waits for the writer, so a window that closes (or a program that quits) leaves its
    // session on disk; a failure is reported by the wait.
    if (m_model.seams().persistSession) {
        m_restore.finishNow();
        m_model.seams().persistSession();
        // A window sealed by its closing save took nothing since its last write, which the
        // disk has taken: nothing is left to wait for, and the windows still open go on.
        if (!(m_closingSave.isDone() && m_closingSave.isSealed()))
            m_persistence.waitForWrites();
    }
    cancelWindowTasks();
}

void WindowSession::cancelWindowTasks() {
    m_maintenance.cancel();
    m_persistence.cancelRecoverySnapshot();
    if (m_model.seams().stopFolderReads)
        m_model.seams().stopFolderReads();
}

} // namespace dunmoss
