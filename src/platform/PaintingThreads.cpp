#include "platform/PaintingThreads.h"

#include <QThread>
#include <QThreadPool>

namespace dunmoss {

void leaveThreadsForPainting() {
    QThreadPool::globalInstance()->setMaxThreadCount(QThread::idealThreadCount() +
                                                     kThreadsLeftForPainting);
}

} // namespace dunmoss
