// A save writes on the window's writer while the person goes on: keys typed while the disk works
// reach the text and keep the tab unsaved, a failed save is told without taking the keys, and
// closing the window or quitting waits for the write instead of losing it.
#include "SplitPaneWindow.h"
#include "chrome/MessageBar.h"
#include "platform/FileError.h"
#include "support/HeldWrites.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <chrono>
#include <thread>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

const QString kLeft = QStringLiteral("left one\n");
const QString kRight = QStringLiteral("right one\n");

class SaveWhileTyping : public SplitPaneWindow {
protected:
    void SetUp() override {
        openSplit(kLeft, kRight);
        clickInto(false);
        press(Qt::Key_End, Qt::ControlModifier);
    }

    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    // Keys go where the keyboard is, as a keyboard's do.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        if (QWidget* keyboard = keyboardWidget())
            QTest::keyClick(keyboard, key, modifiers);
        settle();
    }
    void type(const QString& keys) {
        if (QWidget* keyboard = keyboardWidget())
            typeText(keyboard, keys);
        settle();
    }
    static QWidget* keyboardWidget() {
        QWidget* keyboard = QApplication::focusWidget();
        if (!keyboard)
            ADD_FAILURE() << "no widget has the keyboard";
        return keyboard;
    }
    const EditorTab& leftTab() const { return *window->model().tab(left.id); }
};

} // namespace

TEST_F(SaveWhileTyping, KeysTypedWhileTheDiskWritesReachTheTextAndKeepTheTabUnsaved) {
    type(QStringLiteral("a"));
    {
        HeldWrites disk;
        press(Qt::Key_S, Qt::ControlModifier);
        ASSERT_TRUE(disk.reached(1));
        type(QStringLiteral("bc"));
        EXPECT_EQ(pane(false)->toPlainText(), kLeft + QStringLiteral("abc"));
        EXPECT_EQ(readFile(path("left.txt")), kLeft.toUtf8());
    }
    written();
    EXPECT_EQ(readFile(path("left.txt")), (kLeft + QStringLiteral("a")).toUtf8());
    EXPECT_EQ(leftTab().document.text, kLeft + QStringLiteral("abc"));
    EXPECT_TRUE(tabIsModified(leftTab()));
    EXPECT_FALSE(leftTab().hasExternalChanges);
    EXPECT_EQ(QApplication::focusWidget(), pane(false));

    // Undone back to the text on disk, the tab is saved; typed again, the next save writes it.
    press(Qt::Key_Backspace);
    press(Qt::Key_Backspace);
    EXPECT_FALSE(tabIsModified(leftTab()));
    type(QStringLiteral("bc"));
    press(Qt::Key_S, Qt::ControlModifier);
    written();
    EXPECT_EQ(readFile(path("left.txt")), (kLeft + QStringLiteral("abc")).toUtf8());
    EXPECT_FALSE(tabIsModified(leftTab()));
}

TEST_F(SaveWhileTyping, KeysTypedAfterAFailedSaveReachTheTextAndTheFailureIsOnTheBar) {
    // The file is Western (ISO Latin 1), which cannot hold the euro sign typed into it.
    window->model().update([&](EditorWindowState& state) {
        EditorTab& tab = state.tabs[*window->model().tabIndex(left.id)];
        tab.document.encoding = TextFileEncoding::IsoLatin1;
        tab.savedEncoding = TextFileEncoding::IsoLatin1;
    });
    QKeyEvent euro(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(0x20AC)));
    QApplication::sendEvent(QApplication::focusWidget(), &euro);
    press(Qt::Key_S, Qt::ControlModifier);
    type(QStringLiteral("ab"));
    // The failure is in; Return and Space would have answered an alert.
    written();
    press(Qt::Key_Return);
    press(Qt::Key_Space);
    type(QStringLiteral("cd"));

    EXPECT_EQ(leftTab().document.text, kLeft + QStringLiteral("\u20ACab\n cd"));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget(), pane(false));
    EXPECT_TRUE(tabIsModified(leftTab()));
    EXPECT_EQ(readFile(path("left.txt")), kLeft.toUtf8());
    const MessageBar* bar = window->windowLayout().messageBar();
    EXPECT_EQ(
        bar->texts(),
        QStringList{FileError(FileErrorCode::FileWriteInapplicableStringEncoding, path("left.txt"))
                        .localizedDescription()});
    EXPECT_TRUE(bar->isVisibleTo(window));
}

TEST_F(SaveWhileTyping, ClosingTheWindowWhileTheDiskWritesClosesItOnceWritten) {
    type(QStringLiteral("a"));
    {
        HeldWrites disk;
        press(Qt::Key_S, Qt::ControlModifier);
        ASSERT_TRUE(disk.reached(1));
        window->close();
        settle();
        EXPECT_TRUE(window && window->isVisible()) << "the window waits for the write";
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window || !window->isVisible(); }, 20'000));
    EXPECT_EQ(readFile(path("left.txt")), (kLeft + QStringLiteral("a")).toUtf8());
}

TEST_F(SaveWhileTyping, AQuitThatAsksNothingWaitsForTheWriteUnderWay) {
    type(QStringLiteral("a"));
    HeldWrites disk;
    press(Qt::Key_S, Qt::ControlModifier);
    ASSERT_TRUE(disk.reached(1));
    // A signal's quit closes without asking; the disk finishes a moment later.
    std::thread slowDisk([&disk] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        disk.release();
    });
    window->closeWithoutAsking();
    slowDisk.join();
    EXPECT_EQ(readFile(path("left.txt")), (kLeft + QStringLiteral("a")).toUtf8());
}
