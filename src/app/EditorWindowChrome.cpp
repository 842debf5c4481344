#include "app/EditorWindowChrome.h"

#include "app/ApplicationActions.h"
#include "app/EditorCommandsRegistry.h"
#include "app/EditorMenuBar.h"
#include "app/EditorWindowPresence.h"
#include "chrome/EditorWindowView.h"
#include "window/EditorWindowModel.h"
#include "window/TabUndoRegistry.h"
#include "window/WindowCommandTable.h"
#include "window/WindowDerivedValues.h"

namespace dunmoss {

namespace {

void installWindowCommands(EditorWindowView* window) {
    EditorCommandsRegistry::shared().install(window, window->commandTable().makeWindowCommands());
}

} // namespace

void installApplicationChrome(EditorWindowView& window, Defaults& defaults,
                              std::function<void()> openWindow) {
    EditorWindowModel* model = &window.model();
    EditMenuContext edit;
    edit.activeUndoStack = [model] {
        return model->undoRegistry().undoStackForTab(keyboardTab(model->state()).id);
    };
    edit.undoStep = [model](bool redo) {
        model->undoTabStep(keyboardTab(model->state()).id, redo);
    };
    window.setMenuBar(new EditorMenuBar(std::move(edit), defaults, &window));

    EditorWindowView* target = &window;
    bool published = false;
    QObject::connect(target, &EditorWindowView::commandTargetOffered, target,
                     [target, openWindow, published]() mutable {
                         installWindowCommands(target);
                         if (openWindow && !published) {
                             published = true;
                             openEditorWindowAction() = openWindow;
                         }
                     });
    QObject::connect(target, &EditorWindowView::startUpStepsFinished, target, [target] {
        installWindowCommands(target);
        const PendingEditorCommand pending = takePendingEditorCommand();
        if (pending != PendingEditorCommand::None)
            runPendingEditorCommand(pending);
    });
    // Only the pointer is used: the signal may come from the window's destructor.
    QObject::connect(target, &EditorWindowView::closed, target,
                     [target] { EditorCommandsRegistry::shared().withdraw(target); });
    QObject::connect(target, &EditorWindowView::sealedForClosing, target,
                     [target] { EditorCommandsRegistry::shared().withdraw(target); });
    QObject::connect(target, &EditorWindowView::closeDeclined, target, [] { cancelQuit(); });
    QObject::connect(target, &EditorWindowView::closedAfterQuestion, target, [] {
        if (isQuitting())
            quitApplication();
    });
}

EditorMenuBar* editorMenuBar(const EditorWindowView& window) {
    return qobject_cast<EditorMenuBar*>(window.menuWidget());
}

} // namespace dunmoss
