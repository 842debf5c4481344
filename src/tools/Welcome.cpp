#include "tools/Welcome.h"

#include "window/DocumentOpening.h"
#include "window/EditorWindowModel.h"

namespace dunmoss {

void Welcome::closeWelcomePanel() {
    m_model.update([](EditorWindowState& state) { state.panels.showWelcome = false; });
}

void Welcome::dismissWelcomeThen(EditorCommandField field) {
    closeWelcomePanel();
    invokeCommand(m_commands, field);
}

void Welcome::newDocument() {
    dismissWelcomeThen(&EditorCommands::newDocument);
}

void Welcome::openDocument() {
    dismissWelcomeThen(&EditorCommands::openDocument);
}

void Welcome::openWorkspace() {
    dismissWelcomeThen(&EditorCommands::openWorkspace);
}

void Welcome::openCommandPalette() {
    dismissWelcomeThen(&EditorCommands::quickOpen);
}

void Welcome::openTextToolbox() {
    dismissWelcomeThen(&EditorCommands::showTextToolbox);
}

void Welcome::openRecentFile(const QUrl& url) {
    closeWelcomePanel();
    m_model.opening().openDocument(url, std::nullopt, std::nullopt, true);
}

} // namespace dunmoss
