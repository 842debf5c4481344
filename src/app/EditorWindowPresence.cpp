#include "app/EditorWindowPresence.h"

#include "chrome/EditorWindowView.h"
#include "chrome/WindowLevel.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace dunmoss {

namespace {

bool g_isOpeningEditorWindow = false;
// Bumped by a reset so that a verification scheduled before it is ignored.
int g_generation = 0;

void activate(QWidget* window) {
    window->raise();
    window->activateWindow();
}

void callFallbackWindowAction() {
    if (fallbackWindowAction())
        fallbackWindowAction()();
}

void verifyEditorWindowOpened() {
    g_isOpeningEditorWindow = false;
    if (!hasEditorWindow())
        callFallbackWindowAction();
}

} // namespace

QList<QWidget*> editorWindows() {
    // The same list the always-on-top setting goes to: panels and dialogs never count.
    return editorWindowsForLevel();
}

bool hasEditorWindow() {
    for (QWidget* window : editorWindows())
        if (window->isVisible() || window->isMinimized())
            return true;
    return false;
}

bool hasVisibleEditorWindow() {
    for (QWidget* window : editorWindows())
        if (window->isVisible() && !window->isMinimized())
            return true;
    return false;
}

void showMainWindow() {
    const QList<QWidget*> windows = editorWindows();
    for (QWidget* window : windows)
        if (window->isVisible() && !window->isMinimized()) {
            activate(window);
            return;
        }
    for (QWidget* window : windows)
        if (window->isMinimized()) {
            window->showNormal();
            activate(window);
            return;
        }
    for (QWidget* window : windows)
        if (!window->isVisible()) {
            window->show();
            activate(window);
            return;
        }
    if (openEditorWindowAction()) {
        if (!g_isOpeningEditorWindow) {
            g_isOpeningEditorWindow = true;
            const int generation = g_generation;
            openEditorWindowAction()();
            QTimer::singleShot(1500, qApp, [generation] {
                if (generation == g_generation)
                    verifyEditorWindowOpened();
            });
        }
    } else if (!g_isOpeningEditorWindow) {
        callFallbackWindowAction();
    }
}

std::function<void()>& openEditorWindowAction() {
    static std::function<void()> action;
    return action;
}

std::function<void()>& fallbackWindowAction() {
    static std::function<void()> action;
    return action;
}

void resetEditorWindowPresence() {
    openEditorWindowAction() = nullptr;
    fallbackWindowAction() = nullptr;
    g_isOpeningEditorWindow = false;
    ++g_generation;
}

} // namespace dunmoss
