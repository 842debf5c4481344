#pragma once

#include "session/ClosingSave.h"
#include "session/MaintenanceTick.h"
#include "session/RecentFilesStore.h"
#include "session/SessionFiles.h"
#include "session/SessionPersistence.h"
#include "session/SessionRestore.h"
#include "session/SessionStore.h"
#include "window/EditorWindowModel.h"

#include <QString>

namespace dunmoss {

// Everything one window keeps across launches: its session store and the operations that save
// and restore it, the maintenance tick, its recent files and the session files. Attached to
// the window's model, so its timers end with the window.
class WindowSession : public WindowAttachment {
public:
    // Makes the window's session and fills the window's seams with its operations.
    static WindowSession& attach(EditorWindowModel& model);
    // The session attached to the window.
    static WindowSession& of(const EditorWindowModel& model);

    // An empty folder means the standard recovery folder for the standard settings, and a
    // "Recovery" folder beside the settings file for any other.
    WindowSession(EditorWindowModel& model, const QString& recoveryDirectory);

    SessionStore& store() { return m_store; }
    SessionPersistence& persistence() { return m_persistence; }
    MaintenanceTick& maintenance() { return m_maintenance; }
    RecentFilesStore& recentFiles() { return m_recentFiles; }
    SessionRestore& restore() { return m_restore; }
    SessionFiles& files() { return m_files; }
    ClosingSave& closingSave() { return m_closingSave; }

    // Fills the window's seams with these operations. Under the interface-testing flag the
    // session is neither saved nor snapshotted, so those seams stay empty (and a close that
    // would lose edits asks first).
    void installSeams();

    // The window went away: a full save that is waited for, then its timers stop. After the
    // closing save (closingSave()), which sealed the window, it is not waited for: the writer
    // skips copies that did not change, and nothing could change them.
    void saveSessionOnDisappear();
    void cancelWindowTasks();

private:
    EditorWindowModel& m_model;
    SessionStore m_store;
    SessionPersistence m_persistence;
    MaintenanceTick m_maintenance;
    RecentFilesStore m_recentFiles;
    SessionRestore m_restore;
    SessionFiles m_files;
    ClosingSave m_closingSave;
};

} // namespace dunmoss
