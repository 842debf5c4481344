#include "app/SavingBeforeQuit.h"

#include "app/EditorWindowPresence.h"
#include "chrome/EditorWindowView.h"
#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "session/WindowSession.h"
#include "window/EditorWindowModel.h"

#include <QCoreApplication>
#include <QPointer>
#include <thread>

namespace dunmoss {

namespace {

QList<EditorWindowModel*> windowModels() {
    QList<EditorWindowModel*> found;
    for (QWidget* widget : editorWindows())
        if (auto* window = qobject_cast<EditorWindowView*>(widget))
            found.append(&window->model());
    return found;
}

QString savingMessage() {
    return localizedString(QStringLiteral("app.quit.saving"));
}

} // namespace

SavingBeforeQuit::SavingBeforeQuit(Defaults& defaults, QObject* parent)
    : QObject(parent), m_defaults(defaults) {}

void SavingBeforeQuit::start(std::function<void()> then) {
    if (isSaving())
        return;
    m_then = std::move(then);
    QList<WindowSession*> sessions;
    for (EditorWindowModel* model : windowModels())
        if (auto* session = model->attachment<WindowSession>())
            sessions.append(session);
    m_windowsLeft = int(sessions.size()) + 1;
    const QPointer<SavingBeforeQuit> self = this;
    for (WindowSession* session : sessions)
        session->closingSave().start(savingMessage(), [self] {
            if (self)
                self->windowSaved();
        });
    windowSaved();
}

void SavingBeforeQuit::say(bool saving) {
    for (EditorWindowModel* model : windowModels()) {
        if (saving)
            model->setFindMessage(savingMessage());
        else if (model->state().findMessage == savingMessage())
            model->setFindMessage(QString());
    }
}

void SavingBeforeQuit::windowSaved() {
    if (--m_windowsLeft > 0)
        return;
    // The settings last: the windows' saves may have changed them (recent files).
    say(true);
    const QPointer<SavingBeforeQuit> self = this;
    Defaults* defaults = &m_defaults;
    std::thread([self, defaults] {
        defaults->synchronize();
        // `self` is only read on the main thread.
        QMetaObject::invokeMethod(
            qApp,
            [self] {
                if (self)
                    self->settingsSaved();
            },
            Qt::QueuedConnection);
    }).detach();
}

void SavingBeforeQuit::settingsSaved() {
    say(false);
    std::exchange(m_then, {})();
}

} // namespace dunmoss
