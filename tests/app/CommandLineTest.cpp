#include "app/CommandLine.h"
#include "app/SingleInstance.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

CommandLine parse(QStringList arguments) {
    arguments.prepend(QStringLiteral("/usr/bin/dunmoss-notepad"));
    return parseCommandLine(arguments);
}

} // namespace

TEST(CommandLineOptions, FilesAndTheTestingFlagRunInOrder) {
    const CommandLine line = parse({QStringLiteral("a.txt"), QStringLiteral("--dunmoss-ui-testing"),
                                    QStringLiteral("-"), QStringLiteral("dir/b.md")});
    EXPECT_EQ(line.action, CommandLine::Action::Run);
    EXPECT_EQ(line.paths, (QStringList{QStringLiteral("a.txt"), QStringLiteral("-"),
                                       QStringLiteral("dir/b.md")}));
    EXPECT_TRUE(line.unknownOption.isEmpty());
}

TEST(CommandLineOptions, DoubleDashEndsTheOptions) {
    const CommandLine line =
        parse({QStringLiteral("first"), QStringLiteral("--"), QStringLiteral("--notes"),
               QStringLiteral("-x"), QStringLiteral("--"), QStringLiteral("--help")});
    EXPECT_EQ(line.action, CommandLine::Action::Run);
    EXPECT_EQ(line.paths,
              (QStringList{QStringLiteral("first"), QStringLiteral("--notes"), QStringLiteral("-x"),
                           QStringLiteral("--"), QStringLiteral("--help")}));
}

// Never skipped silently: an unknown option, long or short, stops the launch even beside a
// request for help, and the message names it and the program.
TEST(CommandLineOptions, UnknownOptionsAreRejectedWithTheUsage) {
    for (const QString& option : {QStringLiteral("--notes"), QStringLiteral("-n"),
                                  QStringLiteral("--dunmoss-ui-testing=1")}) {
        const CommandLine line = parse(
            {QStringLiteral("a.txt"), option, QStringLiteral("--help"), QStringLiteral("--other")});
        EXPECT_EQ(line.action, CommandLine::Action::Reject) << option.toStdString();
        EXPECT_EQ(line.unknownOption, option);
    }
    const QString message =
        unknownOptionMessage(QStringLiteral("/usr/bin/dunmoss-notepad"), QStringLiteral("--notes"));
    EXPECT_TRUE(message.contains(QStringLiteral("--notes")));
    EXPECT_TRUE(message.startsWith(QStringLiteral("dunmoss-notepad")));
    EXPECT_TRUE(message.endsWith(commandLineUsage(QStringLiteral("dunmoss-notepad"))));
}

TEST(CommandLineOptions, HelpIsAskedForByEitherSpelling) {
    EXPECT_EQ(parse({QStringLiteral("--help")}).action, CommandLine::Action::ShowHelp);
    EXPECT_EQ(parse({QStringLiteral("a"), QStringLiteral("-h")}).action,
              CommandLine::Action::ShowHelp);
}

TEST(CommandLineOptions, TheToolkitSeesOnlyTheArgumentsBeforeTheDoubleDash) {
    const char* withDash[] = {"dunmoss-notepad", "-platform", "offscreen", "--", "-reverse", "--"};
    EXPECT_EQ(toolkitArgumentCount(6, withDash), 3);
    const char* withoutDash[] = {"dunmoss-notepad", "a.txt", "-reverse"};
    EXPECT_EQ(toolkitArgumentCount(3, withoutDash), 3);
    const char* programOnly[] = {"--"};
    EXPECT_EQ(toolkitArgumentCount(1, programOnly), 1) << "the program's own name is no separator";
}

// The program as started from a shell: names after "--" that the toolkit would take for its own
// options ("-reverse", "-qwindowtitle TITLE") open as files like any other.
TEST(CommandLineProgram, EveryPathAfterTheDoubleDashOpens) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    for (const char* name : {"-reverse", "-qwindowtitle", "other.txt", "plain.txt"}) {
        QFile file(home.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("text\n");
    }
    const QString socket = home.filePath(QStringLiteral("instance"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("DUNMOSS_INSTANCE_SOCKET"), socket);
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(home.path());
    // Toolkit options before "--" still reach the toolkit and open nothing.
    program.start(QStringLiteral(DUNMOSS_PROGRAM),
                  {QStringLiteral("--dunmoss-ui-testing"), QStringLiteral("-platform"),
                   QStringLiteral("offscreen"), QStringLiteral("plain.txt"), QStringLiteral("--"),
                   QStringLiteral("-reverse"), QStringLiteral("-qwindowtitle"),
                   QStringLiteral("other.txt")});
    ASSERT_TRUE(program.waitForStarted(10'000));
    QStringList tabs;
    // What it shows by then is checked below.
    static_cast<void>(QTest::qWaitFor(
        [&] {
            tabs = SingleInstance::queryOpenTabs(socket, 1000).value_or(QStringList());
            return tabs.size() >= 4 || program.state() == QProcess::NotRunning;
        },
        30'000));
    program.terminate();
    if (!program.waitForFinished(10'000))
        program.kill();
    const auto at = [&](const char* name) { return home.filePath(QString::fromLatin1(name)); };
    EXPECT_EQ(tabs,
              (QStringList{at("plain.txt"), at("-reverse"), at("-qwindowtitle"), at("other.txt")}));
}

// The text of a name that is not valid UTF-8 names no file: such an argument is reported in a
// readable form instead of being opened as "no such file".
TEST(CommandLineOptions, NamesThatAreNotUtf8AreReportedNotOpened) {
    const QList<QByteArray> native = {"/usr/bin/dunmoss-notepad", "a.txt", "caf\xE9.txt", "--",
                                      "-\xFF"};
    QStringList arguments;
    for (const QByteArray& argument : native)
        arguments.append(QString::fromLocal8Bit(argument));
    const CommandLine line = parseCommandLine(arguments, native);
    EXPECT_EQ(line.action, CommandLine::Action::Run);
    EXPECT_EQ(line.paths, QStringList{QStringLiteral("a.txt")});
    EXPECT_EQ(line.unnamedPaths,
              (QStringList{QStringLiteral("caf\\xE9.txt"), QStringLiteral("-\\xFF")}));
    const QString message = unnamedFileMessage(line.unnamedPaths.first());
    EXPECT_TRUE(message.contains(QStringLiteral("caf\\xE9.txt")));
    EXPECT_TRUE(message.contains(QStringLiteral("UTF-8")));
}
