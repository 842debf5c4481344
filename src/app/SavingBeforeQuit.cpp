#include "app/SavingBeforeQuit.h"

#include "app/EditorWindowPresence.h"
#include "chrome/EditorWindowView.h"
#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "session/SessionWriter.h"
#include "window/EditorWindowModel.h"

#include <QCoreApplication>
#include <QPointer>
#include <thread>

namespace dunmoss {

namespace {

QList<EditorWindowView*> windows() {
    QList<EditorWindowView*> found;
    for (QWidget* widget : editorWindows())
        if (auto* window = qobject_cast<EditorWindowView*>(widget))
            found.append(window);
    return found;
}

} // namespace

SavingBeforeQuit::SavingBeforeQuit(Defaults& defaults, QObject* parent)
    : QObject(parent), m_defaults(defaults) {}

SavingBeforeQuit::~SavingBeforeQuit() {
    for (const QMetaObject::Connection& watch : std::as_const(m_watches))
        disconnect(watch);
}

void SavingBeforeQuit::start(std::function<void()> then) {
    if (isSaving())
        return;
    m_then = std::move(then);
    m_rounds = 0;
    showSaving(true);
    runRound();
}

void SavingBeforeQuit::showSaving(bool saving) {
    const QString message = localizedString(QStringLiteral("app.quit.saving"));
    for (EditorWindowView* window : windows()) {
        EditorWindowModel& model = window->model();
        if (saving)
            model.setFindMessage(message);
        else if (model.state().findMessage == message)
            model.setFindMessage(QString());
    }
}

void SavingBeforeQuit::runRound() {
    ++m_rounds;
    m_changedMeanwhile = false;
    const QList<EditorWindowView*> shown = windows();
    for (EditorWindowView* window : shown) {
        m_watches.append(connect(&window->model(), &EditorWindowModel::changed, this,
                                 [this] { m_changedMeanwhile = true; }));
        if (window->model().seams().persistSession)
            window->model().seams().persistSession();
    }
    // Files being saved are waited for by each window's close, which keeps painting too.
    const QPointer<SavingBeforeQuit> self = this;
    Defaults* defaults = &m_defaults;
    std::thread([self, defaults] {
        SessionWriter::shared().waitUntilIdle();
        defaults->synchronize();
        // `self` is only read on the main thread.
        QMetaObject::invokeMethod(
            qApp,
            [self] {
                if (self)
                    self->roundOver();
            },
            Qt::QueuedConnection);
    }).detach();
}

void SavingBeforeQuit::roundOver() {
    for (const QMetaObject::Connection& watch : std::as_const(m_watches))
        disconnect(watch);
    m_watches.clear();
    if (m_changedMeanwhile && m_rounds < kMaxRounds) {
        runRound();
        return;
    }
    showSaving(false);
    std::exchange(m_then, {})();
}

} // namespace dunmoss
