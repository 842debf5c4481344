#include "app/ApplicationDelegate.h"
#include "app/ApplicationActions.h"
#include "app/DunmossNotepadApp.h"
#include "app/EditorCommandsRegistry.h"
#include "app/EditorWindowPresence.h"
#include "app/UpdateController.h"
#include "chrome/EditorWindowView.h"
#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "platform/NotificationBus.h"
#include "window/DocumentOpening.h"
#include "window/EditorWindowModel.h"
#include "window/OpenRequestReceiver.h"

#include <QApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

class Delegate : public ::testing::Test {
protected:
    void SetUp() override {
        reset();
        defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("settings.ini")));
    }
    void TearDown() override {
        for (QWidget* window : editorWindows())
            delete window;
        QApplication::processEvents();
        reset();
    }
    static void reset() {
        EditorCommandsRegistry::shared().reset();
        resetEditorWindowPresence();
        NotificationBus::shared().reset();
        DirectUpdateController::shared().reset();
        checkForUpdatesAction() = nullptr;
    }
    QString writeFile(const QString& name) const {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("text of " + name.toUtf8());
        return file.fileName();
    }
    static QStringList filesOf(const EditorWindowView& window) {
        QStringList out;
        for (const EditorTab& tab : window.model().state().tabs)
            if (tab.fileURL)
                out.append(tab.fileURL->fileName());
        return out;
    }

    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;
};

TEST_F(Delegate, LaunchChecksOpenOneFallbackWindowWhenNoneIsThereAndStartTheUpdater) {
    int fallbacks = 0;
    std::unique_ptr<QWidget> fallback;
    ApplicationDelegate delegate(
        {QStringLiteral("dunmoss-notepad")},
        [&] {
            ++fallbacks;
            // What a fallback window is to the checks: a shown editor window.
            fallback = std::make_unique<QWidget>();
            fallback->setObjectName(QString::fromLatin1(kEditorWindowIdentifier));
            fallback->show();
        },
        NotificationBus::shared());
    QSignalSpy finished(&delegate, &ApplicationDelegate::launchChecksFinished);
    delegate.applicationDidFinishLaunching();
    EXPECT_TRUE(DirectUpdateController::shared().hasUpdaterController());
    EXPECT_TRUE(DirectUpdateController::shared().updaterController().isStarted());
    ASSERT_TRUE(finished.wait(20'000));
    EXPECT_EQ(delegate.fallbackChecksRun(), 3);
    EXPECT_EQ(fallbacks, 1) << "later checks find the first fallback window";
}

TEST_F(Delegate, UnderUiTestingTheUpdaterComesOnlyWithTheFirstCheck) {
    ApplicationDelegate delegate({QStringLiteral("x"), QStringLiteral("--dunmoss-ui-testing")}, {},
                                 NotificationBus::shared());
    delegate.applicationDidFinishLaunching();
    EXPECT_FALSE(DirectUpdateController::shared().hasUpdaterController());

    QStringList shown;
    SelfUpdater& updater = DirectUpdateController::shared().updaterController();
    updater.setPresenter(
        [&](const SelfUpdater::CheckReport& report) { shown.append(report.message); });
    ASSERT_TRUE(checkForUpdatesAction());
    checkForUpdatesAction()();
    checkForUpdatesAction()();
    EXPECT_EQ(&DirectUpdateController::shared().updaterController(), &updater);
    EXPECT_EQ(updater.checkCount(), 2);
    ASSERT_EQ(shown.size(), 2);
    // The version, and no claim that it is the newest.
    EXPECT_EQ(shown.first(), localizedString(QStringLiteral("update.check.unavailable.format"))
                                 .arg(QStringLiteral(DUNMOSS_VERSION_FOR_TESTS)));
    EXPECT_FALSE(shown.first().contains(QStringLiteral("up to date"), Qt::CaseInsensitive));
}

TEST_F(Delegate, FilesHandedOverWithNoWindowOpenInTheWindowBroughtUpForThem) {
    const QString a = writeFile(QStringLiteral("a.txt"));
    const QString b = writeFile(QStringLiteral("b.txt"));
    DunmossNotepadApp app({QStringLiteral("dunmoss-notepad")}, *defaults);
    app.delegate().applicationDidFinishLaunching();
    ASSERT_TRUE(editorWindows().isEmpty());
    app.delegate().openURLs({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)});
    EditorWindowView* window = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QList<QWidget*> windows = editorWindows();
            window = windows.isEmpty() ? nullptr : qobject_cast<EditorWindowView*>(windows.first());
            return window && filesOf(*window).size() == 2;
        },
        10'000));
    EXPECT_EQ(filesOf(*window), (QStringList{"a.txt", "b.txt"}));
    EXPECT_EQ(editorWindows().size(), 1);
}

TEST_F(Delegate, WithTwoWindowsExactlyOneOpensTheFiles) {
    const QString a = writeFile(QStringLiteral("a.txt"));
    DunmossNotepadApp app({QStringLiteral("dunmoss-notepad")}, *defaults);
    EditorWindowView* first = app.openEditorWindow();
    EditorWindowView* second = app.openEditorWindow();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return first->hasCompletedStartUp() && second->hasCompletedStartUp(); }, 10'000));
    app.delegate().openURLs({QUrl::fromLocalFile(a)});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return NotificationBus::shared().unclaimedOpenURLRequests().isEmpty() &&
                   first->openRequests().pendingClaimCount() == 0 &&
                   second->openRequests().pendingClaimCount() == 0 &&
                   filesOf(*first).size() + filesOf(*second).size() > 0;
        },
        10'000));
    EXPECT_EQ(filesOf(*first).size() + filesOf(*second).size(), 1);
}

TEST_F(Delegate, TheWindowStartedAtLaunchTakesTheNamedFilesAsItsStartUpEnds) {
    const QString a = writeFile(QStringLiteral("a.txt"));
    DunmossNotepadApp app({QStringLiteral("dunmoss-notepad")}, *defaults);
    EditorWindowView* window = app.start({a});
    QSignalSpy started(window, &EditorWindowView::startUpCompleted);
    ASSERT_TRUE(window->hasCompletedStartUp() || started.wait(10'000));
    // Not left for a later claim, which a window the window manager has not activated yet
    // would make only after a delay.
    EXPECT_TRUE(NotificationBus::shared().unclaimedOpenURLRequests().isEmpty());
    EXPECT_EQ(window->openRequests().pendingClaimCount(), 0);
    EXPECT_TRUE(window->model().opening().isOpening() || filesOf(*window) == QStringList{"a.txt"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return filesOf(*window) == QStringList{"a.txt"}; }, 10'000));
}

TEST_F(Delegate, ReopenBringsAWindowUpOnlyWhenNoneIsOnScreen) {
    DunmossNotepadApp app({QStringLiteral("dunmoss-notepad")}, *defaults);
    app.delegate().applicationDidFinishLaunching();
    EXPECT_TRUE(app.delegate().applicationShouldHandleReopen());
    ASSERT_TRUE(QTest::qWaitFor([] { return hasVisibleEditorWindow(); }, 10'000));
    EXPECT_EQ(editorWindows().size(), 1);
    EXPECT_TRUE(app.delegate().applicationShouldHandleReopen());
    QTest::qWait(50);
    EXPECT_EQ(editorWindows().size(), 1);
}

} // namespace
