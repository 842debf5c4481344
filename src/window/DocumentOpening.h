#pragma once

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

namespace dunmoss {

class EditorWindowModel;
class MainThreadMailbox;
struct EditorTab;

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
// file asked for ends up active; a window closed meanwhile opens nothing more.
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

    // True while files asked for are not yet shown or reported.
    bool isOpening() const { return !m_batches.empty(); }

    // Runs the body while access is held on the file and, for a file inside the workspace
    // folder the window holds no access to, on that folder. Errors of the body pass through
    // after the access has ended.
    void withSecurityScopedAccess(const QUrl& url, const std::function<void()>& body) const;

    // Appends tabs in one change of the state, first dropping the window's lone untitled,
    // empty, unchanged tab (with its undo stack and storage) so the new tabs take its place.
    // The tab list is never seen empty. Nothing happens for an empty list.
    void appendTabsReplacingPristineTab(const QList<EditorTab>& tabs,
                                        std::optional<QUuid> activeTabID);

    // Testing hook, empty in the program: called on the pool thread before each file is read.
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

    std::optional<QUrl> folderNeedingAccess(const QUrl& url) const;
    // Reads one file into a new tab (on the pool thread, or on the main thread in the rare case
    // that a file open at a batch's start was closed before its turn).
    static void read(Loaded& out, const QUrl& url, const std::optional<QUrl>& folderAccess);
    void load(Batch& batch);
    void receive(quint64 batchID, int index, std::shared_ptr<Loaded> loaded);
    void applyReady();
    void applyOne(Batch& batch, int index);
    void recordRecentFiles();
    void showProgress();

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
};

// The status warning after files were opened with the last-resort decoding, naming them.
QString fallbackDecodingWarning(const QList<QUrl>& files);

// The status warning after files were opened with the last-resort decoding, naming them.
QString fallbackDecodingWarning(const QList<QUrl>& files);

} // namespace dunmoss
