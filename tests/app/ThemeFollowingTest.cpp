// The theme reaches what opens in a window of its own: chosen in the settings window, Midnight
// makes that window, the menus and the file panel dark, and the light theme makes them light
// again, without a restart.
#include "ProgramDriving.h"
#include "app/AppSettingsView.h"
#include "app/DunmossNotepadApp.h"
#include "app/EditorMenuBar.h"
#include "app/EditorWindowChrome.h"
#include "app/SettingsWindow.h"
#include "chrome/EditorWindowView.h"
#include "text/EditorTheme.h"

#include <QComboBox>
#include <QFileDialog>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

bool isDark(const QWidget* widget) {
    return widget->palette().color(QPalette::Window).lightness() < 100 &&
           widget->palette().color(QPalette::WindowText).lightness() > 150;
}

bool isLight(const QWidget* widget) {
    return widget->palette().color(QPalette::Window).lightness() > 150 &&
           widget->palette().color(QPalette::WindowText).lightness() < 100;
}

// The lightness of a symbol's ink: its most opaque pixel.
int symbolLightness(const QIcon& icon) {
    const QImage image = icon.pixmap(16, 16).toImage();
    QColor ink(0, 0, 0, 0);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).alpha() > ink.alpha())
                ink = image.pixelColor(x, y);
    return ink.lightness();
}

// The settings window's tab and button symbols stand out from its background.
void expectReadableSymbols(const QWidget* settings, bool dark) {
    const auto* tabs = settings->findChild<QTabWidget*>(QStringLiteral("settingsTabs"));
    ASSERT_TRUE(tabs);
    for (int i = 0; i < tabs->count(); ++i)
        EXPECT_EQ(symbolLightness(tabs->tabIcon(i)) > 127, dark) << "tab " << i;
    const auto* privacy = settings->findChild<QPushButton*>(QStringLiteral("openPrivacy"));
    ASSERT_TRUE(privacy);
    EXPECT_EQ(symbolLightness(privacy->icon()) > 127, dark);
}

class ThemeFollowing : public ProgramFixture {
protected:
    void TearDown() override {
        app.reset();
        ProgramFixture::TearDown();
    }
    void launch() {
        defaults->setValue(QString::fromLatin1(kEditorThemeKey), QStringLiteral("light"));
        app = std::make_unique<DunmossNotepadApp>(QStringList{QStringLiteral("dunmoss-notepad")},
                                                  *defaults);
        app->setRecoveryDirectory(dir.filePath(QStringLiteral("Recovery")));
        window = app->start({});
        ASSERT_TRUE(window);
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->hasCompletedStartUp(); }));
        settle();
    }
    // Ctrl+, from the window; the settings window's theme picker has the keyboard.
    QComboBox* openSettingsThemePicker() {
        QTest::keyClick(window, Qt::Key_Comma, Qt::ControlModifier);
        settle();
        AppSettingsView* settings = settingsWindow();
        EXPECT_TRUE(settings && settings->isVisible());
        if (!settings)
            return nullptr;
        auto* picker = settings->findChild<QComboBox*>(QStringLiteral("theme"));
        EXPECT_TRUE(picker);
        if (picker)
            picker->setFocus(Qt::TabFocusReason);
        return picker;
    }
    // The File menu, opened with a click on its title; closed again with Escape.
    template <typename Check> void inFileMenu(Check check) {
        EditorMenuBar* bar = editorMenuBar(*window);
        ASSERT_TRUE(bar);
        QAction* file = bar->actions().value(0);
        ASSERT_TRUE(file && file->menu());
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(file).center());
        ASSERT_TRUE(QTest::qWaitFor([&] { return file->menu()->isVisible(); }));
        check(file->menu());
        QTest::keyClick(file->menu(), Qt::Key_Escape);
        QTest::keyClick(bar, Qt::Key_Escape);
        settle();
    }
    // The open panel, from Ctrl+O; cancelled once checked.
    template <typename Check> void inOpenPanel(Check check) {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::ControlModifier);
        QFileDialog* panel = nullptr;
        ASSERT_TRUE(QTest::qWaitFor([&] {
            panel = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            return panel && panel->isVisible();
        }));
        check(panel);
        panel->reject();
        settle();
    }

    std::unique_ptr<DunmossNotepadApp> app;
    EditorWindowView* window = nullptr;
};

} // namespace

TEST_F(ThemeFollowing, MenusTheSettingsWindowAndFilePanelsFollowTheTheme) {
    launch();
    QComboBox* picker = openSettingsThemePicker();
    ASSERT_TRUE(picker);
    EXPECT_TRUE(isLight(settingsWindow()));

    // Light to Midnight: two steps down the picker.
    QTest::keyClick(picker, Qt::Key_Down);
    QTest::keyClick(picker, Qt::Key_Down);
    settle();
    ASSERT_EQ(defaults->string(QString::fromLatin1(kEditorThemeKey)), QStringLiteral("midnight"));
    EXPECT_TRUE(isDark(window));
    EXPECT_TRUE(isDark(settingsWindow()));
    EXPECT_TRUE(isDark(picker));
    expectReadableSymbols(settingsWindow(), true);
    inFileMenu([](QMenu* menu) { EXPECT_TRUE(isDark(menu)); });
    inOpenPanel([](QFileDialog* panel) { EXPECT_TRUE(isDark(panel)); });

    // And back to the light theme, live.
    openSettingsThemePicker();
    QTest::keyClick(picker, Qt::Key_Up);
    QTest::keyClick(picker, Qt::Key_Up);
    settle();
    ASSERT_EQ(defaults->string(QString::fromLatin1(kEditorThemeKey)), QStringLiteral("light"));
    EXPECT_TRUE(isLight(window));
    EXPECT_TRUE(isLight(settingsWindow()));
    expectReadableSymbols(settingsWindow(), false);
    inFileMenu([](QMenu* menu) { EXPECT_TRUE(isLight(menu)); });
    inOpenPanel([](QFileDialog* panel) { EXPECT_TRUE(isLight(panel)); });
}
