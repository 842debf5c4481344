#pragma once

#include <QTimer>

namespace dunmoss {

class EditorWindowModel;

// The window's periodic upkeep: every ten seconds it notices files changed on disk, writes
// modified tabs to their files when autosave is on, and saves the session. The timers belong to
// the window, so a tick never runs after the window has gone.
class MaintenanceTick {
public:
    static constexpr int kIntervalMs = 10'000;
    static constexpr int kTickDelayMs = 100;

    explicit MaintenanceTick(EditorWindowModel& model);

    // Does nothing while the loop runs.
    void startMaintenanceLoop();
    void cancel();
    bool isRunning() const { return m_loop.isActive(); }

    void maintenanceTick();
    // Flags tabs whose file changed on disk and names the first for the question.
    void checkExternalChanges();
    // Writes each modified file-backed tab that may be written; a tab whose file changed on
    // disk is flagged instead, a tab with a question waiting is left alone, and a failure is
    // reported once on the message bar and leaves the tab modified.
    void autosaveModifiedTabs();

private:
    // A failed autosave's news ends with its draft: saved another way, reverted or closed.
    void forgetSettledAutosaveFailures();

    EditorWindowModel& m_model;
    QTimer m_loop;
    QTimer m_tickDelay;
};

} // namespace dunmoss
