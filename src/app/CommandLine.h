#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace dunmoss {

// What the command line asks for, after the toolkit took its own options out. Arguments that
// start with "-" are options; "--" ends them, so every argument after it is a file, whatever its
// name. A lone "-" is a file name.
struct CommandLine {
    enum class Action {
        // Open a window with `paths`.
        Run,
        // "--help" or "-h": print the usage on standard output and leave.
        ShowHelp,
        // An option the program does not know: print `unknownOption` and the usage on standard
        // error and leave with `kUsageExitCode`, opening no window.
        Reject,
    };

    Action action = Action::Run;
    QStringList paths;
    // File arguments whose names are not valid UTF-8, in a readable form: no text form names
    // such a file, so they are reported instead of opened.
    QStringList unnamedPaths;
    QString unknownOption;
};

// The usual exit status of a program called with arguments it cannot use.
inline constexpr int kUsageExitCode = 2;

// `arguments` as the process received them, the program first. `nativeArguments`, when given,
// are the same arguments as the process's bytes, which tell the names that are not valid UTF-8.
CommandLine parseCommandLine(const QStringList& arguments,
                             const QList<QByteArray>& nativeArguments = {});

// The toolkit takes the options it knows ("-reverse", "-qwindowtitle TITLE", ...) out of the
// arguments it is given, wherever they stand, so it must see only those before the first "--":
// this is their count (all of them when there is no "--"), the program included.
int toolkitArgumentCount(int argc, const char* const* argv);

// The usage text for `program` (the name the program was started by), ending in a line break.
QString commandLineUsage(const QString& program);
// The message for a file argument whose name is not valid UTF-8, shown as `readablePath`.
QString unnamedFileMessage(const QString& readablePath);
// The message for an unknown option, then the usage, ending in a line break.
QString unknownOptionMessage(const QString& program, const QString& option);

} // namespace dunmoss
