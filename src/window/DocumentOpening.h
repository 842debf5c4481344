#pragma once

#include "editor/TextStorage.h"
#include "platform/TextRange.h"
#include "window/OpenedFileIndex.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <QUuid>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

class QTextDocument;

namespace dunmoss {

class EditorWindowModel;
class ExpectedLook;
class MainThreadMailbox;
struct EditorTab;

// Work on a window's files other than opening them (reading a tab's file again, restoring the
// session's tabs), done in the window's queue of reads: read() runs on a pool thread and must
// not touch the window; apply() runs on the window's thread in the queue's order, after every
// file asked for before it is shown, and not at all when the window is gone by then.
class QueuedRead {
public:
    virtual ~QueuedRead() = default;
    // The pool thread's part: reads and decodes, and fills documents (made on that thread).
    virtual void read() = 0;
    // The documents read() made; they move to the window's thread with the result.
    virtual QList<QTextDocument*> documents() const { return {}; }
    // What the status line says when the read takes a while.
    virtual QString progressMessage() const = 0;
    virtual void apply() = 0;
    // The tab whose file it reads again, if any.
    virtual QUuid tabID() const { return {}; }
    // The file it reads, if one.
    virtual QUrl fileURL() const { return {}; }
};

// One file to open: a line (1-based) selects that whole line once it is shown, else a range
// is selected.
struct OpenRequest {
    QUrl url;
    std::optional<int> line;
    std::optional<TextRange> selection;
};

// What a batch of opens came to.
struct OpenOutcome {
    // Files whose tab the window now shows: newly read, or already open and brought forward.
    int shown = 0;
    // The newly read files that needed the last-resort decoding.
    QList<QUrl> fallbacks;
};

// Every way of opening a file in a window ends here: the tab that already shows the file is
// brought forward, or the file is read through the codec into a new tab.
//
// Reading, decoding and filling the file's text document happen on a pool thread, so the window
// keeps reacting while a large file loads; the tab appears once its text is ready, and the
// status line tells which file is being opened when that takes a while (the welcome panel, if
// shown, stays until then). Batches are worked
// through in the order asked, and each batch's files take their turn in its order, so the last
// file asked for ends up active; a window closed meanwhile opens nothing more. Other reads of
// the window's files (a reload, the session's tabs) take their turn in the same queue.
class DocumentOpening : public QObject {
    Q_OBJECT
public:
    explicit DocumentOpening(EditorWindowModel& model);
    ~DocumentOpening() override;

    // Opens the file and makes its tab active. Once it is shown the status line gives the
    // last-resort decoding's warning when the file needed it (and is cleared otherwise), the
    // session is saved when `persist`, and `shown` runs. Failures go to the error alert and
    // change nothing else.
    void openDocument(const QUrl& url, std::optional<int> line = std::nullopt,
                      std::optional<TextRange> selection = std::nullopt, bool persist = true,
                      std::function<void()> shown = {});
    // Opens the files in order; `done` runs once each has been shown or reported. Neither the
    // status line nor the session is touched for the files: that is the caller's to do at the
    // end of its batch.
    void openDocuments(const QList<OpenRequest>& requests,
                       std::function<void(const OpenOutcome&)> done = {});

    // The open panel; each chosen file is opened, then the session is saved once.
    void openDocumentsFromPanel();

    // Puts the work in the queue, after the files and the work asked for before it.
    void enqueue(std::unique_ptr<QueuedRead> work);

    // True while files or work asked for are not yet shown or reported.
    bool isOpening() const { return !m_batches.empty(); }
    // True while work reading the tab's file again is queued and not yet applied: what the file
    // holds is the tab's again only then.
    bool isRereading(const QUuid& tabID) const;
    // True while any tab's file is being read again.
    bool isRereadingAny() const { return rereadQueuedUpTo(m_nextBatchID); }
    // Runs `then` once every reread asked for by now is applied, with the keys held for it
    // replayed (at once when none is under way). Not run when the window goes first.
    void whenRereadsApplied(std::function<void()> then);

    // The workspace folder to hold access to while the file is read, when the window holds
    // none.
    std::optional<QUrl> folderNeedingAccess(const QUrl& url) const;

    // Runs the body while access is held on the file and, for a file inside the workspace
    // folder the window holds no access to, on that folder. Errors of the body pass through
    // after the access has ended.
    void withSecurityScopedAccess(const QUrl& url, const std::function<void()>& body) const;

    // Appends tabs in one change of the state, first dropping the window's lone untitled,
    // empty, unchanged tab (with its undo stack and storage) so the new tabs take its place.
    // The tab list is never seen empty. Nothing happens for an empty list.
    void appendTabsReplacingPristineTab(const QList<EditorTab>& tabs,
                                        std::optional<QUuid> activeTabID);

    // Testing hook, empty in the program: called on the pool thread before each file is read
    // (opened, or read again for its tab).
    std::function<void(const QUrl&)> beforeRead;

    // One turn of the event loop shows files for this long at most, and at most this many, so
    // the window's refresh after it (a tab each) stays short too; the rest of a batch follows
    // in later turns.
    static constexpr int kApplyBudgetMilliseconds = 8;
    static constexpr int kApplyFilesPerTurn = 32;
    // The status line names the file being opened once a batch has waited this long.
    static constexpr int kProgressDelayMilliseconds = 300;

private:
    struct Loaded;
    struct Batch;

    // Reads one file into a new tab (on the pool thread, or on the main thread in the rare case
    // that a file open at a batch's start was closed before its turn).
    // `look`: how the window will show it, for its document filled here.
    static void read(Loaded& out, const QUrl& url, const std::optional<QUrl>& folderAccess,
                     const ExpectedLook* look = nullptr);
    void load(Batch& batch);
    void receive(quint64 batchID, int index, std::shared_ptr<Loaded> loaded);
    void receiveWork(quint64 batchID, std::shared_ptr<QueuedRead> work);
    void scheduleApply();
    void applyReady();
    void applyOne(Batch& batch, int index);
    void recordRecentFiles();
    void showProgress();
    bool rereadQueuedUpTo(quint64 batchID) const;
    void runRereadWaiters();

    EditorWindowModel& m_model;
    std::shared_ptr<MainThreadMailbox> m_mailbox;
    std::deque<std::unique_ptr<Batch>> m_batches;
    quint64 m_nextBatchID = 1;
    OpenedFileIndex m_index;
    QList<QUrl> m_recentThisTurn;
    bool m_applyScheduled = false;
    QTimer m_progress;
    // The status line's progress text while it shows one, and what it showed before.
    std::optional<QString> m_progressMessage;
    QString m_messageBeforeProgress;
    // Who waits for the rereads queued up to a batch.
    std::vector<std::pair<quint64, std::function<void()>>> m_rereadWaiters;
};

// The status warning after files were opened with the last-resort decoding, naming them.
QString fallbackDecodingWarning(const QList<QUrl>& files);

} // namespace dunmoss
