#include "editor/ShortcutTextView.h"

#include <QApplication>
#include <QImage>
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
