// The program's end once its session and settings are on disk: work still running on a pool
// never sees the statics go under it, and never keeps the process alive. Each case runs a child
// copy of this test program that ends as main does.
#include "platform/ProcessEnd.h"

#include "platform/WorkPools.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThreadPool>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

const char* const kRole = "DUNMOSS_PROCESS_END_POOL";
constexpr int kStatus = 7;

// Never destroyed itself, so it can tell that the static below went.
std::atomic<bool> g_staticGone{false};

struct ProgramStatic {
    ~ProgramStatic() {
        g_staticGone = true;
        g_staticGone.notify_all();
    }
    int value = 1;
};

const ProgramStatic& programStatic() {
    static const ProgramStatic instance;
    return instance;
}

// "files after static" makes the static before the pool, whose destructor then comes first and
// waits for the task.
QThreadPool& poolOfRole(const QString& role) {
    if (role == QLatin1String("global"))
        return *QThreadPool::globalInstance();
    if (role == QLatin1String("files after static"))
        programStatic();
    return fileWorkPool();
}

// Child: a pool task that reads a function-local static and outlives the wait (a search held on
// a mount that stopped answering), then the end main makes with the status of its event loop.
[[noreturn]] void endWithWorkStillRunning(QThreadPool& pool) {
    std::atomic<bool> reading{false};
    pool.start([&reading] {
        // Made here unless made before: after the pool, so it goes before the pool would.
        const int value = programStatic().value;
        reading = true;
        reading.notify_all();
        g_staticGone.wait(false);
        std::fprintf(stderr, "the static went under the task (%d)\n", value);
        std::_Exit(86);
    });
    reading.wait(false);
    std::exit(endProcess(kStatus, 200));
}

} // namespace

TEST(ProcessEnd, WorkThatOutlivesTheWaitEndsWithTheProcessBeforeAnyStaticGoes) {
    if (qEnvironmentVariableIsSet(kRole))
        endWithWorkStillRunning(poolOfRole(qEnvironmentVariable(kRole)));
    for (const char* role : {"files", "global", "files after static"}) {
        SCOPED_TRACE(role);
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(kRole), QString::fromLatin1(role));
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=ProcessEnd.*")});
        ASSERT_TRUE(child.waitForStarted(10'000));
        const bool ended = child.waitForFinished(60'000);
        if (!ended) {
            child.kill();
            child.waitForFinished(10'000);
        }
        const QByteArray errors = child.readAllStandardError();
        ASSERT_TRUE(ended) << "the pool's work kept the process alive";
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << errors.constData();
        EXPECT_EQ(child.exitCode(), kStatus) << errors.constData();
    }
}
