#include "tools/QuickOpen.h"

#include "window/DocumentOpening.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

namespace dunmoss {

QList<QuickOpenEntry> QuickOpen::entries() const {
    const auto& commandEntries = m_model.seams().quickOpenCommandEntries;
    return quickOpenEntries(m_model.state(),
                            commandEntries ? commandEntries() : QList<QuickOpenEntry>{});
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
