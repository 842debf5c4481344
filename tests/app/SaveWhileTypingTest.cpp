// A save writes on the window's writer while the person goes on: keys typed while the disk works
// reach the text and keep the tab unsaved, and closing the window or quitting waits for the
// write instead of losing it.
#include "SplitPaneWindow.h"
#include "support/HeldWrites.h"

#include <QApplication>
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
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        settle();
    }
    void type(const QString& keys) {
        typeText(QApplication::focusWidget(), keys);
        settle();
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
