#include "app/ApplicationActions.h"

#include "app/EditorWindowPresence.h"

#include <QApplication>

namespace dunmoss {

namespace {
bool g_quitting = false;
} // namespace

std::function<void()>& openSettingsAction() {
    static std::function<void()> action;
    return action;
}

std::function<void()>& checkForUpdatesAction() {
    static std::function<void()> action;
    return action;
}

std::function<void(std::function<void()>)>& saveBeforeQuitAction() {
    static std::function<void(std::function<void()>)> action;
    return action;
}

namespace {

bool g_savingBeforeQuit = false;

void closeWindowsAndQuit() {
    g_quitting = true;
    QApplication::closeAllWindows();
    // A window still on screen is asking its person; the quit goes on from its answer.
    if (!hasVisibleEditorWindow()) {
        g_quitting = false;
        QCoreApplication::quit();
    }
}

} // namespace

void quitApplication() {
    // Ctrl+Q again while the first one waits for the disk.
    if (g_savingBeforeQuit && saveBeforeQuitAction() && hasVisibleEditorWindow())
        return;
    if (!g_quitting && saveBeforeQuitAction() && hasVisibleEditorWindow()) {
        g_savingBeforeQuit = true;
        saveBeforeQuitAction()([] {
            g_savingBeforeQuit = false;
            closeWindowsAndQuit();
        });
        return;
    }
    closeWindowsAndQuit();
}

bool isQuitting() {
    return g_quitting;
}

void cancelQuit() {
    g_quitting = false;
}

} // namespace dunmoss
