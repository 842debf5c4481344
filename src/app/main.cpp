// Dunmoss Notepad: a tabbed plain-text and source-code editor.
#include "app/ApplicationDelegate.h"
#include "app/ApplicationRelaunch.h"
#include "app/CommandLine.h"
#include "app/DunmossNotepadApp.h"
#include "app/InstanceWaitNotice.h"
#include "app/SingleInstance.h"
#include "editor/IconTable.h"
#include "platform/Defaults.h"
#include "platform/PaintingThreads.h"
#include "platform/ProcessEnd.h"
#include "session/SessionWriter.h"
#include "text/EditorTheme.h"
#include "window/LaunchReadAhead.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <cstdio>
#include <memory>

namespace {

constexpr int kEndingWorkWaitMs = 3000;

// Said on the terminal and, for a launch from the desktop, in a message box of its own.
void reportRefusedLaunch(const QString& message, const QStringList& arguments) {
    std::fputs(qPrintable(message + QLatin1Char('\n')), stderr);
    if (dunmoss::arrayContainsString(arguments, QString::fromLatin1(dunmoss::kUiTestingArgument)))
        return;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Dunmoss Notepad"), message,
                    QMessageBox::Ok);
    box.exec();
}

// Names of files only, nothing the toolkit or this program would take as an option: the files
// are read and decoded while the toolkit starts. With options they wait until it has taken its
// own (see below).
void readAheadBeforeToolkit(int argc, char** argv) {
    QStringList arguments;
    QList<QByteArray> nativeArguments;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && argv[i][0] == '-')
            return;
        arguments.append(QString::fromLocal8Bit(argv[i]));
        nativeArguments.append(QByteArray(argv[i]));
    }
    const dunmoss::CommandLine commandLine = dunmoss::parseCommandLine(arguments, nativeArguments);
    dunmoss::LaunchReadAhead::startBeforeApplication(
        dunmoss::DunmossNotepadApp::fileURLsFromArguments(commandLine.paths));
}

} // namespace

int main(int argc, char** argv) {
    dunmoss::leaveThreadsForPainting();
    readAheadBeforeToolkit(argc, argv);
    // "--" and the paths after it are kept from the toolkit, which would take any of them that
    // looks like one of its own options.
    int toolkitArgc = dunmoss::toolkitArgumentCount(argc, argv);
    QStringList protectedArguments;
    QList<QByteArray> nativeProtectedArguments;
    for (int i = toolkitArgc; i < argc; ++i) {
        protectedArguments.append(QString::fromLocal8Bit(argv[i]));
        nativeProtectedArguments.append(QByteArray(argv[i]));
    }
    QApplication application(toolkitArgc, argv);
    dunmoss::LaunchReadAhead::applicationReady();
    // The toolkit has taken its own options out of the arguments before "--" by now.
    const QStringList arguments = QApplication::arguments();
    // The bytes of the same arguments tell the file names that are not valid UTF-8.
    QList<QByteArray> nativeArguments;
    for (int i = 0; i < toolkitArgc; ++i)
        nativeArguments.append(QByteArray(argv[i]));
    const dunmoss::CommandLine commandLine = dunmoss::parseCommandLine(
        arguments + protectedArguments, nativeArguments + nativeProtectedArguments);
    const QString program = arguments.value(0, QStringLiteral("dunmoss-notepad"));
    switch (commandLine.action) {
    case dunmoss::CommandLine::Action::ShowHelp:
        std::fputs(dunmoss::commandLineUsage(program).toLocal8Bit().constData(), stdout);
        return 0;
    case dunmoss::CommandLine::Action::Reject:
        std::fputs(dunmoss::unknownOptionMessage(program, commandLine.unknownOption)
                       .toLocal8Bit()
                       .constData(),
                   stderr);
        return dunmoss::kUsageExitCode;
    case dunmoss::CommandLine::Action::Run:
        break;
    }
    // Said here as well, since a running program that takes the other files shows nothing of
    // these.
    for (const QString& path : commandLine.unnamedPaths)
        std::fputs(
            (dunmoss::unnamedFileMessage(path) + QLatin1Char('\n')).toLocal8Bit().constData(),
            stderr);

    // A program already running for this user takes the files (none: it brings a window
    // forward), and this launch ends. One that is busy is waited for, never replaced.
    const QList<QUrl> urls = dunmoss::DunmossNotepadApp::fileURLsFromArguments(commandLine.paths);
    QStringList absolutePaths;
    for (const QUrl& url : urls)
        absolutePaths.append(url.toLocalFile());
    dunmoss::SingleInstance instance(dunmoss::SingleInstance::defaultServerNames());
    std::unique_ptr<dunmoss::InstanceWaitNotice> waitNotice;
    instance.setWhileWaiting([&waitNotice] {
        if (!waitNotice)
            waitNotice = std::make_unique<dunmoss::InstanceWaitNotice>();
        waitNotice->keepShowing();
    });
    const dunmoss::SingleInstance::Role role = instance.claim(absolutePaths);
    instance.setWhileWaiting({});
    waitNotice.reset();
    switch (role) {
    case dunmoss::SingleInstance::Role::HandedOver:
        dunmoss::LaunchReadAhead::dropUntaken();
        return 0;
    case dunmoss::SingleInstance::Role::Unanswered:
        dunmoss::LaunchReadAhead::dropUntaken();
        reportRefusedLaunch(instance.unansweredMessage(), arguments);
        return 1;
    case dunmoss::SingleInstance::Role::Unguarded:
        // Running unguarded could make two writers of one session, which loses drafts; nothing
        // is open yet, so ending loses nothing.
        dunmoss::LaunchReadAhead::dropUntaken();
        reportRefusedLaunch(instance.unguardedMessage(), arguments);
        return 1;
    case dunmoss::SingleInstance::Role::Primary:
        break;
    }
    // Files not read ahead yet (a command line with options) are read from here on, while the
    // window is built (see DunmossNotepadApp::start).
    dunmoss::LaunchReadAhead::start(urls);
    // A relaunch after a change of language frees the name before its successor starts.
    dunmoss::setRunningInstance(&instance);

    QApplication::setApplicationName(QStringLiteral("Dunmoss Notepad"));
    QApplication::setDesktopFileName(QStringLiteral("dunmoss-notepad"));
    dunmoss::configureIconThemeFallback();
    // The installed icon: from the icon theme, else next to the installed binary.
    QIcon icon = QIcon::fromTheme(QStringLiteral("dunmoss-notepad"));
    if (icon.isNull())
        icon = QIcon(QApplication::applicationDirPath() +
                     QStringLiteral("/../share/icons/hicolor/256x256/apps/dunmoss-notepad.png"));
    QApplication::setWindowIcon(icon);

    int status = 0;
    {
        dunmoss::DunmossNotepadApp app(arguments);
        QObject::connect(&instance, &dunmoss::SingleInstance::openFilesRequested, &app.delegate(),
                         &dunmoss::ApplicationDelegate::openURLs);
        QObject::connect(&instance, &dunmoss::SingleInstance::reopenRequested, &app.delegate(),
                         [&app] { app.delegate().applicationShouldHandleReopen(); });
        // Automated interface tests ask the running program which files it shows.
        if (dunmoss::arrayContainsString(arguments,
                                         QString::fromLatin1(dunmoss::kUiTestingArgument)))
            instance.setTabReporter(&dunmoss::DunmossNotepadApp::openFilePaths);
        // Logout, shutdown and a closed terminal keep the drafts, as Ctrl+Q does.
        app.quitOnTerminationSignals();
        app.start(commandLine.paths, commandLine.unnamedPaths);
        status = QApplication::exec();
        // The windows handed their last session to the writer; the process ends once it is on disk.
        dunmoss::SessionWriter::shared().waitUntilIdle();
    }
    // The settings too are on disk before the end: what would write them as the application
    // object goes never runs when the process ends early below.
    dunmoss::Defaults::standard().synchronize();
    // Launches from here on wait for the lock, which the end frees, not for an answer.
    instance.release();
    // Work still under way on the pools, such as the windows' documents deleted aside as they
    // went or a folder search reading a mount that stopped answering, may be laying text out
    // with the toolkit's fonts, which go with the application object, or reading the program's
    // statics: it gets a bounded wait, and what outlasts it is cut off with the process.
    return dunmoss::endProcess(status, kEndingWorkWaitMs);
}
