#include "app/CommandLine.h"

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
