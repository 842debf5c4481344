#include "app/EditorCommandsRegistry.h"

#include "app/EditorWindowPresence.h"

namespace dunmoss {

namespace {
PendingEditorCommand g_pending = PendingEditorCommand::None;
} // namespace

EditorCommandsRegistry& EditorCommandsRegistry::shared() {
    static EditorCommandsRegistry registry;
    return registry;
}

void EditorCommandsRegistry::install(QObject* owner, EditorCommands commands) {
    if (!owner)
        return;
    for (qsizetype i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].owner == owner) {
            QObject::disconnect(m_entries[i].destroyed);
            m_entries.removeAt(i);
            break;
        }
    Entry entry;
    entry.owner = owner;
    entry.guard = owner;
    entry.commands = commands;
    entry.destroyed =
        QObject::connect(owner, &QObject::destroyed, [this, owner] { withdraw(owner); });
    m_entries.append(entry);
    m_commands = std::move(commands);
    m_owner = owner;
}

void EditorCommandsRegistry::withdraw(QObject* owner) {
    for (qsizetype i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].owner == owner) {
            QObject::disconnect(m_entries[i].destroyed);
            m_entries.removeAt(i);
            break;
        }
    if (m_owner != owner)
        return;
    // Hand the slot to the most recent installer that is still alive.
    while (!m_entries.isEmpty() && !m_entries.last().guard)
        m_entries.removeLast();
    if (m_entries.isEmpty()) {
        m_commands.reset();
        m_owner = nullptr;
        return;
    }
    m_commands = m_entries.last().commands;
    m_owner = m_entries.last().owner;
}

void EditorCommandsRegistry::reset() {
    for (const Entry& entry : m_entries)
        QObject::disconnect(entry.destroyed);
    m_entries.clear();
    m_commands.reset();
    m_owner = nullptr;
}

PendingEditorCommand pendingEditorCommand() {
    return g_pending;
}

void setPendingEditorCommand(PendingEditorCommand command) {
    g_pending = command;
}

PendingEditorCommand takePendingEditorCommand() {
    const PendingEditorCommand command = g_pending;
    g_pending = PendingEditorCommand::None;
    return command;
}

void runPendingEditorCommand(PendingEditorCommand command) {
    switch (command) {
    case PendingEditorCommand::NewDocument:
        performRegisteredCommand(&EditorCommands::newDocument);
        break;
    case PendingEditorCommand::OpenDocument:
        performRegisteredCommand(&EditorCommands::openDocument);
        break;
    case PendingEditorCommand::QuickOpen:
        performRegisteredCommand(&EditorCommands::quickOpen);
        break;
    case PendingEditorCommand::ShowHelp:
        performRegisteredCommand(&EditorCommands::showHelp);
        break;
    case PendingEditorCommand::None:
        break;
    }
}

void performRegisteredCommand(EditorCommandField field) {
    // A copy: the closure may replace the slot's record while it runs (its window becoming
    // active again, or another window being shown), which would destroy the running closure.
    const std::optional<EditorCommands> commands = EditorCommandsRegistry::shared().commands();
    if (commands)
        invokeCommand(*commands, field);
}

void performCommandOrOpenWindow(EditorCommandField field, PendingEditorCommand pending) {
    if (hasEditorWindow()) {
        performRegisteredCommand(field);
        return;
    }
    setPendingEditorCommand(pending);
    showMainWindow();
}

} // namespace dunmoss
