// The settings window as it is reached from an editor window: it comes up over that window and
// wholly on the screen, and Escape or Ctrl+W close it again.
#include "ProgramDriving.h"
#include "app/AppSettingsView.h"
#include "app/DunmossNotepadApp.h"
#include "app/SettingsWindow.h"
#include "chrome/EditorWindowView.h"
#include "window/EditorWindowModel.h"

#include <QScreen>
#include <QWindow>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

class SettingsPlacement : public ProgramFixture {
protected:
    // No xdg-mime is reachable: the association status fails at once and touches nothing.
    void SetUp() override {
        ProgramFixture::SetUp();
        path = qgetenv("PATH");
        qputenv("PATH", dir.filePath(QStringLiteral("no-tools")).toUtf8());
        delete settingsWindow();
        app = std::make_unique<DunmossNotepadApp>(QStringList{QStringLiteral("dunmoss-notepad")},
                                                  *defaults);
        app->setRecoveryDirectory(dir.filePath(QStringLiteral("Recovery")));
        window = app->start({});
        ASSERT_TRUE(window);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->hasCompletedStartUp(); }));
    }
    void TearDown() override {
        delete settingsWindow();
        ProgramFixture::TearDown();
        qputenv("PATH", path);
    }
    // Ctrl+, pressed in the editor window placed at `frame`; returns the settings window.
    AppSettingsView* openSettingsFrom(const QRect& frame) {
        window->setGeometry(frame);
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        settle();
        QTest::keyClick(window->windowHandle(), Qt::Key_Comma, Qt::ControlModifier);
        AppSettingsView* settings = settingsWindow();
        EXPECT_TRUE(settings && QTest::qWaitForWindowExposed(settings));
        settle();
        return settings;
    }
    QRect available() const { return window->screen()->availableGeometry(); }

    QByteArray path;
    std::unique_ptr<DunmossNotepadApp> app;
    EditorWindowView* window = nullptr;
};

} // namespace

TEST_F(SettingsPlacement, ComesUpCentredOnItsWindowAndWhollyOnTheScreen) {
    // Room all round: centred on the editor window.
    const QRect screen = available();
    ASSERT_GE(screen.width(), AppSettingsView::kWidth + 100);
    ASSERT_GE(screen.height(), AppSettingsView::kHeight + 100);
    const QRect middle = QRect(screen.topLeft() + QPoint(20, 20), screen.size() - QSize(40, 40));
    AppSettingsView* settings = openSettingsFrom(middle);
    ASSERT_TRUE(settings);
    EXPECT_LE(
        (settings->frameGeometry().center() - window->frameGeometry().center()).manhattanLength(),
        2);
    EXPECT_TRUE(screen.contains(settings->frameGeometry()));
    settings->close();

    // An editor window reaching past the bottom right of the screen: the settings window stays
    // on it, however far its window reaches.
    const QRect low(screen.center(), QSize(1060, 720));
    settings = openSettingsFrom(low);
    ASSERT_TRUE(settings);
    EXPECT_TRUE(screen.contains(settings->frameGeometry()))
        << settings->frameGeometry().bottom() << " > " << screen.bottom();
}

TEST_F(SettingsPlacement, EscapeAndCtrlWCloseItAndLeaveTheEditorWindowOpen) {
    AppSettingsView* settings = openSettingsFrom(window->geometry());
    ASSERT_TRUE(settings && settings->isVisible());
    QTest::keyClick(settings->windowHandle(), Qt::Key_Escape);
    settle();
    EXPECT_FALSE(settings->isVisible());

    settings = openSettingsFrom(window->geometry());
    ASSERT_TRUE(settings && settings->isVisible());
    QTest::keyClick(settings->windowHandle(), Qt::Key_W, Qt::ControlModifier);
    settle();
    EXPECT_FALSE(settings->isVisible());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->model().state().tabs.size(), 1);
}
