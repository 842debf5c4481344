#include "app/CommandLine.h"

#include "platform/FileNames.h"
#include "platform/Localization.h"
#include "text/EditorTheme.h"

#include <QFileInfo>
#include <cstring>

namespace dunmoss {

CommandLine parseCommandLine(const QStringList& arguments,
                             const QList<QByteArray>& nativeArguments) {
    CommandLine result;
    const bool hasNative = nativeArguments.size() == arguments.size();
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const bool isOption =
            !optionsEnded && argument.size() > 1 && argument.startsWith(QLatin1Char('-'));
        if (!isOption) {
            // The text of such a name holds replacement characters and names no file.
            if (hasNative && !isValidUtf8Name(nativeArguments[i]))
                result.unnamedPaths.append(readableFileName(nativeArguments[i]));
            else
                result.paths.append(argument);
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            result.action = CommandLine::Action::ShowHelp;
        } else if (argument == QLatin1String(kUiTestingArgument)) {
            // Read where it matters, from the process arguments.
        } else if (result.unknownOption.isEmpty()) {
            result.unknownOption = argument;
        }
    }
    // A mistyped option is not taken for a request for help.
    if (!result.unknownOption.isEmpty())
        result.action = CommandLine::Action::Reject;
    return result;
}

int toolkitArgumentCount(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i)
        if (argv[i] && std::strcmp(argv[i], "--") == 0)
            return i;
    return argc;
}

QString commandLineUsage(const QString& program) {
    const QString name = QFileInfo(program).fileName();
    return localizedString(QStringLiteral("commandline.usage")).arg(name) + QLatin1Char('\n');
}

QString unnamedFileMessage(const QString& readablePath) {
    return localizedString(QStringLiteral("commandline.unnamed-file")).arg(readablePath);
}

QString unknownOptionMessage(const QString& program, const QString& option) {
    const QString name = QFileInfo(program).fileName();
    return localizedString(QStringLiteral("commandline.unknown-option")).arg(name, option) +
           QLatin1Char('\n') + commandLineUsage(program);
}

} // namespace dunmoss
