#pragma once

#include <QTimer>
#include <memory>

namespace dunmoss {

class AutosaveBatch;
class EditorWindowModel;

// The window's periodic upkeep: every ten seconds it notices files changed on disk, writes
// modified tabs to their files when autosave is on, and saves the session. The files are
// encoded and written on the window's writer; the tabs hear of it on the main thread, and the
// session is saved after them. The timers belong to the window, so a tick never runs after
// the window has gone.
class MaintenanceTick {
public:
    static constexpr int kIntervalMs = 10'000;
    static constexpr int kTickDelayMs = 100;

    explicit MaintenanceTick(EditorWindowModel& model);
    ~MaintenanceTick();

    // Does nothing while the loop runs.
    void startMaintenanceLoop();
    void cancel();
    bool isRunning() const { return m_loop.isActive(); }

    // A tick while the last one's files are still being written waits for the next.
    void maintenanceTick();
    // Flags tabs whose file changed on disk and names the first for the question.
    void checkExternalChanges();
    // Starts writing each modified file-backed tab that may be written; a tab whose file
    // changed on disk is flagged instead, a tab with a question waiting is left alone, and a
    // failure is reported once on the message bar and leaves the tab modified. A tab that was
    // saved, reloaded or closed meanwhile is left as it is; one typed into meanwhile keeps its
    // new text, modified. A tab whose file is being read again is left, and so is its change on
    // disk. Does nothing while writes it started are under way.
    void autosaveModifiedTabs();
    bool isAutosaving() const { return m_batch != nullptr; }
    // Blocks until the files being written (autosaved or saved) are written, and lets the tabs
    // know now.
    void waitForAutosaves();

private:
    struct Presence {
        MaintenanceTick* tick = nullptr;
    };

    void finishAutosave(const std::shared_ptr<AutosaveBatch>& batch);
    // A failed autosave's news ends with its draft: saved another way, reverted or closed.
    void forgetSettledAutosaveFailures();

    EditorWindowModel& m_model;
    QTimer m_loop;
    QTimer m_tickDelay;
    std::shared_ptr<AutosaveBatch> m_batch;
    // Whether the batch's end saves the session (it was started by a tick).
    bool m_persistAfterBatch = false;
    std::shared_ptr<Presence> m_presence;
};

} // namespace dunmoss
