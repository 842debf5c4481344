#include "chrome/DialogInteraction.h"
#include "tools/EditorSnippet.h"
#include "tools/SnippetLibrarySheet.h"
#include "tools/TextToolboxAction.h"
#include "tools/TextToolboxSheet.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace dunmoss::test {
namespace {

// The sheets as a person meets them: opened over a window, answered by a click, Return on the
// focused entry, or Escape.
class ToolSheet : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(800, 600);
        window.show();
    }
    // Opens the sheet and hands back the dialog on screen.
    ToolSheetDialog* open(dunmoss::ToolSheet sheet) {
        interaction.showToolSheet(sheet, [this](int index) { answers.append(index); });
        QApplication::processEvents();
        for (auto* dialog : window.findChildren<ToolSheetDialog*>()) {
            if (dialog->isVisible())
                return dialog;
        }
        ADD_FAILURE() << "no sheet on screen";
        return nullptr;
    }

    QMainWindow window;
    DialogInteraction interaction{&window};
    QList<int> answers;
};

TEST_F(ToolSheet, TheToolboxListsItsActionsInOrderAndAnswersTheClickedOne) {
    ToolSheetDialog* dialog = open(dunmoss::ToolSheet::TextToolbox);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    ASSERT_EQ(dialog->entryButtons().size(), allTextToolboxActions().size());
    QTest::mouseClick(static_cast<QPushButton*>(dialog->entryButtons().at(5)), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(answers, QList<int>{int(TextToolboxAction::Base64Decode)});
}

// Over a dark window every text of the sheet is light, the entries' too.
TEST_F(ToolSheet, TheSheetTakesTheWindowsColours) {
    QPalette dark = window.palette();
    dark.setColor(QPalette::Window, QColor(0x24, 0x25, 0x28));
    dark.setColor(QPalette::WindowText, QColor(0xe6, 0xe6, 0xe8));
    window.setPalette(dark);
    for (dunmoss::ToolSheet kind :
         {dunmoss::ToolSheet::TextToolbox, dunmoss::ToolSheet::SnippetLibrary}) {
        ToolSheetDialog* dialog = open(kind);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->palette().color(QPalette::Window), dark.color(QPalette::Window));
        int texts = 0;
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            if (label->text().isEmpty() || !label->isVisible())
                continue;
            ++texts;
            EXPECT_GT(label->palette().color(QPalette::WindowText).lightness(), 128)
                << label->text().toStdString();
        }
        EXPECT_GT(texts, 10);
        dialog->reject();
        QApplication::processEvents();
    }
}

TEST_F(ToolSheet, ReturnPicksTheFocusedSnippetAndEscapeDismisses) {
    ToolSheetDialog* dialog = open(dunmoss::ToolSheet::SnippetLibrary);
    ASSERT_TRUE(dialog);
    ASSERT_EQ(dialog->entryButtons().size(), builtInSnippets().size());
    // Markup in a preview is shown as typed.
    bool previewShown = false;
    for (QLabel* label : dialog->findChildren<QLabel*>())
        previewShown |= label->text() == snippetPreview(builtInSnippets().at(2));
    EXPECT_TRUE(previewShown);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(answers, QList<int>{1});

    dialog = open(dunmoss::ToolSheet::SnippetLibrary);
    ASSERT_TRUE(dialog);
    QTest::keyClick(dialog, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_EQ(answers, (QList<int>{1, -1}));
}

} // namespace
} // namespace dunmoss::test
