#include "session/SessionRestore.h"

#include "editor/TextStorage.h"
#include "platform/Localization.h"
#include "session/SessionStore.h"
#include "session/SessionWriter.h"
#include "text/EditorTab.h"
#include "text/OwnWriteRecord.h"
#include "window/DocumentOpening.h"
#include "window/EditorWindowModel.h"
#include "window/ExpectedLook.h"
#include "window/TabFileRead.h"
#include "window/WindowDerivedValues.h"
#include "window/WindowNotices.h"

#include <QFile>
#include <QSet>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace dunmoss {

namespace {

bool isPristine(const EditorTab& tab) {
    return tab.isUntitled() && tab.document.text.isEmpty() && !tabIsModified(tab);
}

double clampedFontSize(double size) {
    if (std::isnan(size))
        return 14;
    return std::clamp(size, SessionRestore::kMinimumFontSize, SessionRestore::kMaximumFontSize);
}

} // namespace

// The stored copies read and decoded on a pool thread, and the tabs rebuilt there: each file
// read and decoded, and the documents of long texts filled.
class SessionRead final : public QueuedRead {
public:
    SessionRead(SessionRestore& restore, const SessionStore& store, bool readRecordFile,
                std::optional<RestoredSession> fromSettings, ExpectedLook look)
        : m_restore(restore), m_recoveryPath(store.recoverySnapshotPath()),
          m_recordPath(readRecordFile ? store.sessionRecordPath() : QString()),
          m_recoveryDirectory(store.recoveryDirectory()), m_fromSettings(std::move(fromSettings)),
          m_look(std::move(look)) {}

    void read() override {
        // A record another window handed to the writer a moment ago is read as it will be.
        SessionWriter::shared().waitUntilIdle();
        const std::optional<RestoredSession> snapshot = readStoredSessionCopy(
            m_recoveryPath, SessionRecordFormat::PrettySorted, m_recoveryDirectory,
            QStringLiteral("recovery"), m_read.recoveryFileWasCorrupt);
        std::optional<RestoredSession> fromFile;
        if (!m_recordPath.isEmpty())
            fromFile = readStoredSessionCopy(m_recordPath, SessionRecordFormat::Compact,
                                             m_recoveryDirectory, QStringLiteral("session"),
                                             m_read.recordFileWasCorrupt);
        const std::optional<RestoredSession> chosen =
            newerSession(snapshot, newerSession(fromFile, m_fromSettings));
        if (!chosen)
            return;
        m_read.activeTabID = chosen->activeTabID;
        m_read.fontSize = chosen->fontSize;
        // The window takes the session's font size before it shows a tab.
        const ExpectedLook look = m_look.atFontSize(clampedFontSize(chosen->fontSize));
        QSet<QUuid> seen;
        const QString notedWrites = ownWriteRecordFolder(m_recoveryDirectory);
        for (const SessionTab& stored : chosen->tabs) {
            const std::optional<QUrl> url = sessionTabFileURL(stored, m_read.staleBookmarks);
            SettledRead settled;
            EditorTab tab = makeTabFromSessionTab(
                stored, url, url ? readOwnWriteRecord(notedWrites, stored.id) : std::nullopt,
                chosen->savedAt, &settled);
            // Tabs are found by identifier: a repeated one (only in a hand-edited record) gets
            // a new identifier rather than losing its draft.
            if (seen.contains(tab.id))
                tab.id = QUuid::createUuid();
            seen.insert(tab.id);
            const TextStorage::Look tabLook = look.forTab(tab);
            const bool prepared = worthPreparingDocument(tab.document.text, tabLook.width);
            m_read.documents.push_back(
                prepared ? TextStorage::prepareDocument(tab.document.text, tabLook) : nullptr);
            m_read.counts.push_back(prepared ? std::optional<TextCounts>(tab.document.text)
                                             : std::nullopt);
            m_read.tabs.append(std::move(tab));
            m_read.settled.append(std::move(settled));
        }
        // Notes of tabs closed before this session was built are of no use any more.
        if (chosen->savedAt)
            pruneOwnWriteRecords(notedWrites, seen, *chosen->savedAt);
    }

    QList<QTextDocument*> documents() const override {
        QList<QTextDocument*> made;
        for (const std::unique_ptr<QTextDocument>& document : m_read.documents)
            if (document)
                made.append(document.get());
        return made;
    }

    QString progressMessage() const override {
        return localizedString(QStringLiteral("session.restoring"));
    }

    void apply() override {
        // Finished already, when the window went away before this read's turn.
        if (m_restore.m_restoring)
            m_restore.finishRestore(std::move(m_read));
    }

private:
    SessionRestore& m_restore;
    const QString m_recoveryPath;
    const QString m_recordPath;
    const QString m_recoveryDirectory;
    const std::optional<RestoredSession> m_fromSettings;
    const ExpectedLook m_look;
    SessionRestore::ReadSession m_read;
};

void SessionRestore::restoreSession() {
    if (m_model.state().decisions.didRestoreSession || m_restoring)
        return;
    // A record an older version kept in the settings moves into the record's file when there
    // is none; that file then needs no reading.
    // A copy another window handed to the writer counts as there: the read waits for it.
    const auto stored = [](const QString& path) {
        return QFile::exists(path) || SessionWriter::shared().latest(path) != nullptr;
    };
    const bool recordFileExists = stored(m_store.sessionRecordPath());
    std::optional<RestoredSession> fromSettings =
        m_store.takeRecordFromSettings(sessionCorruption().savedSessionWasCorrupt);
    if (!recordFileExists && !fromSettings && !stored(m_store.recoverySnapshotPath())) {
        finishRestore({});
        return;
    }
    m_restoring = true;
    m_replaceable.clear();
    for (const EditorTab& tab : m_model.state().tabs)
        if (isPristine(tab))
            m_replaceable.insert(tab.id);
    m_readRecordFile = recordFileExists;
    m_fromSettings = fromSettings;
    m_model.opening().enqueue(std::make_unique<SessionRead>(
        *this, m_store, recordFileExists, std::move(fromSettings), ExpectedLook::of(m_model)));
}

void SessionRestore::finishNow() {
    if (!m_restoring || std::all_of(m_model.state().tabs.begin(), m_model.state().tabs.end(),
                                    [](const EditorTab& tab) { return isPristine(tab); }))
        return;
    SessionRead read(*this, m_store, m_readRecordFile, m_fromSettings, ExpectedLook::of(m_model));
    read.read();
    read.apply();
}

void SessionRestore::finishRestore(ReadSession read) {
    m_restoring = false;
    m_fromSettings.reset();
    SessionCorruption& corruption = sessionCorruption();
    corruption.recoverySnapshotWasCorrupt |= read.recoveryFileWasCorrupt;
    corruption.savedSessionWasCorrupt |= read.recordFileWasCorrupt;
    for (const QString& path : read.staleBookmarks)
        bookmarkCache().remove(path);
    // Told on the message bar: keys typed right after the launch belong to the text.
    if (corruption.recoverySnapshotWasCorrupt || corruption.savedSessionWasCorrupt)
        m_model.presentNotice(QString::fromLatin1(kSessionRestoreNoticeCause),
                              localizedString(QStringLiteral("session.corrupt-snapshot.notice")));
    if (const std::optional<QString> notice = takeSessionSaveFailedNotice(m_model.defaults()))
        m_model.presentNotice(QString::fromLatin1(kPreviousSessionSaveNoticeCause), *notice);
    if (read.tabs.isEmpty()) {
        m_replaceable.clear();
        m_model.update([](EditorWindowState& state) { state.decisions.didRestoreSession = true; });
        return;
    }
    showRestoredTabs(read);
    for (qsizetype i = 0; i < read.tabs.size() && i < read.settled.size(); ++i)
        tellSettledRead(m_model, read.tabs.at(i).id, read.settled.at(i));
}

void SessionRestore::showRestoredTabs(ReadSession& read) {
    const QList<EditorTab>& tabs = read.tabs;
    // The window's first tab gives way unless someone typed into it meanwhile; tabs that came
    // since (a new tab asked for at the start) stay too, after the restored ones.
    QList<EditorTab> kept;
    QList<QUuid> dropped;
    for (const EditorTab& tab : m_model.state().tabs) {
        if (m_replaceable.contains(tab.id) && isPristine(tab))
            dropped.append(tab.id);
        else
            kept.append(tab);
    }
    m_replaceable.clear();
    std::optional<QUuid> keptActive;
    const QUuid active = activeTab(m_model.state()).id;
    for (const EditorTab& tab : kept)
        if (tab.id == active)
            keptActive = tab.id;

    QUuid restoredActive = tabs.first().id;
    for (const EditorTab& tab : tabs)
        if (tab.id == read.activeTabID)
            restoredActive = tab.id;
    // The documents filled aside become the tabs' storages: the one shown now, the others one
    // a turn, as setting a storage up costs a moment per long text.
    const QUuid shown = keptActive ? *keptActive : restoredActive;
    m_pendingStorages.clear();
    for (size_t i = 0; i < read.documents.size(); ++i) {
        if (!read.documents[i])
            continue;
        const EditorTab& tab = tabs.at(qsizetype(i));
        PendingStorage pending{tab.id, tab.document.text, std::move(read.documents[i]),
                               std::move(read.counts[i])};
        if (tab.id == shown)
            m_model.textStorageRegistry().adoptTextStorage(
                tab.id, std::make_shared<TextStorage>(pending.text, std::move(pending.document),
                                                      std::move(pending.counts)));
        else
            m_pendingStorages.push_back(std::move(pending));
    }
    if (!m_pendingStorages.empty())
        QTimer::singleShot(0, &m_model, [this] { adoptNextStorage(); });
    m_model.settings().setFontSize(clampedFontSize(read.fontSize));
    m_model.update([&](EditorWindowState& state) {
        state.tabs = tabs + kept;
        state.activeTabID = shown;
        state.panels.showWelcome = state.tabs.size() == 1 && state.tabs.first().isUntitled() &&
                                   state.tabs.first().document.text.isEmpty();
        state.decisions.didRestoreSession = true;
    });
    for (const QUuid& id : dropped)
        m_model.forgetTab(id);
}

void SessionRestore::adoptNextStorage() {
    if (m_pendingStorages.empty())
        return;
    PendingStorage next = std::move(m_pendingStorages.front());
    m_pendingStorages.pop_front();
    // A tab closed since, shown (and so given a storage) or given another text before its turn
    // takes nothing.
    TextStorageRegistry& storages = m_model.textStorageRegistry();
    const EditorTab* tab = m_model.tab(next.tabID);
    if (tab && !storages.contains(next.tabID) && tab->document.text == next.text)
        storages.adoptTextStorage(next.tabID,
                                  std::make_shared<TextStorage>(next.text, std::move(next.document),
                                                                std::move(next.counts)));
    if (!m_pendingStorages.empty())
        QTimer::singleShot(0, &m_model, [this] { adoptNextStorage(); });
}

} // namespace dunmoss
