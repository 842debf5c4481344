// The find bar through a whole window (offscreen), driven with real keys and clicks: a command is
// never lost to the keys and clicks that follow it, it acts on the pane with the keyboard, and the
// bar shows only what was found for the tab on screen.
#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "chrome/EditorWindowView.h"
#include "chrome/TabStripItemWidget.h"
#include "chrome/TabStripView.h"
#include "chrome/TestWindowOptions.h"
#include "chrome/WindowLayout.h"
#include "chrome/WindowStatusLine.h"
#include "editor/CodeEditorView.h"
#include "editor/ElidedLabel.h"
#include "editor/ShortcutTextView.h"
#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "search/FindReplaceBar.h"
#include "search/FindStepRunner.h"
#include "window/EditorWindowModel.h"
#include "window/TabUndoRegistry.h"
#include "window/WindowDerivedValues.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QThreadPool>
#include <QToolButton>
#include <QUndoStack>
#include <gtest/gtest.h>

namespace dunmoss::test {
namespace {

QString l(const char* key) {
    return localizedString(QString::fromLatin1(key));
}

class FindWhereTheUserIs : public ::testing::Test {
protected:
    void SetUp() override {
        defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("settings.ini")));
        window = new EditorWindowView(testWindowOptions(*defaults));
        window->resize(1060, 720);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->hasCompletedStartUp(); }));
        settle();
    }
    void TearDown() override {
        gate.release(1000);
        QThreadPool::globalInstance()->waitForDone();
        delete window.data();
        QApplication::processEvents();
    }

    // Find commands hand their matches over in a later turn, unless held at the gate.
    void settle() {
        if (!held) {
            EXPECT_TRUE(
                QTest::qWaitFor([&] { return !FindStepRunner::of(model()).isPending(); }, 30'000));
        }
        for (int i = 0; i < 4; ++i)
            QApplication::processEvents();
    }
    // The window's tabs with these texts, the first active, in one pane or two.
    void showTabs(const QStringList& texts, SplitEditorMode mode = SplitEditorMode::Single) {
        QList<EditorTab> tabs;
        for (const QString& text : texts) {
            EditorTab tab = untitledTab();
            tab.document.text = text;
            tabs.append(tab);
        }
        model().update([&](EditorWindowState& s) {
            s.tabs = tabs;
            s.activeTabID = tabs.first().id;
            s.panels.showWelcome = false;
            s.split.splitMode = mode;
        });
        window->refreshNow();
        settle();
    }
    // Searches wait at the gate until the test lets them go, and the bar says at once that
    // they run.
    void holdSearches() {
        held = true;
        FindStepRunner::of(model()).quietMilliseconds = 0;
        FindStepRunner::of(model()).beforeSearch = [this] { gate.acquire(); };
    }
    void letSearchesGo() {
        gate.release();
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return !FindStepRunner::of(model()).isPending(); }, 30'000));
        settle();
    }

    EditorWindowModel& model() const { return window->model(); }
    const EditorTab& tab(int index) const { return model().state().tabs.at(index); }
    ShortcutTextView* pane(bool second = false) const {
        EditorArea* area = window->windowLayout().editorArea();
        return (second ? area->secondaryPane() : area->primaryPane())->editorView()->textView();
    }
    FindReplaceBar* bar() const {
        return qobject_cast<FindReplaceBar*>(window->windowLayout().panel(WindowPanel::FindBar));
    }
    QAbstractButton* button(const QString& text) const {
        for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
            if (b->isVisible() && (b->text() == text || b->toolTip() == text))
                return b;
        return nullptr;
    }
    void click(const char* key) {
        QAbstractButton* found = button(l(key));
        ASSERT_TRUE(found) << key;
        QTest::mouseClick(found, Qt::LeftButton);
        settle();
    }
    // A click at the start of the line of the pane's text, which then has the keyboard.
    void clickLine(ShortcutTextView* view, int line) {
        const QTextBlock block = view->document()->findBlockByNumber(line);
        const QPoint at(2, int(view->blockRect(block).center().y()));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        settle();
    }
    // Ctrl+F from the pane, then the query and the replacement typed into the bar's fields.
    void findFrom(ShortcutTextView* view, const QString& query, const QString& replacement) {
        clickLine(view, 0);
        QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
        settle();
        ASSERT_TRUE(bar() && bar()->isVisible());
        QTest::keyClicks(bar()->queryField(), query);
        QTest::mouseClick(bar()->replaceField(), Qt::LeftButton);
        QTest::keyClicks(bar()->replaceField(), replacement);
        settle();
    }
    QString status() const { return bar()->statusText(); }

    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;
    QPointer<EditorWindowView> window;
    QSemaphore gate;
    // Searches wait at the gate from holdSearches() on.
    bool held = false;
};

TEST_F(FindWhereTheUserIs, KeysAndClicksAfterReplaceAllWaitForItAndFollowIt) {
    showTabs({QStringLiteral("foo bar foo\nfoo\nend\n")});
    findFrom(pane(), QStringLiteral("foo"), QStringLiteral("QQ"));
    clickLine(pane(), 2);
    holdSearches();
    click("find.replace-all");
    EXPECT_TRUE(FindStepRunner::of(model()).isPending());
    EXPECT_EQ(status(), l("find.replacing"));
    // Typed into the editor while Replace All runs: nothing is lost, nothing lands before it.
    ASSERT_EQ(QApplication::focusWidget(), pane());
    QTest::keyClicks(pane(), QStringLiteral("xy"));
    EXPECT_EQ(tab(0).document.text, QStringLiteral("foo bar foo\nfoo\nend\n"));
    letSearchesGo();
    EXPECT_EQ(tab(0).document.text, QStringLiteral("xyQQ bar QQ\nQQ\nend\n"));
    EXPECT_EQ(status(), l("find.replaced-all.format").arg(localizedCount(3, kCountedMatches)));
    // Replace All and the keys are undone in turn.
    QUndoStack* undo = model().undoRegistry().undoStackForTab(tab(0).id);
    ASSERT_EQ(undo->count(), 2);
    undo->undo();
    EXPECT_EQ(tab(0).document.text, QStringLiteral("QQ bar QQ\nQQ\nend\n"));
    undo->undo();
    EXPECT_EQ(tab(0).document.text, QStringLiteral("foo bar foo\nfoo\nend\n"));

    // A click made while it runs places the caret once it is done, not before.
    click("find.replace-all");
    ASSERT_EQ(status(), l("find.replacing"));
    clickLine(pane(), 1);
    letSearchesGo();
    EXPECT_EQ(tab(0).document.text, QStringLiteral("QQ bar QQ\nQQ\nend\n"));
    EXPECT_EQ(tab(0).selectedRange, (TextRange{10, 0}));
    QTest::keyClicks(pane(), QStringLiteral("z"));
    EXPECT_EQ(tab(0).document.text, QStringLiteral("QQ bar QQ\nzQQ\nend\n"));
}

TEST_F(FindWhereTheUserIs, AClickWhileReplaceAllRunsLandsOnTheLineItPointedAt) {
    QString text;
    for (int i = 0; i < 300; ++i)
        text += QStringLiteral("foo %1\n").arg(i);
    showTabs({text});
    findFrom(pane(), QStringLiteral("foo"), QStringLiteral("QQ"));
    // Far down the text, where the start that Replace All moves the caret to is out of view.
    clickLine(pane(), 0);
    QTest::keyClick(pane(), Qt::Key_End, Qt::ControlModifier);
    settle();
    holdSearches();
    click("find.replace-all");
    ASSERT_EQ(status(), l("find.replacing"));
    clickLine(pane(), 290);
    letSearchesGo();
    QTest::keyClicks(pane(), QStringLiteral("z"));
    const QStringList lines = tab(0).document.text.split(QLatin1Char('\n'));
    EXPECT_EQ(lines.at(290), QStringLiteral("zQQ 290"));
    EXPECT_EQ(tab(0).document.text.count(QLatin1Char('z')), 1);
}

// A command hands its matches over in a later turn. What is given before it does (keys, and a
// newer command with the fields as they were then) waits and follows it in the order given, as if
// it had ended at once; once its quiet moment is over the bar says it runs and a newer command
// stops it.
TEST_F(FindWhereTheUserIs, WhatIsGivenWhileACommandIsQuietFollowsItInOrder) {
    showTabs({QStringLiteral("foo bar foo\n")});
    findFrom(pane(), QStringLiteral("foo"), QStringLiteral("QQ"));
    clickLine(pane(), 0);
    FindStepRunner& runner = FindStepRunner::of(model());
    const auto fields = [&](const QString& query, const QString& replacement) {
        bar()->queryField()->selectAll();
        QTest::keyClicks(bar()->queryField(), query);
        bar()->replaceField()->selectAll();
        QTest::keyClicks(bar()->replaceField(), replacement);
    };
    const auto holdTheNextSearch = [&] {
        held = true;
        runner.beforeSearch = [this] { gate.acquire(); };
    };
    runner.quietMilliseconds = 600'000;
    holdTheNextSearch();
    click("find.replace-all");
    runner.beforeSearch = {};
    ASSERT_TRUE(runner.isPending());
    EXPECT_NE(status(), l("find.replacing"));
    QTest::keyClicks(pane(), QStringLiteral("x"));
    fields(QStringLiteral("bar"), QStringLiteral("ZZ"));
    click("find.replace-all");
    QTest::keyClicks(pane(), QStringLiteral("y"));
    EXPECT_EQ(tab(0).document.text, QStringLiteral("foo bar foo\n"));
    gate.release();
    held = false;
    settle();
    // Replace All puts the caret at the start: "x" went in after the first, "y" after the second.
    EXPECT_EQ(tab(0).document.text, QStringLiteral("yxQQ ZZ QQ\n"));
    EXPECT_EQ(status(), l("find.replaced-all.format").arg(localizedCount(1, kCountedMatches)));

    runner.quietMilliseconds = 50;
    fields(QStringLiteral("QQ"), QStringLiteral("W"));
    holdTheNextSearch();
    click("find.replace-all");
    runner.beforeSearch = {};
    fields(QStringLiteral("ZZ"), QStringLiteral("V"));
    click("find.replace-all");
    held = false;
    settle();
    EXPECT_EQ(tab(0).document.text, QStringLiteral("yxQQ V QQ\n"));
    EXPECT_EQ(status(), l("find.superseded.format").arg(l("find.replace-all")) + u' ' +
                            l("find.replaced-all.format").arg(localizedCount(1, kCountedMatches)));
    gate.release();
}

// The bar never describes a text that Undo took back; Redo brings the text and its answer back.
TEST_F(FindWhereTheUserIs, UndoingReplaceAllTakesBackWhatTheBarSaidAboutIt) {
    showTabs({QStringLiteral("foo bar foo\n")});
    findFrom(pane(), QStringLiteral("foo"), QStringLiteral("QQ"));
    click("find.replace-all");
    const QString replaced = l("find.replaced-all.format").arg(localizedCount(2, kCountedMatches));
    ASSERT_EQ(status(), replaced);
    // Typing after it keeps the answer: the replaced text is still there.
    clickLine(pane(), 0);
    QTest::keyClicks(pane(), QStringLiteral("x"));
    EXPECT_EQ(status(), replaced);
    QTest::keyClick(pane(), Qt::Key_Z, Qt::ControlModifier);
    settle();
    ASSERT_EQ(tab(0).document.text, QStringLiteral("QQ bar QQ\n"));
    EXPECT_EQ(status(), replaced);

    QTest::keyClick(pane(), Qt::Key_Z, Qt::ControlModifier);
    settle();
    ASSERT_EQ(tab(0).document.text, QStringLiteral("foo bar foo\n"));
    EXPECT_TRUE(status().isEmpty()) << status().toStdString();
    QTest::keyClick(pane(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    settle();
    ASSERT_EQ(tab(0).document.text, QStringLiteral("QQ bar QQ\n"));
    EXPECT_EQ(status(), replaced);

    // Undone and then typed over, the history went another way: the answer stays gone.
    QTest::keyClick(pane(), Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClicks(pane(), QStringLiteral("y"));
    settle();
    ASSERT_EQ(tab(0).document.text.count(QStringLiteral("foo")), 2);
    EXPECT_TRUE(status().isEmpty()) << status().toStdString();
    // A new command answers again.
    click("find.replace-all");
    EXPECT_EQ(status(), replaced);
}

TEST_F(FindWhereTheUserIs, InSplitViewEveryCommandActsOnThePaneWithTheKeyboard) {
    const QString left = QStringLiteral("left one\nleft two\n");
    showTabs({left, QStringLiteral("right one\nright two\nright three\n")}, SplitEditorMode::Split);
    findFrom(pane(true), QStringLiteral("right"), QStringLiteral("R"));
    QTest::keyClick(bar()->queryField(), Qt::Key_Return);
    settle();
    EXPECT_EQ(tab(1).selectedRange, (TextRange{0, 5}));
    EXPECT_EQ(status(), l("find.match.format").arg(1).arg(3));
    click("find.mark-all");
    EXPECT_EQ(tab(1).bookmarkedLines, (std::set<int>{1, 2, 3}));
    EXPECT_TRUE(tab(0).bookmarkedLines.empty());
    ASSERT_FALSE(model().state().searchCenter.searchCenterDocumentResults.isEmpty());
    EXPECT_EQ(model().state().searchCenter.searchCenterDocumentResults.first().tabID, tab(1).id);
    click("find.replace-all");
    EXPECT_EQ(tab(1).document.text, QStringLiteral("R one\nR two\nR three\n"));
    EXPECT_EQ(tab(0).document.text, left);
    EXPECT_EQ(status(), l("find.replaced-all.format").arg(localizedCount(3, kCountedMatches)));

    // Back in the first pane the bar answers for its tab.
    clickLine(pane(), 0);
    EXPECT_TRUE(status().isEmpty());
    bar()->queryField()->selectAll();
    QTest::keyClicks(bar()->queryField(), QStringLiteral("two"));
    QTest::keyClick(bar()->queryField(), Qt::Key_Return);
    settle();
    EXPECT_EQ(tab(0).selectedRange, (TextRange{14, 3}));
    EXPECT_EQ(status(), l("find.match.format").arg(1).arg(1));
}

TEST_F(FindWhereTheUserIs, TheBarShowsOnlyWhatWasFoundForTheTabOnScreen) {
    showTabs({QStringLiteral("cat cat"), QStringLiteral("dog")}, SplitEditorMode::Split);
    findFrom(pane(), QStringLiteral("cat"), QStringLiteral("cow"));
    click("find.replace-all");
    const QString replaced = l("find.replaced-all.format").arg(localizedCount(2, kCountedMatches));
    EXPECT_EQ(status(), replaced);
    QAbstractButton* second =
        window->windowLayout().tabStrip()->itemWidgets().at(1)->selectButton();
    QTest::mouseClick(second, Qt::LeftButton);
    settle();
    EXPECT_TRUE(status().isEmpty());
    QTest::mouseClick(window->windowLayout().tabStrip()->itemWidgets().at(0)->selectButton(),
                      Qt::LeftButton);
    settle();
    EXPECT_EQ(status(), replaced);

    // Window notices keep to the window's own line.
    click("tools.split-view.close");
    EXPECT_EQ(status(), replaced);
    EXPECT_TRUE(window->windowLayout().statusLine()->isVisible());
    EXPECT_EQ(window->windowLayout().statusLine()->message(), l("tools.split-view.closed"));

    // An error reads whole: the bar gives it the room of a wide window, and a tooltip when even
    // that is too narrow.
    window->resize(1700, 720);
    for (QCheckBox* box : bar()->findChildren<QCheckBox*>())
        if (box->text() == l("find.regex"))
            QTest::mouseClick(box, Qt::LeftButton);
    auto* label = qobject_cast<ElidedLabel*>(bar()->statusLabel());
    ASSERT_TRUE(label);
    const QString errorStart = l("find.regex-error.format").section(QStringLiteral("%1"), 0, 0);
    for (const QString& pattern : {QStringLiteral("(ab"), QString(120, QLatin1Char('('))}) {
        bar()->queryField()->selectAll();
        QTest::keyClicks(bar()->queryField(), pattern);
        QTest::keyClick(bar()->queryField(), Qt::Key_Return);
        settle();
        const QString error = status();
        ASSERT_TRUE(error.startsWith(errorStart)) << error.toStdString();
        EXPECT_EQ(label->toolTip(), error);
        if (pattern.size() < 10)
            EXPECT_EQ(label->displayedText(), error);
        else
            EXPECT_NE(label->displayedText(), error);
    }
}

} // namespace
} // namespace dunmoss::test
