#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace dunmoss {

class SingleInstance;

// The steps of starting a new instance of this program in place of the running one.
struct RelaunchSteps {
    // Asks every editor window to save its session.
    std::function<void()> postWillTerminate;
    // Frees the single-instance name, so the new process does not hand itself to this one.
    std::function<void()> releaseInstance;
    // Takes the name back when the new process did not start.
    std::function<void()> reacquireInstance;
    // Starts the new process; on failure returns why.
    std::function<std::optional<QString>()> startNewInstance;
    std::function<void()> terminate;
};

// Posts the will-terminate notification, releases the instance name and starts the successor.
// Only once it has started does this process terminate; otherwise it keeps running, listens
// again, and the reason is returned for the person to see.
std::optional<QString> relaunchApplication(const RelaunchSteps& steps);

// The steps for this process: the notification bus, the registered running instance (if
// any), QProcess::startDetached of `program` (by default this executable) with the arguments a
// fresh launch keeps, and the application's quit.
RelaunchSteps processRelaunchSteps(const QString& program = {});

// The running instance that a relaunch releases; main() registers it.
void setRunningInstance(SingleInstance* instance);

// The arguments of this launch a new instance gets: the testing flag only (files come back
// with the session).
QStringList relaunchArguments(const QStringList& currentArguments);

} // namespace dunmoss
