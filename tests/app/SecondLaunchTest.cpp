// The program as a user starts it: a first launch keeps running; a second launch with two files
// hands them to the first and ends; the first shows both.
#include "app/InstanceWaitNotice.h"
#include "app/SingleInstance.h"
#include "platform/Localization.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace dunmoss;

namespace {

// How long a step may take on a loaded machine before it counts as never done: a bound for
// failing, never a wait the test relies on.
constexpr int kPatience = 120'000;

class SecondLaunch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        socket = home.filePath(QStringLiteral("instance"));
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           home.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("DUNMOSS_INSTANCE_SOCKET"), socket);
    }
    void TearDown() override {
        if (first.state() != QProcess::NotRunning) {
            ::kill(pid_t(first.processId()), SIGCONT);
            first.terminate();
            if (!first.waitForFinished(10'000))
                first.kill();
            first.waitForFinished(10'000);
        }
    }
    QString writeFile(const QString& name, const QByteArray& bytes) const {
        QFile file(home.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    // The program, up and listening with no file open.
    void startFirst() {
        first.setProcessEnvironment(environment);
        first.setWorkingDirectory(home.path());
        first.start(QStringLiteral(DUNMOSS_PROGRAM), {QStringLiteral("--dunmoss-ui-testing")});
        ASSERT_TRUE(first.waitForStarted(kPatience));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return SingleInstance::queryOpenTabs(socket, 1000).has_value(); }, kPatience));
    }
    // The running program's open files, once it answers.
    QStringList openTabs(int expected) const {
        QStringList tabs;
        // What it has by then is for the caller to check.
        static_cast<void>(QTest::qWaitFor(
            [&] {
                tabs = SingleInstance::queryOpenTabs(socket, 1000).value_or(QStringList());
                return tabs.size() >= expected;
            },
            kPatience));
        return tabs;
    }

    QTemporaryDir home;
    QString socket;
    QProcessEnvironment environment;
    QProcess first;
};

TEST_F(SecondLaunch, HandsItsFilesToTheRunningProgramAndEnds) {
    const QString a = writeFile(QStringLiteral("a.txt"), "first file\n");
    const QString b = writeFile(QStringLiteral("b.txt"), "second file\n");
    first.setProcessEnvironment(environment);
    first.setWorkingDirectory(home.path());
    first.start(QStringLiteral(DUNMOSS_PROGRAM), {QStringLiteral("--dunmoss-ui-testing")});
    ASSERT_TRUE(first.waitForStarted(10'000));
    // Up and listening, no file open.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return SingleInstance::queryOpenTabs(socket, 1000).has_value(); }, 30'000));
    EXPECT_TRUE(openTabs(0).isEmpty());

    QProcess second;
    second.setProcessEnvironment(environment);
    // Relative paths are taken from the second launch's own folder.
    second.setWorkingDirectory(home.path());
    second.start(QStringLiteral(DUNMOSS_PROGRAM),
                 {QStringLiteral("--dunmoss-ui-testing"), QStringLiteral("a.txt"), b});
    ASSERT_TRUE(second.waitForFinished(30'000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);

    const QStringList tabs = openTabs(2);
    EXPECT_EQ(tabs, (QStringList{a, b}));
    EXPECT_EQ(first.state(), QProcess::Running);
}

// The files named at launch are read while the toolkit starts. One that cannot be opened says
// why in the interface language, and asking for it must not make the settings store on the
// reading thread: the program runs and ends without the toolkit's warnings about threads.
TEST_F(SecondLaunch, AFileThatCannotBeOpenedAtLaunchLeavesTheSettingsOnTheWindowsThread) {
    first.setProcessEnvironment(environment);
    first.setWorkingDirectory(home.path());
    first.start(QStringLiteral(DUNMOSS_PROGRAM), {home.filePath(QStringLiteral("missing.txt"))});
    ASSERT_TRUE(first.waitForStarted(kPatience));
    // Once it listens and answers, its window is up and its event loop runs.
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(socket); }, kPatience));
    SingleInstance later(socket);
    later.setAnswerTimeout(kPatience);
    ASSERT_EQ(later.claim({}), SingleInstance::Role::HandedOver);
    first.terminate();
    ASSERT_TRUE(first.waitForFinished(kPatience));
    EXPECT_EQ(first.exitCode(), 0);
    const QString said = QString::fromLocal8Bit(first.readAllStandardError());
    EXPECT_FALSE(said.contains(QStringLiteral("thread"), Qt::CaseInsensitive)) << qPrintable(said);
}

TEST_F(SecondLaunch, WaitsForABusyRunningProgramAndNeverStartsASecondOne) {
    const QString a = writeFile(QStringLiteral("a.txt"), "first file\n");
    startFirst();
    // Busy: it takes no turn of its event loop until it is let go.
    ASSERT_EQ(::kill(pid_t(first.processId()), SIGSTOP), 0);
    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(DUNMOSS_PROGRAM), {QStringLiteral("--dunmoss-ui-testing"), a});
    ASSERT_TRUE(second.waitForStarted(kPatience));
    // It says so once it has waited for the busy program as long as a launch used to wait
    // before taking over, however long it took to get there.
    const QString waiting = localizedString(QStringLiteral("instance.waiting"));
    QString said;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            said += QString::fromLocal8Bit(second.readAllStandardError());
            return said.contains(waiting) || second.state() == QProcess::NotRunning;
        },
        kPatience))
        << "the second launch waits";
    EXPECT_TRUE(said.contains(waiting)) << qPrintable(said);
    EXPECT_EQ(second.state(), QProcess::Running) << "the second launch still waits";
    EXPECT_TRUE(QFile::exists(socket)) << "the running program's socket stays";
    ASSERT_EQ(::kill(pid_t(first.processId()), SIGCONT), 0);

    // Handed over, it ends; a launch that had taken over would run on as a second program.
    ASSERT_TRUE(second.waitForFinished(kPatience));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(openTabs(1), QStringList{a});
    EXPECT_EQ(first.state(), QProcess::Running);
}

TEST_F(SecondLaunch, NoAnswerInTimeIsReportedAndTheFilesReachTheProgramOnceItIsFree) {
    const QString a = writeFile(QStringLiteral("a.txt"), "first file\n");
    startFirst();
    ASSERT_EQ(::kill(pid_t(first.processId()), SIGSTOP), 0);
    SingleInstance second(socket);
    second.setAnswerTimeout(1'500);
    EXPECT_EQ(second.claim({a}), SingleInstance::Role::Unanswered);
    EXPECT_FALSE(second.isListening());
    EXPECT_TRUE(second.requestDelivered());
    EXPECT_TRUE(QFile::exists(socket));
    ASSERT_EQ(::kill(pid_t(first.processId()), SIGCONT), 0);
    EXPECT_EQ(openTabs(1), QStringList{a});
}

TEST_F(SecondLaunch, TheLockOfAKilledProgramIsTakenOver) {
    startFirst();
    first.kill();
    ASSERT_TRUE(first.waitForFinished(10'000));
    SingleInstance next(socket);
    next.setAnswerTimeout(5'000);
    EXPECT_EQ(next.claim({}), SingleInstance::Role::Primary);
    QLocalSocket probe;
    probe.connectToServer(socket);
    EXPECT_TRUE(probe.waitForConnected(1000)) << "the new instance listens in its place";
}

TEST_F(SecondLaunch, ASocketLeftByACrashIsReplaced) {
    // What a killed instance leaves behind: the socket file with nobody listening.
    {
        SingleInstance crashed(socket);
        ASSERT_EQ(crashed.claim({}), SingleInstance::Role::Primary);
    }
    QFile leftover(socket);
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.close();

    QLocalSocket probe;
    probe.connectToServer(socket);
    EXPECT_FALSE(probe.waitForConnected(1000)) << "nobody listens on the leftover";

    SingleInstance next(socket);
    EXPECT_EQ(next.claim({}), SingleInstance::Role::Primary);
    probe.connectToServer(socket);
    EXPECT_TRUE(probe.waitForConnected(1000)) << "the new instance listens in its place";
}

TEST_F(SecondLaunch, ASocketOfAnotherUserIsNeitherUsedNorReplaced) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs to give a file to another user";
    QFile foreign(socket);
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.close();
    ASSERT_EQ(::chown(QFile::encodeName(socket).constData(), 65534, 65534), 0);
    SingleInstance instance(socket);
    // This process is the one instance, reachable or not: a later launch never runs beside it.
    EXPECT_EQ(instance.claim({QStringLiteral("/tmp/private.txt")}), SingleInstance::Role::Primary);
    EXPECT_FALSE(instance.isListening());
    EXPECT_TRUE(QFile::exists(socket));
    SingleInstance later(socket);
    later.setAnswerTimeout(1'000);
    EXPECT_EQ(later.claim({}), SingleInstance::Role::Unanswered);
    EXPECT_FALSE(later.requestDelivered());
}

// A launch without a runtime folder, in a shared temporary folder of its own, as this process
// and as the program's environment; this process's own comes back when it ends.
class WithoutRuntimeFolder {
public:
    WithoutRuntimeFolder(const QTemporaryDir& home, QProcessEnvironment& program) {
        for (const char* name : kNames)
            m_saved.append(qgetenv(name));
        // The folders the program finds, not the tests' own.
        QStandardPaths::setTestModeEnabled(false);
        const QString shared = home.filePath(QStringLiteral("tmp"));
        QDir().mkpath(shared);
        ::chmod(QFile::encodeName(shared).constData(), 01777);
        for (const char* name : {"XDG_RUNTIME_DIR", "DUNMOSS_INSTANCE_SOCKET"}) {
            qunsetenv(name);
            program.remove(QString::fromLatin1(name));
        }
        const std::pair<const char*, QString> values[] = {
            {"TMPDIR", shared},
            {"XDG_CONFIG_HOME", home.filePath(QStringLiteral("config"))},
            {"XDG_DATA_HOME", home.filePath(QStringLiteral("data"))}};
        for (const auto& [name, value] : values) {
            qputenv(name, QFile::encodeName(value));
            program.insert(QString::fromLatin1(name), value);
        }
    }
    ~WithoutRuntimeFolder() {
        QStandardPaths::setTestModeEnabled(m_testMode);
        for (qsizetype i = 0; i < m_saved.size(); ++i)
            if (m_saved[i].isNull())
                qunsetenv(kNames[i]);
            else
                qputenv(kNames[i], m_saved[i]);
    }

private:
    static constexpr const char* kNames[] = {"XDG_RUNTIME_DIR", "DUNMOSS_INSTANCE_SOCKET", "TMPDIR",
                                             "XDG_CONFIG_HOME", "XDG_DATA_HOME"};
    QList<QByteArray> m_saved;
    bool m_testMode = QStandardPaths::isTestModeEnabled();
};

// Another local user, before the program first runs, makes what it can where the program looks
// for its lock in the shared temporary folder: the folder (when `folderToo`) and a live lock,
// owned by that user. The program still starts, and a later launch hands its file to it.
class SquattedLaunch : public SecondLaunch {
protected:
    void startDespiteAnotherUser(bool folderToo) {
        const WithoutRuntimeFolder launch(home, environment);
        const QString shared = QDir::tempPath();
        std::vector<std::unique_ptr<QLockFile>> squatted;
        for (const QString& name : SingleInstance::defaultServerNames()) {
            const QString path = QFileInfo(name).isAbsolute() ? name : QDir(shared).filePath(name);
            const QString folder = QFileInfo(path).absolutePath();
            if (!folder.startsWith(shared))
                continue;
            ASSERT_TRUE(QDir().mkpath(folder));
            if (folder != shared) {
                ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0700), 0);
                if (folderToo) {
                    ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
                }
            }
            // Held by a live process (this one), as the other user's running program would.
            auto lock = std::make_unique<QLockFile>(path + QStringLiteral(".lock"));
            ASSERT_TRUE(lock->tryLock(0));
            ASSERT_EQ(::chown(QFile::encodeName(lock->fileName()).constData(), 65534, 65534), 0);
            squatted.push_back(std::move(lock));
        }
        ASSERT_FALSE(squatted.empty());

        first.setProcessEnvironment(environment);
        first.setWorkingDirectory(home.path());
        first.start(QStringLiteral(DUNMOSS_PROGRAM), {QStringLiteral("--dunmoss-ui-testing")});
        ASSERT_TRUE(first.waitForStarted(kPatience));
        const QString where = SingleInstance::defaultServerNames().constLast();
        EXPECT_FALSE(where.startsWith(shared));
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return first.state() == QProcess::NotRunning ||
                       SingleInstance::queryOpenTabs(where, 1000).has_value();
            },
            kPatience));
        ASSERT_EQ(first.state(), QProcess::Running)
            << "the program did not start: " << first.readAllStandardError().toStdString();

        const QString a = writeFile(QStringLiteral("a.txt"), "first file\n");
        SingleInstance later(SingleInstance::defaultServerNames());
        later.setAnswerTimeout(kPatience);
        EXPECT_EQ(later.claim({a}), SingleInstance::Role::HandedOver);
        EXPECT_EQ(later.serverName(), where);
        socket = where;
        EXPECT_EQ(openTabs(1), QStringList{a});
    }
};

TEST_F(SquattedLaunch, AFolderAndLockOfAnotherUserInTheSharedFolderAreNeverUsed) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs to give files to another user";
    startDespiteAnotherUser(true);
}

TEST_F(SquattedLaunch, ALockOfAnotherUserInTheUsersOwnFolderIsNeverUsed) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs to give files to another user";
    startDespiteAnotherUser(false);
}

TEST_F(SecondLaunch, WhereTheFirstPlaceCannotHoldALockTheNextOneKeepsOneProgram) {
    // The runtime folder cannot hold a lock (a file stands where it should be): the program
    // and a later launch meet at the next place.
    writeFile(QStringLiteral("runtime"), "not a folder");
    environment.insert(QStringLiteral("DUNMOSS_INSTANCE_SOCKET"),
                       home.filePath(QStringLiteral("runtime/instance")) + QDir::listSeparator() +
                           socket);
    const QString a = writeFile(QStringLiteral("a.txt"), "first file\n");
    startFirst();
    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(DUNMOSS_PROGRAM), {QStringLiteral("--dunmoss-ui-testing"), a});
    ASSERT_TRUE(second.waitForFinished(30'000)) << "the second launch runs as a program of its own";
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(openTabs(1), QStringList{a});
}

TEST_F(SecondLaunch, WhereNoLockCanBeMadeAtAllNoLaunchRunsAndEachSaysWhy) {
    writeFile(QStringLiteral("runtime"), "not a folder");
    environment.insert(QStringLiteral("DUNMOSS_INSTANCE_SOCKET"),
                       home.filePath(QStringLiteral("runtime/instance")));
    // Two launches, neither of which could tell whether the other writes the same session.
    QProcess launches[2];
    for (QProcess& launch : launches) {
        launch.setProcessEnvironment(environment);
        launch.start(QStringLiteral(DUNMOSS_PROGRAM), {QStringLiteral("--dunmoss-ui-testing")});
    }
    for (QProcess& launch : launches) {
        ASSERT_TRUE(launch.waitForFinished(30'000)) << "a launch runs without a lock";
        EXPECT_EQ(launch.exitCode(), 1);
        const QString said = QString::fromLocal8Bit(launch.readAllStandardError());
        EXPECT_TRUE(said.contains(home.filePath(QStringLiteral("runtime")))) << qPrintable(said);
    }
}

TEST_F(SecondLaunch, ALaunchWaitingForABusyProgramShowsANoticeUntilItAnswers) {
    const QString a = writeFile(QStringLiteral("a.txt"), "first file\n");
    startFirst();
    ASSERT_EQ(::kill(pid_t(first.processId()), SIGSTOP), 0);
    SingleInstance second(socket);
    InstanceWaitNotice notice;
    bool shownWhileWaiting = false;
    second.setWhileWaiting([&] {
        notice.keepShowing();
        // Seen: the busy program may answer now.
        if (!std::exchange(shownWhileWaiting, notice.isVisible()) && shownWhileWaiting)
            ::kill(pid_t(first.processId()), SIGCONT);
    });
    EXPECT_EQ(second.claim({a}), SingleInstance::Role::HandedOver);
    EXPECT_TRUE(shownWhileWaiting);
    EXPECT_EQ(notice.text(), localizedString(QStringLiteral("instance.waiting")));
    ::kill(pid_t(first.processId()), SIGCONT);
    EXPECT_EQ(openTabs(1), QStringList{a});
}

// The running program answers while the waiting launch paints its notice, which reads the answer
// off the socket in passing: the launch still takes it, at once, and does not wait on for a
// second answer that never comes.
TEST_F(SecondLaunch, AnAnswerTakenInWhileTheNoticeIsPaintedIsNotMissed) {
    const QString a = writeFile(QStringLiteral("a.txt"), "first file\n");
    startFirst();
    ASSERT_EQ(::kill(pid_t(first.processId()), SIGSTOP), 0);
    SingleInstance second(socket);
    second.setAnswerTimeout(20'000);
    InstanceWaitNotice notice;
    bool letGo = false;
    second.setWhileWaiting([&] {
        if (!std::exchange(letGo, true)) {
            ::kill(pid_t(first.processId()), SIGCONT);
            // The program has taken the files, so its answer is on its way to this launch.
            QDeadlineTimer patience(kPatience);
            while (!patience.hasExpired() &&
                   !SingleInstance::queryOpenTabs(socket, 1000).value_or(QStringList()).contains(a))
                QThread::msleep(20);
        }
        notice.keepShowing();
    });
    EXPECT_EQ(second.claim({a}), SingleInstance::Role::HandedOver);
    EXPECT_TRUE(letGo);
    EXPECT_EQ(openTabs(1), QStringList{a});
}

} // namespace
