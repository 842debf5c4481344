#pragma once

#include "window/EditorCommands.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <optional>

namespace dunmoss {

// The process-wide slot through which the menus reach an editor window. A window writes its
// record when it is shown, when it becomes active and at the end of its start-up, so the menus
// act on the window most recently shown or activated.
//
// The slot only ever refers to a live window: when the window that wrote it goes away, the
// record of the window that installed most recently among those still alive takes its place, or
// the slot empties when none is left. A menu command then never reaches a window nobody can see,
// and the commands that work without a window take the pending-command path. Main thread only.
class EditorCommandsRegistry {
public:
    static EditorCommandsRegistry& shared();

    const std::optional<EditorCommands>& commands() const { return m_commands; }
    bool isEmpty() const { return !m_commands.has_value(); }
    // The window whose record is in the slot; null while empty.
    QObject* owner() const { return m_owner; }

    // Writes the window's record into the slot in one assignment, dropping the previous one.
    void install(QObject* owner, EditorCommands commands);
    // The window is going away (closed or destroyed): it can no longer be the slot's window.
    void withdraw(QObject* owner);

    // Back to the launch state (tests).
    void reset();

private:
    struct Entry {
        QObject* owner = nullptr;
        QPointer<QObject> guard;
        EditorCommands commands;
        QMetaObject::Connection destroyed;
    };

    std::optional<EditorCommands> m_commands;
    QObject* m_owner = nullptr;
    // Live windows that installed a record, oldest installation first.
    QList<Entry> m_entries;
};

// A menu command chosen while no editor window was on screen, to run once one is shown.
enum class PendingEditorCommand : std::uint8_t {
    NewDocument = 0,
    OpenDocument = 1,
    QuickOpen = 2,
    ShowHelp = 3,
    None = 4,
};

PendingEditorCommand pendingEditorCommand();
void setPendingEditorCommand(PendingEditorCommand command);
// Reads the pending command and resets it to none before anything runs.
PendingEditorCommand takePendingEditorCommand();

// Runs the command on the slot's window; nothing while the slot is empty or for None.
void runPendingEditorCommand(PendingEditorCommand command);

// Calls the slot's closure; nothing while the slot is empty.
void performRegisteredCommand(EditorCommandField field);

// For New, Open, Command Palette and Help: runs at once while some editor window is visible or
// minimised; otherwise remembers the command (replacing an earlier one) and brings an editor
// window up, which runs it when it is shown.
void performCommandOrOpenWindow(EditorCommandField field, PendingEditorCommand pending);

} // namespace dunmoss
