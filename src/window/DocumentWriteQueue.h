#pragma once

#include "platform/FileStat.h"
#include "text/PlainTextDocument.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class QObject;

namespace dunmoss {

class MainThreadMailbox;

// One document on its way to a file: the text as it was when the write was asked for (sharing
// the tab's string, not a copy of it).
struct DocumentWrite {
    QUuid tabID;
    QUrl url;
    PlainTextDocument document;
    // Save and autosave write over the tab's own file only while it is as the tab last saw it;
    // a place the person just chose is written whatever it holds.
    bool refuseWhenChangedOnDisk = false;
    std::optional<FileTimestamp> knownModificationDate = {};
    std::optional<qint64> knownFileSize = {};
    std::optional<FileIdentity> knownFileIdentity = {};
    std::optional<FileTimestamp> knownChangeTime = {};
    // What the tab last saved or read there: where only the change time moved (a new name,
    // owner, mode or attribute moves it too), the file's bytes decide.
    std::optional<PlainTextDocument> knownSavedDocument = {};
    // Where a tab's write notes what it is about to write (see OwnWriteRecord), and when its
    // text was taken; set by the queue, nothing is noted without a folder.
    QString recordFolder = {};
    double takenAt = 0;
    // SHA-256 of what the file holds, when the tab knows it as its own last write left it (set
    // by the queue): a date of whole seconds cannot tell a rewrite of the same size within that
    // second, its bytes can.
    QByteArray knownDigest = {};
};

struct DocumentWriteOutcome {
    enum class Result { Saved, ChangedOnDisk, Failed };
    Result result = Result::Failed;
    // The file as written, for a saved document, or for a failed one whose bytes replaced the
    // file before the disk refused to confirm them, or whose file got its old bytes back.
    std::optional<FileTimestamp> modificationDate;
    std::optional<qint64> fileSize;
    std::optional<FileIdentity> fileIdentity;
    std::optional<FileTimestamp> changeTime;
    // SHA-256 of the bytes that replaced the file, for a tab's write.
    QByteArray writtenDigest;
    // The encoding or write error of a failed one; the file on disk is then as it was.
    std::exception_ptr failure;
    // The text written, in a string of the writer's own (from the queue, for a saved document),
    // so that nothing but the tab holds the tab's string once the writer has started.
    QString writtenText;
};

// What a tab keeps as its saved text once `written` is on disk: its own string when nothing was
// typed since (telling whether it is modified then costs nothing), else the writer's copy.
inline QString savedTextAfterWrite(const QString& tabText, const QString& written) {
    return tabText == written ? tabText : written;
}

// Encodes and writes documents on a thread of its own, one after another in the order they were
// handed over, so the window never waits for the disk (encoding, sync, rename). Each outcome
// comes back on the window's thread, in the same order. A write that follows another of the same
// tab and file judges "changed on disk" against what that earlier write left, so a save queued
// behind a save or an autosave never takes the tab's own write for someone else's; another tab's
// write of the file is a change on disk like any other.
class DocumentWriteQueue {
public:
    using Done = std::function<void(const DocumentWriteOutcome&)>;

    // Outcomes are delivered on the receiver's thread while it exists.
    explicit DocumentWriteQueue(QObject* receiver);
    // Every write handed over is still made (blocking); nobody hears of it any more.
    ~DocumentWriteQueue();
    DocumentWriteQueue(const DocumentWriteQueue&) = delete;
    DocumentWriteQueue& operator=(const DocumentWriteQueue&) = delete;

    void submit(DocumentWrite write, Done done);
    // Tabs' writes handed over from now on note what they write in the folder.
    void recordWritesIn(const QString& folder) { m_recordFolder = folder; }
    // The tab took its file from disk (read it again, or kept its text over a change): after the
    // writes handed over so far, its note goes, and what its last write put in the file no
    // longer stands for what the tab knows of it.
    void forgetOwnWrites(const QUuid& tabID);

    // Writes handed over whose outcome has not been delivered yet: of the tab, or of any tab.
    bool isWriting(const QUuid& tabID) const;
    bool isWriting() const { return !m_undelivered.empty(); }
    // Where the tab's last undelivered write goes.
    std::optional<QUrl> pendingDestination(const QUuid& tabID) const;
    // Runs `then` once the outcomes of the tab's writes handed over so far were delivered (at
    // once when there are none); the same for all writes without a tab.
    void whenWritten(const QUuid& tabID, std::function<void()> then);
    void whenAllWritten(std::function<void()> then);
    // Blocks until every write handed over is made, then delivers the outcomes now: for a window
    // that closes or a program that ends.
    void waitForWrites();

    // One write on the calling thread, judged against the known state it carries.
    static DocumentWriteOutcome write(const DocumentWrite& write);

    // For benches and tests: runs on the writing thread inside every document write, after the
    // bytes went to the temporary file (or, for a file with other names, into the file beside
    // the copy of its old bytes) and before they are made durable (a slow disk's sync) and the
    // file is confirmed unchanged.
    static void setBeforeSyncHook(std::function<void(const QString& path)> hook);

private:
    struct Task {
        quint64 number = 0;
        DocumentWrite write;
        // An earlier write of the same tab and file was still undelivered when this one was
        // handed over.
        bool followsEarlierWrite = false;
        // Not a write: the tab's note and last written bytes are forgotten (see forgetOwnWrites).
        bool forget = false;
    };
    struct Undelivered {
        quint64 number = 0;
        QUuid tabID;
        QUrl url;
        Done done;
    };
    struct Waiter {
        // Runs once no undelivered write numbered up to `upTo` (of the tab, when set) is left.
        quint64 upTo = 0;
        std::optional<QUuid> tabID;
        std::function<void()> then;
    };
    struct FileLeft {
        std::optional<FileTimestamp> modificationDate;
        std::optional<qint64> fileSize;
        std::optional<FileIdentity> fileIdentity;
        std::optional<FileTimestamp> changeTime;
        // SHA-256 of the bytes the tab's last write left, while they are what it knows.
        QByteArray digest;
    };

    void run();
    DocumentWriteOutcome writeInOrder(const Task& task);
    void forget(const QUuid& tabID, const QString& recordFolder);
    // On the window's thread: outcomes that came in, to their callers, in order.
    void deliver();
    void runWaiters();
    bool waiterReady(const Waiter& waiter) const;

    std::shared_ptr<MainThreadMailbox> m_mailbox;
    // Deliveries already posted find the queue gone once this is.
    std::shared_ptr<int> m_alive;
    const std::weak_ptr<int> m_aliveWatch;
    // The window's thread only.
    std::deque<Undelivered> m_undelivered;
    QList<Waiter> m_waiters;
    quint64 m_lastNumber = 0;
    QString m_recordFolder;
    // Shared with the writing thread.
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Task> m_tasks;
    bool m_busy = false;
    bool m_stopping = false;
    std::deque<std::pair<quint64, DocumentWriteOutcome>> m_finished;
    // The writing thread only: for each file, what each tab's last write of it found or left
    // there, while no other write has changed it since.
    QHash<QString, QHash<QUuid, FileLeft>> m_left;
    std::unique_ptr<std::thread> m_thread;
};

} // namespace dunmoss
