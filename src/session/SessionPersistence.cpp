#include "session/SessionPersistence.h"

#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "session/SessionStore.h"
#include "text/EditorTab.h"
#include "text/EditorTheme.h"
#include "window/EditorWindowModel.h"
#include "window/WindowErrors.h"

#include <QtGlobal>

namespace dunmoss {

namespace {

QString saveFailedMessage(const std::exception& error) {
    return localizedString(QStringLiteral("session.save.failed.format"))
        .arg(localizedErrorDescription(error));
}

} // namespace

SessionPersistence::SessionPersistence(EditorWindowModel& model, SessionStore& store)
    : m_model(model), m_store(store) {
    m_snapshotTimer.setSingleShot(true);
    m_snapshotTimer.setInterval(kSnapshotDelayMs);
    QObject::connect(&m_snapshotTimer, &QTimer::timeout, &m_snapshotTimer,
                     [this] { writeRecoverySnapshot(); });
}

bool SessionPersistence::isPersistenceEnabled() const {
    return !arrayContainsString(m_model.processArguments(),
                                QString::fromLatin1(kUiTestingArgument));
}

bool SessionPersistence::mayWrite() const {
    // Before its restore a window holds only its first tab: writing that would overwrite the
    // stored session it is about to bring back.
    return isPersistenceEnabled() && m_model.state().decisions.didRestoreSession;
}

void SessionPersistence::persistSession() {
    if (!mayWrite())
        return;
    std::exception_ptr recordError;
    try {
        const EditorWindowState& state = m_model.state();
        m_store.saveSession(state.tabs, state.activeTabID, m_model.settings().fontSize());
    } catch (...) {
        recordError = std::current_exception();
    }
    // The recovery file is written even when the record failed: one good copy is enough.
    std::exception_ptr snapshotError;
    try {
        const EditorWindowState& state = m_model.state();
        m_store.writeRecoverySnapshot(state.tabs, state.activeTabID, m_model.settings().fontSize());
    } catch (...) {
        snapshotError = std::current_exception();
    }
    if (recordError)
        std::rethrow_exception(recordError);
    if (snapshotError)
        std::rethrow_exception(snapshotError);
}

void SessionPersistence::reportSessionSaveFailure(const std::exception& error) {
    const QString message = saveFailedMessage(error);
    qWarning("DunMoss Text: %s", qUtf8Printable(message));
    m_model.defaults().setValue(QString::fromLatin1(kSessionSaveFailedNoticeKey), message);
    m_model.presentError(message);
}

void SessionPersistence::scheduleRecoverySnapshot() {
    m_snapshotTimer.start();
}

void SessionPersistence::cancelRecoverySnapshot() {
    m_snapshotTimer.stop();
}

void SessionPersistence::writeRecoverySnapshot() {
    if (!mayWrite())
        return;
    // The window as it is now, not as it was when the wait began.
    try {
        const EditorWindowState& state = m_model.state();
        m_store.writeRecoverySnapshot(state.tabs, state.activeTabID, m_model.settings().fontSize());
    } catch (const std::exception& error) {
        m_model.presentError(saveFailedMessage(error));
    }
}

} // namespace dunmoss
