#pragma once

#include "window/EditorCommands.h"

#include <QUrl>

namespace dunmoss {

class EditorWindowModel;

// The welcome panel's actions. Each hides the panel first, so it goes away even when the action
// then changes nothing (a cancelled panel); the start actions then run the same closures of the
// window's command record as the menu.
class Welcome {
public:
    Welcome(EditorWindowModel& model, const EditorCommands& commands)
        : m_model(model), m_commands(commands) {}

    void newDocument();
    void openDocument();
    void openWorkspace();
    // Opens the palette with an empty query.
    void openCommandPalette();
    void openTextToolbox();
    void openRecentFile(const QUrl& url);
    void closeWelcomePanel();

private:
    void dismissWelcomeThen(EditorCommandField field);

    EditorWindowModel& m_model;
    const EditorCommands& m_commands;
};

} // namespace dunmoss
