// Shared test entry: a Qt application object (widgets when the UI library is linked) and an
// isolated settings and data folder so tests never touch the user's real files.
#include "platform/PaintingThreads.h"
#include "platform/WorkPools.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThreadPool>
#include <gtest/gtest.h>
#include <optional>

#ifdef QT_WIDGETS_LIB
#include <QApplication>
using TestApplication = QApplication;
#else
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    // A home of its own: test mode keeps settings and data under the home folder, so the user's
    // real one is never written. Temporary files go inside it too, so that what a child killed
    // outright leaves goes with it. A test that starts this program again as a child hands it
    // the folders it chose.
    std::optional<QTemporaryDir> home;
    if (qEnvironmentVariableIsEmpty("DUNMOSS_TEST_HOME")) {
        home.emplace();
        const QString path = home->path();
        QDir(path).mkpath(QStringLiteral("tmp"));
        qputenv("DUNMOSS_TEST_HOME", path.toUtf8());
        qputenv("HOME", path.toUtf8());
        qputenv("TMPDIR", (path + "/tmp").toUtf8());
        qputenv("XDG_CONFIG_HOME", (path + "/config").toUtf8());
        qputenv("XDG_DATA_HOME", (path + "/data").toUtf8());
    }
    QStandardPaths::setTestModeEnabled(true);
    // As the program has it.
    dunmoss::leaveThreadsForPainting();
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    // Work a test left on the pools (a view's document taken apart, a completion pass) may still
    // be reading what goes with the application object and the statics: it ends first.
    dunmoss::waitForWorkPools();
    QThreadPool::globalInstance()->waitForDone();
    return status;
}
