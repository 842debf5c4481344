#include "tools/ExternalCommand.h"

#include "platform/Localization.h"
#include "window/EditorWindowModel.h"
#include "window/WindowErrors.h"

#include <QFutureWatcher>
#include <QPromise>
#include <QThreadPool>
#include <memory>

namespace dunmoss {

UnsupportedFeatureError::UnsupportedFeatureError()
    : m_message(localizedString(QStringLiteral("tools.external-command.unsupported")).toUtf8()) {}

void ExternalCommand::presentExternalCommandSheet() {
    m_model.update([](EditorWindowState& state) {
        state.panels.externalCommandText.clear();
        state.panels.showExternalCommandSheet = true;
    });
}

void ExternalCommand::setCommandText(const QString& text) {
    m_model.update([&](EditorWindowState& state) { state.panels.externalCommandText = text; });
}

void ExternalCommand::cancel() {
    m_model.update([](EditorWindowState& state) { state.panels.showExternalCommandSheet = false; });
}

void ExternalCommand::runExternalCommand() {
    if (m_model.state().panels.externalCommandText.trimmed().isEmpty()) {
        m_model.setFindMessage(localizedString(QStringLiteral("tools.external-command.empty")));
        return;
    }
    m_model.update([](EditorWindowState& state) { state.panels.showExternalCommandSheet = false; });

    // The failing step runs off the main thread like any long run would; the watcher belongs to
    // the window, so an answer arriving after the window went is dropped.
    auto promise = std::make_shared<QPromise<void>>();
    auto* watcher = new QFutureWatcher<void>(&m_model);
    EditorWindowModel* model = &m_model;
    QObject::connect(watcher, &QFutureWatcherBase::finished, model, [model, watcher] {
        watcher->deleteLater();
        try {
            watcher->future().waitForFinished();
        } catch (const std::exception& error) {
            model->setFindMessage(errorDisplayText(error));
        }
    });
    watcher->setFuture(promise->future());
    promise->start();
    // Made here: the message is looked up on the main thread.
    const std::exception_ptr failure = std::make_exception_ptr(UnsupportedFeatureError());
    QThreadPool::globalInstance()->start([promise, failure] {
        promise->setException(failure);
        promise->finish();
    });
}

} // namespace dunmoss
