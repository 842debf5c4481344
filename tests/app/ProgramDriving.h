#pragma once

// What the tests that drive the whole program share: a fixture with its own settings that leaves
// no window or registration behind, typing as the keyboard does, letting the event loop catch
// up, and GB 18030 bytes for the files they open.
#include "app/DunmossNotepadApp.h"
#include "app/EditorCommandsRegistry.h"
#include "app/EditorWindowPresence.h"
#include "chrome/EditorWindowView.h"
#include "platform/Defaults.h"
#include "platform/NotificationBus.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QKeyEvent>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>
#include <unicode/ucnv.h>

namespace dunmoss::test {

inline QByteArray gb18030(const QString& text) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open("gb18030", &status);
    QByteArray out(text.size() * 4 + 8, '\0');
    const int32_t written = ucnv_fromUChars(converter, out.data(), int32_t(out.size()),
                                            reinterpret_cast<const UChar*>(text.utf16()),
                                            int32_t(text.size()), &status);
    ucnv_close(converter);
    EXPECT_TRUE(U_SUCCESS(status));
    out.resize(written);
    return out;
}

// Each character as a key press and release; a line break as the Return key.
inline void typeText(QWidget* target, const QString& text) {
    for (const QChar c : text) {
        if (c == QLatin1Char('\n')) {
            QTest::keyClick(target, Qt::Key_Return);
            continue;
        }
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &press);
        QApplication::sendEvent(target, &release);
    }
}

inline void settle() {
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

// Whole windows on a private settings file; every window and process-wide registration goes
// with the test.
class ProgramFixture : public ::testing::Test {
protected:
    void SetUp() override {
        reset();
        defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("settings.ini")));
    }
    void TearDown() override {
        for (QWidget* window : editorWindows())
            delete window;
        settle();
        reset();
    }
    // The program launched on the file at `path`, written with `bytes` first; its window once
    // the file's tab is active and shown, or null when that failed (the test has failed too).
    EditorWindowView* launchOn(std::unique_ptr<DunmossNotepadApp>& app, const QString& path,
                               const QByteArray& bytes) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        app = std::make_unique<DunmossNotepadApp>(QStringList{QStringLiteral("dunmoss-notepad")},
                                                  *defaults);
        app->setRecoveryDirectory(dir.filePath(QStringLiteral("Recovery")));
        EditorWindowView* window = app->start({path});
        EXPECT_TRUE(window);
        if (!window)
            return nullptr;
        window->activateWindow();
        const bool shown =
            QTest::qWaitForWindowActive(window) && QTest::qWaitFor([&] {
                return window->hasCompletedStartUp() &&
                       activeTab(window->model().state()).fileURL == QUrl::fromLocalFile(path);
            });
        EXPECT_TRUE(shown);
        settle();
        return shown ? window : nullptr;
    }

    static void reset() {
        EditorCommandsRegistry::shared().reset();
        resetEditorWindowPresence();
        NotificationBus::shared().reset();
    }

    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;
};

} // namespace dunmoss::test
