#include "session/SessionPersistence.h"

#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "session/SessionStore.h"
#include "session/SessionWriter.h"
#include "text/EditorTab.h"
#include "text/EditorTheme.h"
#include "window/EditorWindowModel.h"
#include "window/WindowErrors.h"
#include "window/WindowNotices.h"

#include <QtGlobal>
#include <algorithm>

namespace dunmoss {

namespace {

QString saveFailedMessage(const std::exception& error) {
    return localizedString(QStringLiteral("session.save.failed.format"))
        .arg(localizedErrorDescription(error));
}

} // namespace

SessionPersistence::SessionPersistence(EditorWindowModel& model, SessionStore& store)
    : m_model(model), m_store(store), m_sink(std::make_shared<SessionWriteSink>()) {
    m_snapshotTimer.setSingleShot(true);
    m_spareTimer.setSingleShot(true);
    m_spareTimer.setInterval(kSpareDelayMs);
    QObject::connect(&m_spareTimer, &QTimer::timeout, &m_spareTimer,
                     [this] { m_model.readySpareForTypedTab(); });
    QObject::connect(&m_snapshotTimer, &QTimer::timeout, &m_snapshotTimer,
                     [this] { writeRecoverySnapshot(); });
    m_sink->deliver = [this] { handleOutcomes(); };
    QObject::connect(&m_model, &EditorWindowModel::changed, &m_snapshotTimer,
                     [this] { followSelectionAndActiveTab(); });
}

SessionPersistence::~SessionPersistence() {
    // Outcomes still on their way find nobody.
    m_sink->deliver = nullptr;
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

RestoredSession SessionPersistence::currentRecord() const {
    const EditorWindowState& state = m_model.state();
    return makeSessionRecord(state.tabs, state.activeTabID, m_model.settings().fontSize());
}

void SessionPersistence::persistSession() {
    if (!mayWrite())
        return;
    // The recovery file is written even when the record fails: one good copy is enough.
    const RestoredSession record = currentRecord();
    m_store.saveSession(record, m_sink);
    m_store.writeRecoverySnapshot(record, m_sink);
    m_snapshotTimer.stop();
    readySpareLater();
}

QStringList SessionPersistence::persistSessionAndWait() {
    if (!mayWrite())
        return {};
    persistSession();
    SessionWriter::shared().waitUntilIdle();
    // What became of the two copies just handed over (a copy stored unchanged counts as kept).
    QHash<QString, std::exception_ptr> failures;
    for (const SessionWriteOutcome& outcome : handleOutcomes())
        failures.insert(outcome.path, outcome.failure);
    const std::pair<QString, const char*> copies[] = {
        {m_store.sessionRecordPath(), "session.copy.record.unwritten.format"},
        {m_store.recoverySnapshotPath(), "session.copy.recovery.unwritten.format"}};
    QStringList unwritten;
    for (const auto& [path, format] : copies) {
        const std::exception_ptr failure = failures.value(path);
        if (!failure)
            return {};
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& error) {
            unwritten.append(localizedString(QString::fromLatin1(format))
                                 .arg(path, localizedErrorDescription(error)));
        }
    }
    return unwritten;
}

std::exception_ptr SessionPersistence::waitForWrites() {
    SessionWriter::shared().waitUntilIdle();
    for (const SessionWriteOutcome& outcome : handleOutcomes())
        if (outcome.failure)
            return outcome.failure;
    return {};
}

QList<SessionWriteOutcome> SessionPersistence::handleOutcomes() {
    const QList<SessionWriteOutcome> outcomes = m_sink->takeOutcomes();
    for (const SessionWriteOutcome& outcome : outcomes) {
        if (!outcome.failure) {
            m_reportedFailures.remove(outcome.path);
            continue;
        }
        try {
            std::rethrow_exception(outcome.failure);
        } catch (const std::exception& error) {
            // Once per cause: a copy that keeps failing the same way is not reported again.
            const QString message = saveFailedMessage(error);
            if (m_reportedFailures.value(outcome.path) == message)
                continue;
            m_reportedFailures.insert(outcome.path, message);
            reportSessionSaveFailure(error);
        }
    }
    // Every copy written again: the news of the failure is over.
    if (m_reportedFailures.isEmpty())
        m_model.clearNoticeCause(QString::fromLatin1(kSessionSaveNoticeCause));
    return outcomes;
}

bool SessionPersistence::keepsNeitherCopy() const {
    return m_reportedFailures.contains(m_store.sessionRecordPath()) &&
           m_reportedFailures.contains(m_store.recoverySnapshotPath());
}

void SessionPersistence::reportSessionSaveFailure(const std::exception& error) {
    const QString message = saveFailedMessage(error);
    qWarning("DunMoss Text: %s", qUtf8Printable(message));
    m_model.defaults().setValue(QString::fromLatin1(kSessionSaveFailedNoticeKey), message);
    m_model.presentNotice(QString::fromLatin1(kSessionSaveNoticeCause), message);
}

void SessionPersistence::scheduleRecoverySnapshot() {
    if (m_snapshotsHeld)
        return;
    if (!m_snapshotTimer.isActive()) {
        m_snapshotWaitStarted.start();
        // A turn later, and only while the wait lasts: a full save in the same turn (a new tab,
        // an open, a close) ends the wait and makes its own bookmarks, and the change that
        // started the wait is shown without reading every tab's file once more.
        QTimer::singleShot(0, &m_snapshotTimer, [this] {
            if (m_snapshotTimer.isActive())
                m_bookmarks.prepare(m_model.state().tabs);
        });
    }
    const qint64 left = kSnapshotMaxDelayMs - m_snapshotWaitStarted.elapsed();
    m_snapshotTimer.start(int(std::clamp<qint64>(left, 0, kSnapshotDelayMs)));
}

void SessionPersistence::cancelRecoverySnapshot() {
    m_snapshotTimer.stop();
}

void SessionPersistence::holdRecoverySnapshots(bool held) {
    m_snapshotsHeld = held;
    if (held)
        m_snapshotTimer.stop();
}

void SessionPersistence::writeRecoverySnapshot() {
    if (!mayWrite())
        return;
    // The window as it is now, not as it was when the wait began.
    m_store.writeRecoverySnapshot(currentRecord(), m_sink);
    readySpareLater();
}

void SessionPersistence::readySpareLater() {
    // The key after this one need not copy the text the writer still reads; a writer that lets
    // it go soon spares the copy altogether.
    m_spareTimer.start();
}

void SessionPersistence::followSelectionAndActiveTab() {
    const EditorWindowState& state = m_model.state();
    const EditorTab* active = m_model.tab(state.activeTabID);
    const QList<TextRange> selection = active ? active->selectedRanges : QList<TextRange>();
    if (state.activeTabID == m_seenActiveTabID && selection == m_seenSelection)
        return;
    m_seenActiveTabID = state.activeTabID;
    m_seenSelection = selection;
    if (mayWrite())
        scheduleRecoverySnapshot();
}

} // namespace dunmoss
