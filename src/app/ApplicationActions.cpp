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

// The editor windows and those sealed for their last write, which a quit closes too.
QList<EditorWindowView*> windowsToClose() {
    QList<EditorWindowView*> windows;
    for (QWidget* widget : editorWindows())
        if (auto* window = qobject_cast<EditorWindowView*>(widget))
            windows.append(window);
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<EditorWindowView*>(widget))
            if (window->isSealedForClosing() && !windows.contains(window))
                windows.append(window);
    return windows;
}

// A window whose session neither copy could take: the program's end says so.
bool sessionLost(const QList<EditorWindowView*>& windows) {
    for (EditorWindowView* window : windows)
        if (auto* session = window->model().attachment<WindowSession>())
            if (session->persistence().keepsNeitherCopy())
                return true;
    return false;
}

void closeWindowsAndQuit() {
    g_quitting = true;
    const QList<EditorWindowView*> windows = windowsToClose();
    const bool lost = sessionLost(windows);
    const bool withoutAsking = std::exchange(g_withoutAsking, false);
    bool asking = false;
    for (EditorWindowView* window : windows) {
        if (withoutAsking)
            window->closeWithoutAsking();
        // Sealed windows are hidden, which closing all windows skips; as there, one question
        // at a time.
        else if (window->isSealedForClosing() && !window->close()) {
            asking = true;
            break;
        }
    }
    // Closing the others now would close the asking window again, sealing it under its
    // question; its answer goes on with the quit.
    if (!asking)
        QApplication::closeAllWindows();
    // A window still on screen is asking its person; the quit goes on from its answer.
    if (!hasVisibleEditorWindow()) {
        g_quitting = false;
        QCoreApplication::exit(lost ? 1 : 0);
    }
}

// Windows sealed for their last write are hidden, yet still saving.
bool hasEditorWindowSaving() {
    return g_savingBeforeQuit && saveBeforeQuitAction() && !windowsToClose().isEmpty();
}

} // namespace

void quitApplication() {
    // Ctrl+Q again while the first one waits for the disk.
    if (hasEditorWindowSaving())
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
    if (hasEditorWindowSaving())
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
    // The windows the quit saved stay, sealed ones shown again: they autosave again, and their
    // next close saves again.
    for (EditorWindowView* window : windowsToClose())
        if (auto* session = window->model().attachment<WindowSession>())
            session->closingSave().resume();
}

} // namespace dunmoss
