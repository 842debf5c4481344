#pragma once

#include "window/EditorCommands.h"

#include <QObject>
#include <QPointer>
#include <QUuid>
#include <functional>

namespace dunmoss {

class EditorWindowModel;

// Makes commands that run an operation on the window's model at the time they run, and do
// nothing once the window is gone.
class ModelCommandMaker {
public:
    explicit ModelCommandMaker(EditorWindowModel& model);
    std::function<void()> operator()(std::function<void(EditorWindowModel&)> operation) const;

private:
    QPointer<EditorWindowModel> m_window;
};

// One window's side of the command slot: the record of its 49 commands, and the operations of
// the chrome that the record and the tab strip run.
//
// The window's own operations (new, open, save, save as, save all, print, the three setting
// toggles) are built in. The other fields run the operation that the part of the window owning
// it installs in `handlers()`; until one is installed the command does nothing (never a pretend
// success). Every closure holds the window weakly and acts on its state at the time it runs.
class WindowCommandTable {
public:
    explicit WindowCommandTable(EditorWindowModel& model);

    // Operations later parts of the window install, one per field; checked when a command runs.
    EditorCommands& handlers() { return m_handlers; }
    const EditorCommands& handlers() const { return m_handlers; }

    // The tab strip's close request; installed by the part that owns closing tabs.
    std::function<void(const QUuid&)> requestCloseTab;

    // Builds the record for this window, the value the menus reach it through. Runs nothing.
    EditorCommands makeWindowCommands() const;

    // Built-in operations.
    void newDocument();
    void selectTab(const QUuid& tabID);
    void toggleWordWrapSetting();
    void toggleInvisiblesSetting();
    void toggleAlwaysOnTopSetting();

private:
    EditorWindowModel& m_model;
    EditorCommands m_handlers;
};

} // namespace dunmoss
