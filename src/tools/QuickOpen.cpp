#include "tools/QuickOpen.h"

#include "window/DocumentOpening.h"
#include "window/EditorWindowModel.h"

namespace dunmoss {

const QList<QuickOpenCandidate>& QuickOpenFileIndex::candidates(const EditorWindowState& state) {
    const WorkspaceState& workspace = state.workspace;
    if (!m_built || !workspace.workspaceItems.isSharedWith(m_items) ||
        workspace.workspaceRootURL != m_root) {
        m_items = workspace.workspaceItems;
        m_root = workspace.workspaceRootURL;
        m_candidates = quickOpenFileCandidates(state);
        m_built = true;
    }
    return m_candidates;
}

QList<QuickOpenEntry> QuickOpen::entries() const {
    const auto& commandSeam = m_model.seams().quickOpenCommandEntries;
    const QList<QuickOpenEntry> commandEntries =
        commandSeam ? commandSeam() : QList<QuickOpenEntry>{};
    if (!m_index)
        return quickOpenEntries(m_model.state(), commandEntries);
    return filterQuickOpenEntries(m_model.state().panels.quickOpenQuery, commandEntries,
                                  m_index->candidates(m_model.state()));
}

std::optional<QuickOpenEntry> QuickOpen::firstQuickOpenEntry() const {
    const QList<QuickOpenEntry> listed = entries();
    if (listed.isEmpty())
        return std::nullopt;
    return listed.first();
}

void QuickOpen::performQuickOpenEntry(const QuickOpenEntry& entry) {
    m_model.update([](EditorWindowState& state) { state.panels.showQuickOpen = false; });
    switch (entry.action.kind) {
    case QuickOpenAction::Kind::Command:
        if (const std::optional<QuickOpenCommand> command =
                quickOpenCommandFromRaw(entry.action.command))
            performQuickOpenCommand(*command);
        break;
    case QuickOpenAction::Kind::File:
        m_model.opening().openDocument(entry.action.fileURL, std::nullopt, std::nullopt, true);
        break;
    }
}

void QuickOpen::performQuickOpenCommand(QuickOpenCommand command) {
    invokeCommand(m_commands, quickOpenCommandField(command));
}

void QuickOpen::setQuery(const QString& query) {
    if (m_model.state().panels.quickOpenQuery == query)
        return;
    m_model.update([&](EditorWindowState& state) { state.panels.quickOpenQuery = query; });
}

void QuickOpen::dismissQuickOpen() {
    m_model.update([](EditorWindowState& state) { state.panels.showQuickOpen = false; });
}

} // namespace dunmoss
