#include "EditorTestSupport.h"
#include "editor/ShortcutTextView.h"
#include "text/EditorTheme.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

// Puts the application's palette back however the test ends.
struct PaletteGuard {
    QPalette saved = QApplication::palette();
    ~PaletteGuard() { QApplication::setPalette(saved); }
};

QPalette darkPalette() {
    QPalette dark = QApplication::palette();
    dark.setColor(QPalette::Base, QColor(24, 26, 30));
    dark.setColor(QPalette::Text, QColor(228, 230, 232));
    dark.setColor(QPalette::Window, QColor(40, 40, 44));
    dark.setColor(QPalette::Highlight, QColor(60, 130, 250));
    return dark;
}

bool showsPosition(ShortcutTextView* view, int position) {
    QTextCursor cursor(view->document());
    cursor.setPosition(position);
    return view->viewport()->rect().contains(view->cursorRect(cursor));
}

} // namespace

TEST(ViewFollowsWindow, TheSystemThemeTakesADesktopSwitchAtOnceAndFixedThemesDoNot) {
    PaletteGuard guard;
    TextStorageRegistry registry;
    FakeTab systemTab;
    systemTab.text = QStringLiteral("text");
    CodeEditorView system(propsFor(systemTab, registry));
    FakeTab lightTab;
    CodeEditorProps lightProps = propsFor(lightTab, registry);
    lightProps.theme = EditorTheme::Light;
    CodeEditorView light(lightProps);
    system.show();
    light.show();
    const QColor lightBase = light.textView()->palette().color(QPalette::Base);

    QApplication::setPalette(darkPalette());
    QApplication::processEvents();
    const QPalette shown = system.textView()->palette();
    EXPECT_EQ(shown.color(QPalette::Base), QColor(24, 26, 30));
    EXPECT_EQ(shown.color(QPalette::Text), QColor(228, 230, 232));
    EXPECT_EQ(shown.color(QPalette::Highlight), QColor(60, 130, 250));
    EXPECT_EQ(system.textView()->caret().color, QColor(60, 130, 250));
    EXPECT_EQ(light.textView()->palette().color(QPalette::Base), lightBase);

    // And back to light.
    QApplication::setPalette(guard.saved);
    QApplication::processEvents();
    EXPECT_EQ(system.textView()->palette().color(QPalette::Base),
              guard.saved.color(QPalette::Base));
}

TEST(ViewFollowsWindow, ASelectionLongerThanTheViewShowsItsStart) {
    TextStorageRegistry registry;
    FakeTab tab;
    for (int line = 1; line <= 400; ++line)
        tab.text += QStringLiteral("line %1\n").arg(line);
    CodeEditorView view(propsFor(tab, registry));
    view.resize(600, 300);
    view.show();
    ShortcutTextView* text = view.textView();

    // From line 100 to line 300, set by the window.
    const int start = int(tab.text.indexOf(QStringLiteral("line 100\n")));
    const int end = int(tab.text.indexOf(QStringLiteral("line 300\n")));
    tab.selectedRanges = {TextRange{start, end - start}};
    tab.selectedRange = tab.selectedRanges.first();
    view.update(propsFor(tab, registry));
    EXPECT_TRUE(showsPosition(text, start));
    EXPECT_FALSE(showsPosition(text, end));

    // A selection that fits is shown whole, wherever the view was.
    const int shortStart = int(tab.text.indexOf(QStringLiteral("line 20\n")));
    const int shortEnd = int(tab.text.indexOf(QStringLiteral("line 25\n")));
    tab.selectedRanges = {TextRange{shortStart, shortEnd - shortStart}};
    tab.selectedRange = tab.selectedRanges.first();
    view.update(propsFor(tab, registry));
    EXPECT_TRUE(showsPosition(text, shortStart));
    EXPECT_TRUE(showsPosition(text, shortEnd));
    const int lastStart = int(tab.text.indexOf(QStringLiteral("line 395\n")));
    tab.selectedRanges = {TextRange{lastStart, 8}};
    tab.selectedRange = tab.selectedRanges.first();
    view.update(propsFor(tab, registry));
    EXPECT_TRUE(showsPosition(text, lastStart));
    EXPECT_TRUE(showsPosition(text, lastStart + 8));
}
