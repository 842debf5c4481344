#include "window/WindowCloseQuestion.h"

#include "platform/Localization.h"
#include "text/EditorTab.h"
#include "window/DocumentSaving.h"
#include "window/EditorWindowModel.h"
#include "window/WindowInteraction.h"

#include <QPointer>

namespace dunmoss {

int unsavedTabCount(const EditorWindowState& state) {
    int count = 0;
    for (const EditorTab& tab : state.tabs)
        count += tabIsModified(tab) ? 1 : 0;
    return count;
}

ClosingLoss closingLosesUnsavedWork(EditorWindowModel& model, bool otherEditorWindowsRemain) {
    if (unsavedTabCount(model.state()) == 0)
        return {};
    if (otherEditorWindowsRemain || !model.seams().persistSessionAndWait)
        return {true, {}};
    // One copy written is enough: the next start brings the drafts back from it.
    QStringList unwritten = model.seams().persistSessionAndWait();
    if (unwritten.isEmpty())
        return {};
    return {true, std::move(unwritten)};
}

void askBeforeClosing(EditorWindowModel& model, std::function<void(bool)> done,
                      const QStringList& unwrittenCopies) {
    WindowInteraction* person = model.interaction();
    if (!person) {
        // Nobody to ask: keep the work.
        done(false);
        return;
    }
    AlertRequest request;
    request.title = localizedString(QStringLiteral("window.close-unsaved.title"));
    const int unsaved = unsavedTabCount(model.state());
    request.message =
        unwrittenCopies.isEmpty()
            ? localizedString(QStringLiteral("window.close-unsaved.message.format")).arg(unsaved)
            : localizedString(QStringLiteral("window.close-unsaved.unwritten.message.format"))
                  .arg(QString::number(unsaved), unwrittenCopies.join(QLatin1Char('\n')));
    request.buttons = {
        {localizedString(QStringLiteral("window.close-unsaved.save-all")),
         AlertButton::Role::Default},
        {localizedString(QStringLiteral("window.close-unsaved.discard")),
         AlertButton::Role::Destructive},
        {localizedString(QStringLiteral("window.close-unsaved.cancel")), AlertButton::Role::Cancel},
    };
    // While the question is up, no tab is written behind it: "close without saving" must still
    // mean that.
    model.update([](EditorWindowState& state) { state.decisions.askingBeforeWindowClose = true; });
    const QPointer<EditorWindowModel> window = &model;
    person->showAlert(request, [window, done](int answer) {
        if (!window) {
            done(false);
            return;
        }
        window->update(
            [](EditorWindowState& state) { state.decisions.askingBeforeWindowClose = false; });
        switch (answer) {
        case 0:
            // Untitled tabs ask for a place; a cancelled panel or a failed save keeps the window.
            window->saving().saveAllDocuments(
                [window, done] { done(window && unsavedTabCount(window->state()) == 0); });
            return;
        case 1:
            done(true);
            return;
        default:
            done(false);
            return;
        }
    });
}

} // namespace dunmoss
