#include "session/ClosingSave.h"

#include "session/MaintenanceTick.h"
#include "session/SessionPersistence.h"
#include "session/SessionWriter.h"
#include "window/DocumentOpening.h"
#include "window/DocumentSaving.h"
#include "window/DocumentWriteQueue.h"
#include "window/EditorWindowModel.h"

#include <QCoreApplication>
#include <thread>

namespace dunmoss {

ClosingSave::ClosingSave(EditorWindowModel& model, MaintenanceTick& maintenance,
                         SessionPersistence& persistence)
    : m_model(model), m_maintenance(maintenance), m_persistence(persistence),
      m_presence(std::make_shared<Presence>(Presence{this})) {}

ClosingSave::~ClosingSave() {
    // A wait still under way finds nobody.
    m_presence->save = nullptr;
}

void ClosingSave::start(const QString& message, std::function<void()> then) {
    const bool running = isSaving();
    m_waiting.push_back(std::move(then));
    say(message);
    if (running)
        return;
    m_done = false;
    // A tick's autosave in the middle would change the tabs after their session was written,
    // which would then be written again; the rounds write what a snapshot would.
    m_loopWasRunning = m_loopWasRunning || m_maintenance.isRunning();
    m_maintenance.cancel();
    m_persistence.holdRecoverySnapshots(true);
    // A window sealed already took no key since its last write: one round is its last.
    runRound();
}

bool ClosingSave::isNeeded() const {
    return m_model.saving().writes().isWriting() || m_model.opening().isRereadingAny() ||
           (m_model.seams().persistSession && m_model.state().decisions.didRestoreSession);
}

void ClosingSave::resume() {
    if (isSaving())
        return;
    m_done = false;
    seal(false);
    m_persistence.holdRecoverySnapshots(false);
    if (std::exchange(m_loopWasRunning, false))
        m_maintenance.startMaintenanceLoop();
}

void ClosingSave::say(const QString& message) {
    m_message = message;
    m_model.setFindMessage(message);
}

void ClosingSave::seal(bool sealed) {
    if (std::exchange(m_sealed, sealed) != sealed && m_seal)
        m_seal(sealed);
}

void ClosingSave::runRound() {
    // Keys given while a tab's file is read again wait for its text: the round takes the text
    // once they have landed on it. The session is written once the files being saved are: it
    // then knows what they hold.
    m_waitingForReads = true;
    m_model.opening().whenRereadsApplied([presence = m_presence] {
        if (!presence->save)
            return;
        presence->save->m_waitingForReads = false;
        presence->save->m_model.saving().writes().whenAllWritten([presence] {
            if (presence->save)
                presence->save->persistAndWait();
        });
    });
}

void ClosingSave::persistAndWait() {
    if (m_model.seams().persistSession)
        m_model.seams().persistSession();
    std::thread([presence = m_presence] {
        SessionWriter::shared().waitUntilIdle();
        // `presence` is only read on the main thread.
        QMetaObject::invokeMethod(
            qApp,
            [presence] {
                if (presence->save)
                    presence->save->roundOver();
            },
            Qt::QueuedConnection);
    }).detach();
}

void ClosingSave::roundOver() {
    // The window took keys while the disk took the first copies: the last write holds them
    // all, as the window takes no more once it begins. Unchanged copies are not written again.
    if (!m_sealed) {
        seal(true);
        runRound();
        return;
    }
    if (m_model.state().findMessage == m_message)
        m_model.setFindMessage(QString());
    m_done = true;
    const std::vector<std::function<void()>> waiting = std::exchange(m_waiting, {});
    for (const std::function<void()>& then : waiting)
        then();
}

} // namespace dunmoss
