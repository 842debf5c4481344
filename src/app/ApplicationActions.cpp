#include "app/ApplicationActions.h"

#include "app/EditorWindowPresence.h"
#include "chrome/EditorWindowView.h"
#include "session/WindowSession.h"

#include <QApplication>
#include <utility>

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
bool g_withoutAsking = false;

void closeWindowsAndQuit() {
    g_quitting = true;
    if (std::exchange(g_withoutAsking, false))
        for (QWidget* widget : editorWindows())
            if (auto* window = qobject_cast<EditorWindowView*>(widget))
                window->closeWithoutAsking();
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

void quitApplicationWithoutAsking() {
    g_withoutAsking = true;
    // A quit still saving closes the windows this way once it is done.
    if (g_savingBeforeQuit && saveBeforeQuitAction() && hasVisibleEditorWindow())
        return;
    // One waiting on a question starts again and closes every window after its save.
    g_quitting = false;
    quitApplication();
}

bool isQuitting() {
    return g_quitting;
}

void cancelQuit() {
    g_quitting = false;
    // The windows the quit saved stay: they autosave again, and their next close saves again.
    for (QWidget* widget : editorWindows())
        if (auto* window = qobject_cast<EditorWindowView*>(widget))
            if (auto* session = window->model().attachment<WindowSession>())
                session->closingSave().resume();
}

} // namespace dunmoss
