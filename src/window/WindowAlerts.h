#pragma once

#include <QObject>
#include <QUuid>
#include <optional>

namespace dunmoss {

class EditorWindowModel;

// Puts the window's questions in front of the person whenever an operation raises one through
// the window's state: close a tab with unsaved changes, close all, reload over unsaved changes,
// and a file changed on disk. Questions appear on the next turn of the event loop (never in the
// middle of the operation that raised them), one of each kind at a time, and only while no error
// message is on screen. Each answer clears the
// question's flag and runs its action; an external-change answer acts only on the tab it was
// asked about, and the next flagged tab is then asked about in turn.
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
    void askExternalChange(const QUuid& tabID);

    EditorWindowModel& m_model;
    bool m_scheduled = false;
    bool m_askingCloseUnsaved = false;
    bool m_askingCloseAll = false;
    bool m_askingReload = false;
    std::optional<QUuid> m_askingExternalChange;
};

} // namespace dunmoss
