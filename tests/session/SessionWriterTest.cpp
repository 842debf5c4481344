// The background writer: what it writes, and that it yields the processor to the window's thread.
#include "session/SessionWriter.h"
#include "platform/BackgroundPriority.h"

#include <QFile>
#include <QIODevice>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>

#if defined(__linux__)
#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace dunmoss;

namespace {

#if defined(__linux__)
int threadNiceness() {
    errno = 0;
    return getpriority(PRIO_PROCESS, id_t(gettid()));
}
#endif

} // namespace

// On a busy machine the window's thread gets a core before the writer encoding a large session
// does; what is handed over is still written, whole.
TEST(SessionWriter, WritesAtALowerPriorityThanTheWindowsThread) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("value.txt"));
    std::atomic<int> writerNiceness = -100;
    const auto write = [&writerNiceness](const QByteArray& bytes, QIODevice& device) {
#if defined(__linux__)
        writerNiceness = threadNiceness();
#endif
        return device.write(bytes) == bytes.size();
    };
    const QByteArray bytes = QByteArray("kept between runs\n").repeated(1000);
    SessionWriter::shared().submit(path, std::make_shared<StoredValueOf<QByteArray>>(bytes, write),
                                   nullptr);
    SessionWriter::shared().waitUntilIdle();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), bytes);
#if defined(__linux__)
    const int windowNiceness = threadNiceness();
    EXPECT_EQ(writerNiceness, std::min(windowNiceness + kBackgroundNiceness, 19));
    // The window's own thread is left as it was.
    EXPECT_EQ(threadNiceness(), windowNiceness);
#endif
}
