#include "chrome/WindowLevel.h"
#include "chrome/EditorWindowView.h"
#include "chrome/TestWindowOptions.h"
#include "platform/Defaults.h"
#include "window/EditorWindowModel.h"
#include "window/WindowCommandTable.h"

#include <QDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

using namespace dunmoss;
using dunmoss::test::testWindowOptions;

namespace {

bool onTop(const QWidget& window) {
    const bool widgetSays = window.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    // A shown window must have told the window system the same.
    if (window.windowHandle()) {
        EXPECT_EQ(window.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint), widgetSays);
    }
    return widgetSays;
}

std::unique_ptr<QWidget> shownWindow() {
    auto window = std::make_unique<QWidget>();
    window->resize(200, 100);
    window->show();
    return window;
}

// Longer than the follow-ups after a change take.
void letFollowUpsRun() {
    QTest::qWait(400);
}

TEST(WindowLevel, OnlyEditorWindowsFloatButEveryWindowPassedGetsTheIdentifier) {
    const auto window = shownWindow();
    applyWindowLevel(window.get(), true);
    EXPECT_TRUE(onTop(*window));
    EXPECT_EQ(window->objectName(), QString::fromLatin1(kEditorWindowIdentifier));
    EXPECT_TRUE(window->isVisible()) << "changing the level does not hide the window";
    applyWindowLevel(window.get(), false);
    letFollowUpsRun();
    EXPECT_FALSE(onTop(*window));

    QDialog sheet;
    applyWindowLevel(&sheet, true);
    EXPECT_EQ(sheet.objectName(), QString::fromLatin1(kEditorWindowIdentifier));
    EXPECT_FALSE(onTop(sheet));
}

TEST(WindowLevel, OffAndOnAgainQuicklyLeavesTheWindowOnTop) {
    const auto window = shownWindow();
    bool setting = true;
    const AlwaysOnTopReader current = [&setting] { return setting; };
    applyWindowLevel(window.get(), true, current);
    setting = false;
    applyWindowLevel(window.get(), false, current);
    EXPECT_FALSE(onTop(*window));
    // Back on before the follow-ups of the switch-off ran.
    setting = true;
    applyWindowLevel(window.get(), true, current);
    letFollowUpsRun();
    EXPECT_TRUE(onTop(*window));
}

TEST(WindowLevel, TheSettingReachesEveryEditorWindowAndNoOtherWindow) {
    const auto first = shownWindow();
    const auto second = shownWindow();
    const auto settingsWindow = shownWindow();
    first->setObjectName(QString::fromLatin1(kEditorWindowIdentifier));
    second->setObjectName(QString::fromLatin1(kEditorWindowIdentifier));
    const QList<QWidget*> windows = editorWindowsForLevel();
    EXPECT_TRUE(windows.contains(first.get()) && windows.contains(second.get()));
    EXPECT_FALSE(windows.contains(settingsWindow.get()));

    bool setting = true;
    applyAlwaysOnTopToEditorWindows(true, true, [&setting] { return setting; });
    EXPECT_TRUE(onTop(*first) && onTop(*second));
    EXPECT_FALSE(onTop(*settingsWindow));
    setting = false;
    applyAlwaysOnTopToEditorWindows(false, false, [&setting] { return setting; });
    letFollowUpsRun();
    EXPECT_FALSE(onTop(*first) || onTop(*second));
}

TEST(WindowLevel, TheWindowsToggleFloatsItAndTheStoredSettingFloatsItFromTheStart) {
    QTemporaryDir dir;
    Defaults defaults(dir.filePath(QStringLiteral("settings.ini")));
    auto window = std::make_unique<EditorWindowView>(testWindowOptions(defaults));
    window->show();
    EXPECT_FALSE(onTop(*window));
    window->commandTable().toggleAlwaysOnTopSetting();
    EXPECT_TRUE(onTop(*window));
    window.reset();

    auto next = std::make_unique<EditorWindowView>(testWindowOptions(defaults));
    EXPECT_TRUE(onTop(*next));
    next->show();
    next->commandTable().toggleAlwaysOnTopSetting();
    letFollowUpsRun();
    EXPECT_FALSE(onTop(*next));
}

} // namespace
