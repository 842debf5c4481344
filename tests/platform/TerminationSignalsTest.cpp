// A termination signal ends the program even when its main thread never gets back to the event
// loop (busy, or held in a question), yet not while the disk still takes its writes: each test
// runs a child copy of this test program.
#include "platform/TerminationSignals.h"

#include "platform/AtomicFileWrite.h"
#include "platform/DiskProgress.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace dunmoss;

namespace {

const char* const kRole = "DUNMOSS_SIGNALS_ROLE";

void say(const char* line) {
    std::fputs(line, stdout);
    std::fputs("\n", stdout);
    std::fflush(stdout);
}

// Child: hears the signals, then keeps its main thread away from the event loop for good.
void stuckAfterListening() {
    TerminationSignals terminations;
    say("LISTENING");
    for (;;)
        ::pause();
}

// Child: its writes take a step every 0.4 s for 4 s (a slow disk that keeps answering), and say
// so when they are done; its main thread never gets back to the event loop.
void stuckWhileTheDiskAnswersSlowly() {
    TerminationSignals terminations;
    std::thread([] {
        for (int step = 0; step < 10; ++step) {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            noteDiskProgress();
        }
        say("WRITTEN");
    }).detach();
    say("LISTENING");
    for (;;)
        ::pause();
}

// Child: an atomic write whose sync takes longer than a stalled disk is given (a slow disk, yet
// one that answers), signalled while the sync is under way; its main thread never gets back to
// the event loop.
void stuckWhileOneSyncTakesLong() {
    TerminationSignals terminations;
    beforeAtomicWriteSyncForTesting([] {
        say("LISTENING");
        std::this_thread::sleep_for(
            std::chrono::milliseconds(TerminationSignals::kStalledMs + 1000));
    });
    const QString path = qEnvironmentVariable("DUNMOSS_SIGNALS_FILE");
    std::thread([path] {
        writeBytesAtomically("kept", path);
        say("WRITTEN");
    }).detach();
    for (;;)
        ::pause();
}

// Child: quits its event loop when told, as the program does.
void quitsWhenTold() {
    TerminationSignals terminations;
    QObject::connect(&terminations, &TerminationSignals::received, [](int number) {
        std::printf("RECEIVED %d\n", number);
        QCoreApplication::exit(0);
    });
    QTimer::singleShot(0, [] { say("LISTENING"); });
    const int status = QCoreApplication::exec();
    std::printf("QUIT %d\n", status);
}

class TerminationSignalsTest : public ::testing::Test {
protected:
    bool isChild() const { return qEnvironmentVariableIsSet(kRole); }
    QString role() const { return qEnvironmentVariable(kRole); }

    // Started and listening.
    void start(const char* childRole, const char* test) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(kRole), QString::fromLatin1(childRole));
        child.setProcessEnvironment(environment);
        child.start(
            QCoreApplication::applicationFilePath(),
            {QStringLiteral("--gtest_filter=TerminationSignalsTest.") + QString::fromLatin1(test)});
        ASSERT_TRUE(child.waitForStarted(10'000));
        while (!child.readAllStandardOutput().contains("LISTENING"))
            ASSERT_TRUE(child.waitForReadyRead(30'000)) << "the child never listened";
    }
    void TearDown() override {
        if (child.state() != QProcess::NotRunning) {
            child.kill();
            child.waitForFinished(10'000);
        }
    }

    QProcess child;
};

} // namespace

TEST_F(TerminationSignalsTest, AProgramStuckAwayFromItsEventLoopStillEnds) {
    if (isChild())
        return stuckAfterListening();
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(signal);
        start("stuck", "AProgramStuckAwayFromItsEventLoopStillEnds");
        ASSERT_EQ(::kill(pid_t(child.processId()), signal), 0);
        // A second signal while it ends is no reason to stay either.
        ::kill(pid_t(child.processId()), signal);
        ASSERT_TRUE(child.waitForFinished(30'000)) << "the signal did not end the program";
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child.exitCode(), 128 + signal);
    }
}

TEST_F(TerminationSignalsTest, ASlowDiskIsWaitedForAndOneThatStopsAnsweringIsNot) {
    if (isChild())
        return stuckWhileTheDiskAnswersSlowly();
    start("slow", "ASlowDiskIsWaitedForAndOneThatStopsAnsweringIsNot");
    ASSERT_EQ(::kill(pid_t(child.processId()), SIGTERM), 0);
    ASSERT_TRUE(child.waitForFinished(30'000)) << "a disk that stopped answering held the end";
    EXPECT_TRUE(child.readAllStandardOutput().contains("WRITTEN"))
        << "the program ended while its writes still went on";
    EXPECT_EQ(child.exitCode(), 128 + SIGTERM);
}

TEST_F(TerminationSignalsTest, ASyncUnderWayIsWaitedForHoweverLongItTakes) {
    if (isChild())
        return stuckWhileOneSyncTakesLong();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    qputenv("DUNMOSS_SIGNALS_FILE", QFile::encodeName(dir.filePath(QStringLiteral("s.json"))));
    start("one long sync", "ASyncUnderWayIsWaitedForHoweverLongItTakes");
    qunsetenv("DUNMOSS_SIGNALS_FILE");
    ASSERT_EQ(::kill(pid_t(child.processId()), SIGTERM), 0);
    ASSERT_TRUE(child.waitForFinished(30'000));
    EXPECT_TRUE(child.readAllStandardOutput().contains("WRITTEN"))
        << "the program ended while a sync was under way";
    EXPECT_EQ(child.exitCode(), 128 + SIGTERM);
}

TEST_F(TerminationSignalsTest, TheSignalReachesTheMainThreadWhichQuitsAsItChooses) {
    if (isChild())
        return quitsWhenTold();
    start("quits", "TheSignalReachesTheMainThreadWhichQuitsAsItChooses");
    ASSERT_EQ(::kill(pid_t(child.processId()), SIGTERM), 0);
    ASSERT_TRUE(child.waitForFinished(30'000));
    const QByteArray said = child.readAllStandardOutput();
    EXPECT_TRUE(said.contains("RECEIVED " + QByteArray::number(SIGTERM))) << said.constData();
    EXPECT_TRUE(said.contains("QUIT 0")) << said.constData();
    EXPECT_EQ(child.exitCode(), 0);
}
