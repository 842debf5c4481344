#include "window/DocumentWriteQueue.h"

#include "platform/AtomicFileWrite.h"
#include "platform/FileError.h"
#include "platform/MainThreadMailbox.h"
#include "platform/SecurityScopedAccess.h"
#include "text/EditorTab.h"
#include "text/OwnWriteRecord.h"
#include "window/DocumentFileWriter.h"

#include <QCryptographicHash>
#include <QFile>
#include <QIODevice>
#include <algorithm>
#include <pthread.h>

namespace dunmoss {

namespace {

std::mutex& hookMutex() {
    static std::mutex mutex;
    return mutex;
}

std::function<void(const QString&)>& beforeSyncHook() {
    static std::function<void(const QString&)> hook;
    return hook;
}

bool sameKnownFile(const DocumentWrite& write, const std::optional<FileTimestamp>& date,
                   const std::optional<qint64>& size, const std::optional<FileIdentity>& identity,
                   const std::optional<FileTimestamp>& changeTime) {
    return write.knownModificationDate == date && write.knownFileSize == size &&
           write.knownFileIdentity == identity && write.knownChangeTime == changeTime;
}

QByteArray fileDigest(const QString& path) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return hash.result();
}

// Whether a file whose identity, date and size are as the tab knew them still holds the bytes
// the tab knows, where only they can tell: its change time moved (by a new name, owner or mode
// as much as by a rewrite that put the date back), or its date is of whole seconds (a file
// system that keeps no finer time), so a rewrite of the same size within that second after the
// tab's own write left date, size and change time as they were.
bool holdsKnownBytes(const QString& path, const DocumentWrite& write, bool changeTimeMoved) {
    const bool wholeSeconds = !write.knownDigest.isEmpty() && write.knownModificationDate &&
                              write.knownModificationDate->nanoseconds == 0;
    if (!changeTimeMoved && !wholeSeconds)
        return true;
    if (!write.knownDigest.isEmpty())
        return fileDigest(path) == write.knownDigest;
    if (!write.knownSavedDocument)
        return false;
    try {
        return fileDigest(path) ==
               ownWriteDigest(encodedDocumentBytes(*write.knownSavedDocument, write.url));
    } catch (const FileError&) {
        return false;
    }
}

void fillFileLeft(DocumentWriteOutcome& outcome, const QString& path) {
    if (const std::optional<FileStatus> status = statPath(path)) {
        outcome.modificationDate = status->modified;
        outcome.fileSize = status->size;
        outcome.fileIdentity = status->identity;
        outcome.changeTime = status->changed;
    }
}

} // namespace

DocumentWriteQueue::DocumentWriteQueue(QObject* receiver)
    : m_mailbox(MainThreadMailbox::make(receiver)), m_alive(std::make_shared<int>(0)),
      m_aliveWatch(m_alive) {}

DocumentWriteQueue::~DocumentWriteQueue() {
    m_mailbox->close();
    m_alive.reset();
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread)
        m_thread->join();
}

void DocumentWriteQueue::setBeforeSyncHook(std::function<void(const QString&)> hook) {
    const std::lock_guard lock(hookMutex());
    beforeSyncHook() = std::move(hook);
}

void DocumentWriteQueue::submit(DocumentWrite write, Done done) {
    const quint64 number = ++m_lastNumber;
    if (!write.tabID.isNull()) {
        write.recordFolder = m_recordFolder;
        write.takenAt = orderedSecondsSinceEpoch();
    }
    const QString path = write.url.toLocalFile();
    const bool follows =
        std::any_of(m_undelivered.begin(), m_undelivered.end(), [&](const Undelivered& earlier) {
            return earlier.tabID == write.tabID && earlier.url.toLocalFile() == path;
        });
    m_undelivered.push_back(Undelivered{number, write.tabID, write.url, std::move(done)});
    {
        const std::lock_guard lock(m_mutex);
        m_tasks.push_back(Task{number, std::move(write), follows});
        if (!m_thread)
            m_thread = std::make_unique<std::thread>([this] { run(); });
    }
    m_wake.notify_one();
}

void DocumentWriteQueue::forgetOwnWrites(const QUuid& tabID) {
    if (tabID.isNull())
        return;
    Task task;
    task.write.tabID = tabID;
    task.write.recordFolder = m_recordFolder;
    task.forget = true;
    {
        const std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
        if (!m_thread)
            m_thread = std::make_unique<std::thread>([this] { run(); });
    }
    m_wake.notify_one();
}

bool DocumentWriteQueue::isWriting(const QUuid& tabID) const {
    return std::any_of(m_undelivered.begin(), m_undelivered.end(),
                       [&](const Undelivered& write) { return write.tabID == tabID; });
}

std::optional<QUrl> DocumentWriteQueue::pendingDestination(const QUuid& tabID) const {
    for (auto write = m_undelivered.rbegin(); write != m_undelivered.rend(); ++write)
        if (write->tabID == tabID)
            return write->url;
    return std::nullopt;
}

void DocumentWriteQueue::whenWritten(const QUuid& tabID, std::function<void()> then) {
    const Waiter waiter{m_lastNumber, tabID, std::move(then)};
    if (waiterReady(waiter))
        waiter.then();
    else
        m_waiters.append(waiter);
}

void DocumentWriteQueue::whenAllWritten(std::function<void()> then) {
    const Waiter waiter{m_lastNumber, std::nullopt, std::move(then)};
    if (waiterReady(waiter))
        waiter.then();
    else
        m_waiters.append(waiter);
}

void DocumentWriteQueue::waitForWrites() {
    {
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this] { return m_tasks.empty() && !m_busy; });
    }
    deliver();
}

void DocumentWriteQueue::run() {
    pthread_setname_np(pthread_self(), "document-writer");
    for (;;) {
        std::optional<Task> task;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
            if (m_tasks.empty())
                return;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
            m_busy = true;
        }
        if (task->forget) {
            forget(task->write.tabID, task->write.recordFolder);
            {
                const std::lock_guard lock(m_mutex);
                m_busy = false;
            }
            m_idle.notify_all();
            continue;
        }
        const quint64 number = task->number;
        // The tab's string is let go at once: a key typed meanwhile would otherwise copy it on
        // the window's thread.
        QString& text = task->write.document.text;
        text = QString(text.constData(), text.size());
        DocumentWriteOutcome outcome = writeInOrder(*task);
        if (outcome.result == DocumentWriteOutcome::Result::Saved)
            outcome.writtenText = std::move(text);
        task.reset();
        {
            const std::lock_guard lock(m_mutex);
            m_finished.emplace_back(number, std::move(outcome));
            m_busy = false;
        }
        m_idle.notify_all();
        m_mailbox->post([this, alive = m_aliveWatch] {
            if (alive.lock())
                deliver();
        });
    }
}

DocumentWriteOutcome DocumentWriteQueue::writeInOrder(const Task& task) {
    const QString path = task.write.url.toLocalFile();
    DocumentWrite write = task.write;
    QHash<QUuid, FileLeft>& left = m_left[path];
    const auto own = left.constFind(write.tabID);
    if (own != left.constEnd()) {
        if (task.followsEarlierWrite) {
            write.knownModificationDate = own->modificationDate;
            write.knownFileSize = own->fileSize;
            write.knownFileIdentity = own->fileIdentity;
            write.knownChangeTime = own->changeTime;
        }
        // The tab knows the file as its last write left it: so are that write's bytes known.
        if (sameKnownFile(write, own->modificationDate, own->fileSize, own->fileIdentity,
                          own->changeTime))
            write.knownDigest = own->digest;
    }
    DocumentWriteOutcome outcome = DocumentWriteQueue::write(write);
    if (outcome.result == DocumentWriteOutcome::Result::Saved || outcome.modificationDate) {
        // What any other tab knew of the file is out of date: its next write finds it changed.
        left.clear();
        left.insert(write.tabID,
                    FileLeft{outcome.modificationDate, outcome.fileSize, outcome.fileIdentity,
                             outcome.changeTime, outcome.writtenDigest});
    } else {
        // A refused or failed write left the file as the tab's next one expects it.
        left.insert(write.tabID,
                    FileLeft{write.knownModificationDate, write.knownFileSize,
                             write.knownFileIdentity, write.knownChangeTime, write.knownDigest});
    }
    return outcome;
}

void DocumentWriteQueue::forget(const QUuid& tabID, const QString& recordFolder) {
    if (!recordFolder.isEmpty())
        removeOwnWriteRecord(recordFolder, tabID);
    for (QHash<QUuid, FileLeft>& left : m_left) {
        const auto own = left.find(tabID);
        if (own != left.end())
            own->digest.clear();
    }
}

DocumentWriteOutcome DocumentWriteQueue::write(const DocumentWrite& write) {
    DocumentWriteOutcome outcome;
    const QString path = write.url.toLocalFile();
    if (!write.url.isLocalFile() || path.isEmpty()) {
        outcome.failure = std::make_exception_ptr(
            FileError(FileErrorCode::FileWriteInvalidFileName, write.url.toString()));
        return outcome;
    }
    // The file is confirmed, replaced and looked at again without another writer of it in the
    // program between (a folder replace included), so what the tab learns of it is its own.
    std::optional<AtomicWriteHold> hold;
    QByteArray digest;
    // Identity, date and size; right before the rename the change time too, and the bytes
    // where only they can tell.
    auto changedOnDisk = [&](bool lastLook) {
        if (!write.refuseWhenChangedOnDisk)
            return false;
        if (hasFileChangedOnDisk(write.url, write.knownModificationDate, write.knownFileSize,
                                 write.knownFileIdentity))
            return true;
        if (!lastLook)
            return false;
        const std::optional<FileStatus> status = statPath(path);
        if (!status)
            return write.knownModificationDate || write.knownFileSize || write.knownFileIdentity;
        return !holdsKnownBytes(path, write,
                                write.knownChangeTime &&
                                    changeTimesDiffer(status->changed, write.knownChangeTime));
    };
    try {
        // Encoded first: a text the encoding cannot hold touches nothing.
        const QByteArray bytes = encodedDocumentBytes(write.document, write.url);
        SecurityScopedAccess access(write.url);
        hold.emplace(path);
        if (changedOnDisk(false)) {
            outcome.result = DocumentWriteOutcome::Result::ChangedOnDisk;
            return outcome;
        }
        if (!write.tabID.isNull())
            digest = ownWriteDigest(bytes);
        std::function<void(const QString&)> hook;
        {
            const std::lock_guard lock(hookMutex());
            hook = beforeSyncHook();
        }
        const bool written = writeAtomically(
            path,
            [&](QIODevice& device) {
                if (device.write(bytes) != bytes.size())
                    return false;
                if (hook)
                    hook(path);
                return true;
            },
            // Again right before the rename: whatever wrote the file meanwhile wins.
            [&] {
                if (changedOnDisk(true))
                    return false;
                // Noted only now, inside the hold and with the file found as the tab knew it,
                // so a refused write leaves no note. Synced only for a write in place, which
                // is done only with it on disk; else a note lost to a power cut only brings
                // back the question it would have spared.
                if (!write.recordFolder.isEmpty())
                    storeOwnWriteRecord(
                        write.recordFolder, write.tabID,
                        OwnWriteRecord{path, digest, bytes.size(), write.document.encoding,
                                       write.document.lineEnding, write.takenAt, statPath(path)},
                        atomicWriteGoesInPlace());
                return true;
            });
        if (!written) {
            outcome.result = DocumentWriteOutcome::Result::ChangedOnDisk;
            return outcome;
        }
        fillFileLeft(outcome, path);
        outcome.writtenDigest = digest;
        outcome.result = DocumentWriteOutcome::Result::Saved;
    } catch (const UnconfirmedReplacement&) {
        // A failure all the same, but the file is the one written: the tab's next save must
        // not take it for someone else's change.
        outcome.result = DocumentWriteOutcome::Result::Failed;
        outcome.failure = std::current_exception();
        fillFileLeft(outcome, path);
        outcome.writtenDigest = digest;
    } catch (const OldBytesPutBack& putBack) {
        // The file holds the bytes the tab knew again, under new times: those are what the
        // tab's next save finds, not a change by another program.
        outcome.result = DocumentWriteOutcome::Result::Failed;
        outcome.failure = std::current_exception();
        if (const std::optional<FileStatus>& status = putBack.status()) {
            outcome.modificationDate = status->modified;
            outcome.fileSize = status->size;
            outcome.fileIdentity = status->identity;
            outcome.changeTime = status->changed;
            outcome.writtenDigest = write.knownDigest;
        }
    } catch (...) {
        outcome.result = DocumentWriteOutcome::Result::Failed;
        outcome.failure = std::current_exception();
    }
    return outcome;
}

void DocumentWriteQueue::deliver() {
    for (;;) {
        std::optional<std::pair<quint64, DocumentWriteOutcome>> finished;
        {
            const std::lock_guard lock(m_mutex);
            if (m_finished.empty())
                break;
            finished = std::move(m_finished.front());
            m_finished.pop_front();
        }
        Q_ASSERT(!m_undelivered.empty() && m_undelivered.front().number == finished->first);
        const Done done = std::move(m_undelivered.front().done);
        m_undelivered.pop_front();
        // A caller may wait for writes from here: each outcome is taken out before it is told.
        if (done)
            done(finished->second);
    }
    runWaiters();
}

bool DocumentWriteQueue::waiterReady(const Waiter& waiter) const {
    return std::none_of(m_undelivered.begin(), m_undelivered.end(), [&](const Undelivered& write) {
        return write.number <= waiter.upTo && (!waiter.tabID || write.tabID == *waiter.tabID);
    });
}

void DocumentWriteQueue::runWaiters() {
    QList<Waiter> ready;
    for (qsizetype i = 0; i < m_waiters.size();)
        if (waiterReady(m_waiters.at(i)))
            ready.append(m_waiters.takeAt(i));
        else
            ++i;
    for (const Waiter& waiter : ready)
        waiter.then();
}

} // namespace dunmoss
