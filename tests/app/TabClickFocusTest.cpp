#include "app/EditorCommandsRegistry.h"
#include "app/EditorMenuBar.h"
#include "app/EditorWindowChrome.h"
#include "app/EditorWindowPresence.h"
#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "chrome/EditorWindowView.h"
#include "chrome/TabStripView.h"
#include "chrome/TestWindowOptions.h"
#include "chrome/WindowLayout.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "platform/Defaults.h"
#include "text/EditorTab.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace dunmoss;
using dunmoss::test::testWindowOptions;

namespace {

class TabClickFocus : public ::testing::Test {
protected:
    void SetUp() override {
        defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("settings.ini")));
        window = new EditorWindowView(testWindowOptions(*defaults));
        // Composed as the application composes it, with its menu bar.
        installApplicationChrome(*window, *defaults);
        EditorTab first = untitledTab();
        first.document.text = QStringLiteral("first");
        EditorTab second = untitledTab();
        second.document.text = QStringLiteral("second");
        secondID = second.id;
        window->model().update([&](EditorWindowState& s) {
            s.tabs = {first, second};
            s.activeTabID = first.id;
        });
        window->resize(900, 600);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        window->refreshNow();
    }
    void TearDown() override {
        delete window.data();
        QApplication::processEvents();
        EditorCommandsRegistry::shared().reset();
        resetEditorWindowPresence();
    }

    ShortcutTextView* textView() const {
        return window->windowLayout().editorArea()->primaryPane()->editorView()->textView();
    }
    QAbstractButton* selectButtonOfTab(int index) const {
        return window->windowLayout().tabStrip()->itemWidgets().at(index)->selectButton();
    }
    QAction* editAction(const char* key) const {
        for (QAction* action : editorMenuBar(*window)->findChildren<QAction*>())
            if (action->objectName() == QLatin1String(key))
                return action;
        return nullptr;
    }
    const EditorTab& tabAt(int index) const { return window->model().state().tabs.at(index); }

    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;
    QPointer<EditorWindowView> window;
    QUuid secondID;
};

TEST_F(TabClickFocus, TheActiveEditorTakesTheKeyboardOnceTheWindowHasStarted) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->hasCompletedStartUp(); }));
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), textView());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("typed "));
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("typed first"));
}

TEST_F(TabClickFocus, TheClickedTabsEditorTakesTheKeyboard) {
    textView()->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), textView());
    QTest::mouseClick(selectButtonOfTab(1), Qt::LeftButton);
    QApplication::processEvents();
    ASSERT_EQ(activeTab(window->model().state()).id, secondID);
    ASSERT_EQ(QApplication::focusWidget(), textView());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral(" tab"));
    EXPECT_EQ(tabAt(1).document.text, QStringLiteral("second tab"));
    EXPECT_EQ(tabAt(0).document.text, QStringLiteral("first"));

    // From a field elsewhere in the window too; the Edit menu's Select All and Cut then reach
    // the text of the tab clicked.
    auto* field = new QLineEdit(window);
    field->show();
    field->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), field);
    QTest::mouseClick(selectButtonOfTab(0), Qt::LeftButton);
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), textView());
    QAction* selectAll = editAction("menu.edit.select-all");
    QAction* cut = editAction("menu.edit.cut");
    ASSERT_TRUE(selectAll && cut);
    selectAll->trigger();
    EXPECT_EQ(tabAt(0).selectedRange, (TextRange{0, 5}));
    cut->trigger();
    EXPECT_EQ(tabAt(0).document.text, QString());
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("first"));
}

} // namespace
