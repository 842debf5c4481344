// Renders the code-editing view in each theme to PNG files for a person to look at. Disabled in
// normal runs; run under a display server with
//   xvfb-run -a env QT_QPA_PLATFORM=xcb test_editor --gtest_also_run_disabled_tests
//       --gtest_filter='EditorScreenshots.*'
// The files go to $DUNMOSS_SHOT_DIR, or /tmp/dunmoss-shots.
#include "EditorTestSupport.h"
#include "editor/CodeEditorCoordinator.h"
#include "editor/ShortcutTextView.h"

#include <QDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

const char* kSample = R"(// Line numbers, guides and invisibles
#include <vector>

int sum(const std::vector<int>& values) {
    int total = 0;
    for (int v : values) {
        if (v > 0) {
            total += v;   
        }
	}
    return total;
}

struct Point { int x, y; };
)";

} // namespace

TEST(EditorScreenshots, DISABLED_EachThemeWithNumbersGuidesAndInvisibles) {
    const QString folder = qEnvironmentVariableIsSet("DUNMOSS_SHOT_DIR")
                               ? qEnvironmentVariable("DUNMOSS_SHOT_DIR")
                               : QStringLiteral("/tmp/dunmoss-shots");
    QDir().mkpath(folder);
    for (const EditorTheme theme : allEditorThemes()) {
        TextStorageRegistry registry;
        FakeTab tab;
        tab.text = QString::fromUtf8(kSample);
        // The caret just after the "{" that opens the function body.
        const qsizetype brace = tab.text.indexOf(QStringLiteral("{\n    int total"));
        tab.selectedRanges = {TextRange{brace + 1, 0}};
        tab.selectedRange = {brace + 1, 0};
        CodeEditorProps props = propsFor(tab, registry);
        props.theme = theme;
        props.showInvisibles = true;
        props.bookmarkedLines = {4, 8};
        props.language = EditorLanguage::Cpp;
        CodeEditorView view(props);
        view.resize(640, 360);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        view.activateWindow();
        // Without an active window the caret is not drawn; the picture is still worth having.
        (void)QTest::qWaitForWindowActive(&view);
        view.textView()->setFocus();
        QTest::qWait(50);
        // The caret stands after a brace: both it and its partner carry the bracket mark.
        EXPECT_EQ(view.coordinator().bracketHighlightRanges.size(), 2);
        const QString path =
            folder + QStringLiteral("/editor-") + rawValue(theme) + QStringLiteral(".png");
        EXPECT_TRUE(view.grab().save(path)) << path.toStdString();
    }
}
