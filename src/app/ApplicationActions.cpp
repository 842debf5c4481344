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

void quitApplication() {
    g_quitting = true;
    QApplication::closeAllWindows();
    // A window still on screen is asking its person; the quit goes on from its answer.
    if (!hasVisibleEditorWindow()) {
        g_quitting = false;
        QCoreApplication::quit();
    }
}

bool isQuitting() {
    return g_quitting;
}

void cancelQuit() {
    g_quitting = false;
}

} // namespace dunmoss
