// Nothing at start-up waits for the disk on the window's thread: the syncs made on it, by the
// program's code or by Qt's, are counted.
#include "app/SingleInstance.h"

#include <QSaveFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/SyncCounting.h"

using namespace dunmoss;
using test::syncsOnThisThread;

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
