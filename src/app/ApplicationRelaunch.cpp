#include "app/ApplicationRelaunch.h"

#include "app/ApplicationActions.h"
#include "app/SingleInstance.h"
#include "platform/Localization.h"
#include "platform/NotificationBus.h"
#include "session/SessionWriter.h"
#include "text/EditorTheme.h"

#include <QCoreApplication>
#include <QPointer>
#include <QProcess>

namespace dunmoss {

namespace {

QPointer<SingleInstance>& runningInstance() {
    static QPointer<SingleInstance> instance;
    return instance;
}

} // namespace

void setRunningInstance(SingleInstance* instance) {
    runningInstance() = instance;
}

QStringList relaunchArguments(const QStringList& currentArguments) {
    QStringList arguments;
    if (arrayContainsString(currentArguments, QString::fromLatin1(kUiTestingArgument)))
        arguments.append(QString::fromLatin1(kUiTestingArgument));
    return arguments;
}

std::optional<QString> relaunchApplication(const RelaunchSteps& steps) {
    if (steps.postWillTerminate)
        steps.postWillTerminate();
    if (steps.releaseInstance)
        steps.releaseInstance();
    const std::optional<QString> failure =
        steps.startNewInstance ? steps.startNewInstance() : std::optional<QString>(QString());
    if (failure) {
        if (steps.reacquireInstance)
            steps.reacquireInstance();
        return failure;
    }
    if (steps.terminate)
        steps.terminate();
    return std::nullopt;
}

RelaunchSteps processRelaunchSteps(const QString& program) {
    RelaunchSteps steps;
    // The successor restores the session: it must be on disk before it starts.
    steps.postWillTerminate = [] {
        NotificationBus::shared().postApplicationWillTerminate();
        SessionWriter::shared().waitUntilIdle();
    };
    steps.releaseInstance = [] {
        if (SingleInstance* instance = runningInstance())
            instance->release();
    };
    steps.reacquireInstance = [] {
        if (SingleInstance* instance = runningInstance())
            instance->reacquire();
    };
    const QString executable =
        program.isEmpty() ? QCoreApplication::applicationFilePath() : program;
    steps.startNewInstance = [executable]() -> std::optional<QString> {
        QProcess process;
        process.setProgram(executable);
        process.setArguments(relaunchArguments(QCoreApplication::arguments()));
        if (process.startDetached())
            return std::nullopt;
        return localizedString(QStringLiteral("settings.language.restart.failed.format"))
            .arg(executable, process.errorString());
    };
    steps.terminate = [] { quitApplication(); };
    return steps;
}

} // namespace dunmoss
