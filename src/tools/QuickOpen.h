#pragma once

#include "tools/QuickOpenCommand.h"
#include "tools/QuickOpenTypes.h"
#include "window/EditorCommands.h"

#include <QList>
#include <optional>

namespace dunmoss {

class EditorWindowModel;

// The command palette's operations. A command runs the closure of the window's command record
// that the menu bar and the header bar run too, so all three doors behave alike; a command whose
// operation is not installed yet does nothing and reports nothing. Choosing an entry closes the
// palette before its work runs.
class QuickOpen {
public:
    QuickOpen(EditorWindowModel& model, const EditorCommands& commands)
        : m_model(model), m_commands(commands) {}

    // The listed entries for the current query.
    QList<QuickOpenEntry> entries() const;
    std::optional<QuickOpenEntry> firstQuickOpenEntry() const;

    void performQuickOpenEntry(const QuickOpenEntry& entry);
    void performQuickOpenCommand(QuickOpenCommand command);

    void setQuery(const QString& query);
    // Closes the palette; the query stays until it is opened again.
    void dismissQuickOpen();

private:
    EditorWindowModel& m_model;
    const EditorCommands& m_commands;
};

} // namespace dunmoss
