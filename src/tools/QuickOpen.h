#pragma once

#include "tools/QuickOpenCommand.h"
#include "window/EditorCommands.h"
#include "window/QuickOpenTypes.h"
#include "window/WindowDerivedValues.h"

#include <QList>
#include <optional>

namespace dunmoss {

class EditorWindowModel;

// The workspace files' palette candidates of one window, kept between keystrokes and built
// again only when the tree or its root changed.
class QuickOpenFileIndex {
public:
    const QList<QuickOpenCandidate>& candidates(const EditorWindowState& state);

private:
    bool m_built = false;
    QList<WorkspaceItem> m_items;
    std::optional<QUrl> m_root;
    QList<QuickOpenCandidate> m_candidates;
};

// The command palette's operations. A command runs the closure of the window's command record
// that the menu bar and the header bar run too, so all three doors behave alike; a command whose
// operation is not installed yet does nothing and reports nothing. Choosing an entry closes the
// palette before its work runs.
class QuickOpen {
public:
    // Without an index the files' entries are built afresh for each listing.
    QuickOpen(EditorWindowModel& model, const EditorCommands& commands,
              QuickOpenFileIndex* index = nullptr)
        : m_model(model), m_commands(commands), m_index(index) {}

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
    QuickOpenFileIndex* m_index;
};

} // namespace dunmoss
