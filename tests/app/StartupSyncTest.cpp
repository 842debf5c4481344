// Nothing at start-up waits for the disk on the window's thread. Every sync this test program
// makes passes through the counters below (and on to the system), so a test can count those
// made on its own thread, by the program's code or by Qt's.
#include "app/SingleInstance.h"

#include <QSaveFile>
#include <QTemporaryDir>
#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

thread_local int syncsOnThisThread = 0;

template <typename Call> Call systemCall(const char* name) {
    return reinterpret_cast<Call>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int fsync(int fd) {
    static const auto call = systemCall<int (*)(int)>("fsync");
    ++syncsOnThisThread;
    return call(fd);
}

extern "C" int fdatasync(int fd) {
    static const auto call = systemCall<int (*)(int)>("fdatasync");
    ++syncsOnThisThread;
    return call(fd);
}

extern "C" int syncfs(int fd) {
    static const auto call = systemCall<int (*)(int)>("syncfs");
    ++syncsOnThisThread;
    return call(fd);
}

using namespace dunmoss;

TEST(StartupSync, BecomingTheRunningInstanceWaitsForNoSync) {
    QTemporaryDir dir;
    // The counters see Qt's own syncs.
    syncsOnThisThread = 0;
    QSaveFile file(dir.filePath(QStringLiteral("seen.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("x");
    ASSERT_TRUE(file.commit());
    ASSERT_GE(syncsOnThisThread, 1);

    syncsOnThisThread = 0;
    SingleInstance instance(dir.filePath(QStringLiteral("instance")));
    EXPECT_EQ(instance.claim({}), SingleInstance::Role::Primary);
    EXPECT_EQ(syncsOnThisThread, 0);
}
