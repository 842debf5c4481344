// A paint of the window never waits for long work of ours on the thread pool: Qt's raster
// engine splits large fills across the pool's threads and waits for them.
#include "platform/PaintingThreads.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>
#include <atomic>
#include <gtest/gtest.h>

using namespace dunmoss;

TEST(PaintingThreads, ALargeFillIsPaintedWhileLongWorkHoldsAThreadPerCore) {
    QThreadPool* pool = QThreadPool::globalInstance();
    pool->waitForDone();
    const int cores = QThread::idealThreadCount();
    QSemaphore started;
    QSemaphore release;
    std::atomic<int> gaveUp = 0;
    // Work as long as a long line broken into lines on a busy machine, on every core.
    for (int i = 0; i < cores; ++i)
        pool->start([&] {
            started.release();
            if (!release.tryAcquire(1, 20'000))
                ++gaveUp;
        });
    started.acquire(cores);

    // A gradient, as the style draws scroll bars with.
    QImage image(1600, 1600, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QLinearGradient gradient(0, 0, 0, 1600);
    gradient.setColorAt(0, QColor(10, 10, 200));
    gradient.setColorAt(1, QColor(200, 10, 10));
    {
        QPainter painter(&image);
        painter.fillRect(image.rect(), gradient);
        // A see-through colour over part of it, as the style shades a scroll bar's groove:
        // blended span by span on the pool's threads.
        painter.fillRect(QRect(0, 800, 1600, 800), QColor(255, 255, 255, 1));
    }
    // Painted while the work still held its threads, not after it ended.
    EXPECT_EQ(gaveUp.load(), 0);
    EXPECT_EQ(image.pixel(0, 0), QColor(10, 10, 200).rgb());
    EXPECT_GT(qRed(image.pixel(1599, 1599)), 190);
    release.release(cores);
    pool->waitForDone();
}
