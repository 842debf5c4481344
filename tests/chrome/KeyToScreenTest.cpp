// What a key changed reaches the screen first: the letter's line is painted before the window
// re-reads its model for its chrome (status bar, header), which then follows in the same turn of
// events. Driven through a whole window (offscreen) with real keys.
#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "chrome/EditorWindowView.h"
#include "chrome/StatusBarView.h"
#include "chrome/TestWindowOptions.h"
#include "chrome/WindowLayout.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "platform/Defaults.h"
#include "platform/LaterThanRepaints.h"
#include "window/EditorWindowModel.h"

#include <QApplication>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <gtest/gtest.h>

namespace dunmoss::test {
namespace {

// The status bar's texts at the first paint of a widget.
class FirstPaint : public QObject {
public:
    FirstPaint(QWidget* widget, std::function<QStringList()> status) : m_status(std::move(status)) {
        widget->installEventFilter(this);
    }
    std::optional<QStringList> statusAtPaint;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !statusAtPaint)
            statusAtPaint = m_status();
        return false;
    }

private:
    std::function<QStringList()> m_status;
};

class KeyToScreen : public ::testing::Test {
protected:
    void SetUp() override {
        defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("settings.ini")));
        window = new EditorWindowView(testWindowOptions(*defaults));
        window->resize(900, 600);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->hasCompletedStartUp(); }));
        EditorTab tab = untitledTab();
        for (int line = 0; line < 200; ++line)
            tab.document.text += QStringLiteral("line %1\n").arg(line);
        window->model().update([&](EditorWindowState& s) {
            s.tabs = {tab};
            s.activeTabID = tab.id;
            s.panels.showWelcome = false;
        });
        window->refreshNow();
        settle();
        view()->setFocus();
        settle();
    }
    void TearDown() override {
        QThreadPool::globalInstance()->waitForDone();
        delete window.data();
        QApplication::processEvents();
    }
    void settle() {
        for (int i = 0; i < 4; ++i)
            QApplication::processEvents();
    }
    ShortcutTextView* view() const {
        return window->windowLayout().editorArea()->primaryPane()->editorView()->textView();
    }
    QStringList status() const { return window->windowLayout().statusBar()->visibleItemTexts(); }

    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;
    QPointer<EditorWindowView> window;
};

} // namespace

TEST_F(KeyToScreen, TheTypedLetterIsPaintedBeforeTheStatusBarFollowsIt) {
    const QStringList before = status();
    FirstPaint paint(view()->viewport(), [this] { return status(); });
    QTest::keyClicks(view(), QStringLiteral("x"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return paint.statusAtPaint.has_value(); }));
    EXPECT_EQ(*paint.statusAtPaint, before) << "the window's chrome was rebuilt before the letter";
    settle();
    // Then the window catches up: the caret moved one column and the text is unsaved.
    EXPECT_NE(status(), before);
    EXPECT_EQ(window->model().state().tabs.first().document.text.left(7),
              QStringLiteral("xline 0"));
}

TEST(LaterThanRepaints, RunsOnceAfterTheEventsAlreadyWaitingAndNotAfterItIsGone) {
    QWidget widget;
    widget.resize(100, 100);
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    QApplication::processEvents();
    QStringList order;
    struct PaintLog : QObject {
        QStringList* order;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint)
                order->append(QStringLiteral("paint"));
            return false;
        }
    } log;
    log.order = &order;
    widget.installEventFilter(&log);
    auto* later = new LaterThanRepaints([&] { order.append(QStringLiteral("run")); }, &widget);
    widget.update();
    later->request();
    later->request();
    EXPECT_TRUE(later->isRequested());
    QApplication::processEvents();
    EXPECT_EQ(order, (QStringList{QStringLiteral("paint"), QStringLiteral("run")}));
    EXPECT_FALSE(later->isRequested());
    // Requested again, then gone before its turn: nothing runs.
    later->request();
    delete later;
    QApplication::processEvents();
    EXPECT_EQ(order.count(QStringLiteral("run")), 1);
}

} // namespace dunmoss::test
