#include "editor/ShortcutTextView.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QImage>
#include <QStyleHints>
#include <QTest>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

bool caretPainted(ShortcutTextView& view) {
    const QImage image = view.viewport()->grab().toImage();
    const QRect at = view.cursorRect();
    return image.pixelColor(at.left(), at.center().y()) == view.caret().color;
}

} // namespace

TEST(AccentCaret, DrawnInItsColourOnlyWhileTheViewCanTakeTheCaret) {
    QWidget window;
    ShortcutTextView view(&window);
    view.resize(300, 120);
    view.setPlainText(QStringLiteral("abc def"));
    view.caret().color = QColor(255, 0, 0);
    window.show();
    window.activateWindow();
    view.setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ASSERT_TRUE(view.hasFocus());

    QTextCursor cursor = view.textCursor();
    cursor.setPosition(4);
    view.setTextCursor(cursor); // moving the caret shows it at once
    EXPECT_TRUE(view.caret().isShown());
    EXPECT_TRUE(caretPainted(view));

    // A typed letter shows it at its new place at once, in whichever phase the blink was.
    for (const char key : {'x', 'y'}) {
        QTest::keyClick(&view, key);
        EXPECT_TRUE(view.caret().isShown()) << key;
        EXPECT_TRUE(caretPainted(view)) << key;
        // The next key may come in either phase of the blink.
        static_cast<void>(QTest::qWaitFor([&] { return !view.caret().isShown(); }, 3000));
    }

    // A selection shows no caret.
    cursor.setPosition(6, QTextCursor::KeepAnchor);
    view.setTextCursor(cursor);
    EXPECT_FALSE(view.caret().isShown());

    // Nor does a read-only view that cannot take the keyboard caret.
    cursor.clearSelection();
    view.setTextCursor(cursor);
    view.setReadOnly(true);
    view.setTextInteractionFlags(Qt::TextSelectableByMouse);
    EXPECT_FALSE(view.caret().isShown());
}

namespace {

// Qt's text control under the view, which would blink Qt's own (hidden) caret.
QObject* qtTextControl(QPlainTextEdit& view) {
    for (QObject* child : view.children())
        if (child->inherits("QWidgetTextControl"))
            return child;
    return nullptr;
}

qsizetype runningTimers(QObject* object) {
    return QAbstractEventDispatcher::instance()->registeredTimers(object).size();
}

struct TimerEventCounter : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Timer)
            ++count;
        return false;
    }
};

} // namespace

TEST(AccentCaret, QtsHiddenCaretRunsNoBlinkTimerThatWouldLayOutTheLineAgain) {
    // Every tick of Qt's blink computed the caret's x, laying out the whole line again.
    QWidget window;
    ShortcutTextView view(&window);
    view.resize(400, 200);
    view.setPlainText(QString(20'000, u'x'));
    QObject* control = qtTextControl(view);
    ASSERT_NE(control, nullptr);
    TimerEventCounter ticks;
    control->installEventFilter(&ticks);
    window.show();
    window.activateWindow();
    view.setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ASSERT_TRUE(view.hasFocus());
    const int flashTime = QGuiApplication::styleHints()->cursorFlashTime();
    ASSERT_GT(flashTime, 1);

    QTest::qWait(flashTime * 3 / 2);
    EXPECT_EQ(ticks.count, 0);
    EXPECT_EQ(runningTimers(control), 0);
    // Our own caret still blinks, and the flash time the application sees is unchanged.
    EXPECT_EQ(QGuiApplication::styleHints()->cursorFlashTime(), flashTime);

    // Made editable again behind the view's back: the timer Qt starts then does not survive
    // its first tick.
    view.setReadOnly(true);
    view.setReadOnly(false);
    QTest::qWait(flashTime * 3 / 2);
    EXPECT_LE(ticks.count, 1);
    EXPECT_EQ(runningTimers(control), 0);

    // Typing shows the caret at once, still without Qt's timer.
    QTest::keyClick(&view, Qt::Key_A);
    EXPECT_TRUE(view.caret().isShown());
    EXPECT_EQ(runningTimers(control), 0);
}
