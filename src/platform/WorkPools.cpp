#include "platform/WorkPools.h"

#include <QThread>
#include <QThreadPool>

namespace dunmoss {

namespace {

struct FileWorkPool : QThreadPool {
    FileWorkPool() {
        setObjectName(QStringLiteral("file work"));
        setMaxThreadCount(qMax(QThread::idealThreadCount(), 1));
    }
};

struct OperationPool : QThreadPool {
    // Each window runs one operation at a time, but a superseded one may still be finishing.
    OperationPool() {
        setObjectName(QStringLiteral("operations"));
        setMaxThreadCount(qMax(QThread::idealThreadCount(), 4));
    }
};

} // namespace

Q_GLOBAL_STATIC(FileWorkPool, theFileWorkPool)
Q_GLOBAL_STATIC(OperationPool, theOperationPool)

QThreadPool& fileWorkPool() {
    return *theFileWorkPool();
}

QThreadPool& operationPool() {
    return *theOperationPool();
}

void waitForWorkPools() {
    // Operations first: they are what submits file work.
    theOperationPool()->waitForDone();
    theFileWorkPool()->waitForDone();
}

} // namespace dunmoss
