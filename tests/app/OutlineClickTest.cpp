// The outline in the real window: a declaration after a blank line is listed at its own line,
// and a click on it selects its own text, so typing over the selection keeps the blank line.
#include "ProgramDriving.h"
#include "app/DunmossNotepadApp.h"
#include "app/EditorMenuBar.h"
#include "app/EditorWindowChrome.h"
#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "chrome/EditorWindowView.h"
#include "chrome/WindowLayout.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "platform/Localization.h"
#include "tools/DocumentOutlinePanel.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QAction>
#include <QFile>
#include <QListView>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

using OutlineClick = ProgramFixture;

} // namespace

TEST_F(OutlineClick, ADeclarationAfterABlankLineIsListedAndSelectedOnItsOwnLine) {
    const QString path = dir.filePath(QStringLiteral("shapes.py"));
    const QByteArray source = "import os\n\nclass Foo:\n    pass\n";
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(source);
    }
    DunmossNotepadApp app({QStringLiteral("dunmoss-notepad")}, *defaults);
    app.setRecoveryDirectory(dir.filePath(QStringLiteral("Recovery")));
    EditorWindowView* window = app.start({path});
    ASSERT_TRUE(window);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    EditorWindowModel& model = window->model();
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return window->hasCompletedStartUp() &&
               activeTab(model.state()).fileURL == QUrl::fromLocalFile(path);
    }));
    editorMenuBar(*window)->actionForKey(QStringLiteral("tools.document-outline"))->trigger();
    settle();

    EditorArea* area = window->windowLayout().editorArea();
    auto* outline = qobject_cast<DocumentOutlinePanel*>(area->panel(EditorAreaPanel::Outline));
    ASSERT_TRUE(outline);
    ASSERT_TRUE(QTest::qWaitFor([&] { return outline->list()->model()->rowCount() == 1; }));
    const QModelIndex row = outline->list()->model()->index(0, 0);
    EXPECT_EQ(row.data(Qt::ToolTipRole).toString(),
              QStringLiteral("class \u00B7 ") +
                  localizedString(QStringLiteral("folder-search.line.format")).arg(3));

    ShortcutTextView* editor = area->primaryPane()->editorView()->textView();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == editor; }));
    QTest::mouseClick(outline->list()->viewport(), Qt::LeftButton, {},
                      outline->list()->visualRect(row).center());
    settle();
    EXPECT_EQ(editor->textCursor().selectionStart(), source.indexOf("class"));
    EXPECT_EQ(editor->textCursor().selectedText(), QStringLiteral("class Foo"));
    ASSERT_EQ(QApplication::focusWidget(), editor);
    QTest::keyClicks(editor, QStringLiteral("x"));
    settle();
    EXPECT_EQ(activeTab(model.state()).document.text,
              QStringLiteral("import os\n\nx:\n    pass\n"));
}
