#pragma once

#include <QObject>

namespace dunmoss {

class EditorWindowModel;

// Puts the questions the person asked for in front of them whenever an operation raises one
// through the window's state: close a tab with unsaved changes, close all, reload over unsaved
// changes. Questions appear on the next turn of the event loop (never in the middle of the
// operation that raised them), one of each kind at a time, and only while no error message is
// on screen. Each answer clears the question's flag and runs its action on the tab it was asked
// about. A file changed on disk is news nobody asked for: the window's message bar tells it.
class WindowAlerts : public QObject {
    Q_OBJECT
public:
    explicit WindowAlerts(EditorWindowModel& model, QObject* parent = nullptr);

    // Shows every question the state holds that is not already on screen (normally scheduled).
    void presentPendingAlerts();

private:
    void schedule();
    void askCloseUnsaved();
    void askCloseAll();
    void askReload();

    EditorWindowModel& m_model;
    bool m_scheduled = false;
    bool m_askingCloseUnsaved = false;
    bool m_askingCloseAll = false;
    bool m_askingReload = false;
};

} // namespace dunmoss
