// Save As onto a file another tab stands for, through the real window: afterwards no two tabs
// stand for one file, the other tab's unsaved work is asked about first (Cancel by default) and
// never lost, nothing of the other tab is written over the Save As while it is on its way, and
// nothing later reports this program's own save as a change by someone else.
#include "../window/ScriptedInteraction.h"
#include "SplitPaneWindow.h"
#include "platform/Localization.h"
#include "session/MaintenanceTick.h"
#include "session/WindowSession.h"
#include "support/HeldWrites.h"
#include "window/WindowDerivedValues.h"

#include <gtest/gtest.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

const QString kLeft = QStringLiteral("left one\nleft two\n");
const QString kRight = QStringLiteral("right one\nright two\n");

class SaveAsOverOpenTab : public SplitPaneWindow {
protected:
    void SetUp() override {
        openSplit(kLeft, kRight);
        window->model().setInteraction(&person);
    }
    void TearDown() override {
        if (window)
            window->model().setInteraction(nullptr);
        SplitPaneWindow::TearDown();
    }

    QUrl rightURL() const { return right.fileURL.value(); }
    // Ctrl+Shift+S in pane 1 (the left file), answered with the right file's location.
    void saveLeftAsRight() {
        clickInto(false);
        person.saveAnswers = {rightURL()};
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_S,
                        Qt::ControlModifier | Qt::ShiftModifier);
        settle();
    }
    // The write runs off the window's thread; it is done once the left tab stands for the file.
    void waitForTheWrite() {
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return window->model().tab(left.id)->fileURL == rightURL(); }, 30'000));
        settle();
    }
    QList<EditorTab> tabsOnTheRightFile() const {
        QList<EditorTab> found;
        for (const EditorTab& tab : window->model().state().tabs)
            if (isSameFileLocation(tab.fileURL, rightURL()))
                found.append(tab);
        return found;
    }
    // What the window checks when it is active again: nothing may call the save a change made
    // by another application.
    void expectNoChangeFromElsewhere() {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        settle();
        for (const EditorTab& tab : window->model().state().tabs)
            EXPECT_FALSE(tab.hasExternalChanges) << displayTitle(tab).toStdString();
        EXPECT_FALSE(window->model().state().decisions.externalChangeTabID.has_value());
    }

    // The file holds the left text and only the left tab stands for it; the right tab keeps
    // what was typed in it, untitled and unsaved.
    void expectLeftOnTheFileAndRightKeptUntitled() {
        EXPECT_EQ(readFile(rightURL().toLocalFile()), ("L " + kLeft).toUtf8());
        const QList<EditorTab> onRight = tabsOnTheRightFile();
        ASSERT_EQ(onRight.size(), 1);
        EXPECT_EQ(onRight.first().id, left.id);
        const EditorTab* kept = window->model().tab(right.id);
        ASSERT_TRUE(kept);
        EXPECT_TRUE(kept->isUntitled());
        EXPECT_EQ(kept->document.text, QStringLiteral("R ") + kRight);
        EXPECT_TRUE(tabIsModified(*kept));
        expectNoChangeFromElsewhere();
    }

    ScriptedInteraction person;
};

} // namespace

TEST_F(SaveAsOverOpenTab, AnOtherTabWithNothingUnsavedClosesWithoutAQuestion) {
    clickInto(false);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("L "));
    saveLeftAsRight();
    waitForTheWrite();

    EXPECT_TRUE(person.alerts.isEmpty());
    EXPECT_EQ(readFile(rightURL().toLocalFile()), ("L " + kLeft).toUtf8());
    EXPECT_EQ(readFile(left.fileURL->toLocalFile()), kLeft.toUtf8());
    const QList<EditorTab> onRight = tabsOnTheRightFile();
    ASSERT_EQ(onRight.size(), 1);
    EXPECT_EQ(onRight.first().id, left.id);
    EXPECT_FALSE(window->model().tab(right.id));
    EXPECT_EQ(window->model().state().tabs.size(), 1);
    expectNoChangeFromElsewhere();
}

TEST_F(SaveAsOverOpenTab, UnsavedWorkInTheOtherTabIsAskedAboutAndKeptUntitled) {
    clickInto(true);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("R "));
    clickInto(false);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("L "));

    // Asked, with Cancel as the safe default: a cancel writes nothing and changes no tab.
    person.alertAnswers = {-1};
    saveLeftAsRight();
    ASSERT_EQ(person.alerts.size(), 1);
    const AlertRequest& asked = person.alerts.first();
    EXPECT_TRUE(asked.title.contains(QStringLiteral("right.txt"))) << asked.title.toStdString();
    for (const AlertButton& button : asked.buttons)
        EXPECT_NE(button.role, AlertButton::Role::Default) << "Return would replace";
    EXPECT_EQ(asked.buttons.last().role, AlertButton::Role::Cancel);
    EXPECT_EQ(readFile(rightURL().toLocalFile()), kRight.toUtf8());
    EXPECT_EQ(window->model().tab(left.id)->fileURL, left.fileURL);
    EXPECT_EQ(window->model().tab(right.id)->fileURL, right.fileURL);
    EXPECT_EQ(window->model().tab(right.id)->document.text, QStringLiteral("R ") + kRight);

    // Replace: the file takes the left text, and the other tab keeps what was typed in it.
    person.alertAnswers = {0};
    saveLeftAsRight();
    waitForTheWrite();
    ASSERT_EQ(person.alerts.size(), 2);
    expectLeftOnTheFileAndRightKeptUntitled();
    EXPECT_EQ(pane(true)->toPlainText(), QStringLiteral("R ") + kRight);

    // Typing on in it stays its own: it is not the file's any more.
    clickInto(true);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("more "));
    EXPECT_EQ(readFile(rightURL().toLocalFile()), ("L " + kLeft).toUtf8());
}

namespace {

// Save As onto the right file, answered with Replace, while the disk holds the write; then the
// right tab, first in the strip, is saved: by Ctrl+S, by Save All (Ctrl+Alt+S) or by autosave.
class SaveAsOverOpenTabRacingASave : public SaveAsOverOpenTab {
protected:
    void raceTheRightTabsSave(const std::function<void()>& saveTheRightTab) {
        // Save All takes the right tab first, before it waits for the left one's Save As.
        window->model().update([](EditorWindowState& s) { s.tabs.move(1, 0); });
        settle();
        clickInto(true);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("R "));
        clickInto(false);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("L "));
        person.alertAnswers = {0};
        {
            HeldWrites disk;
            saveLeftAsRight();
            ASSERT_TRUE(disk.reached(1));
            EXPECT_LE(tabsOnTheRightFile().size(), 1);
            clickInto(true);
            saveTheRightTab();
            settle();
            EXPECT_LE(tabsOnTheRightFile().size(), 1);
        }
        // Save All saves the left tab again once its Save As is in.
        while (window->model().saving().writes().isWriting())
            written();
    }
    void expectNothingLost() {
        expectLeftOnTheFileAndRightKeptUntitled();

        // The left tab's text is on disk, so closing it asks nothing.
        const EditorTab* saved = window->model().tab(left.id);
        ASSERT_TRUE(saved);
        EXPECT_FALSE(tabIsModified(*saved));
        clickInto(false);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_W, Qt::ControlModifier);
        settle();
        EXPECT_FALSE(window->model().tab(left.id));
        EXPECT_FALSE(window->model().state().decisions.showDiscardAlert);
    }
};

} // namespace

TEST_F(SaveAsOverOpenTabRacingASave, SaveInTheOtherTabWritesNothingOverTheSaveAs) {
    raceTheRightTabsSave(
        [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier); });
    expectNothingLost();
}

TEST_F(SaveAsOverOpenTabRacingASave, SaveAllWritesNothingOverTheSaveAs) {
    raceTheRightTabsSave([] {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_S,
                        Qt::ControlModifier | Qt::AltModifier);
    });
    expectNothingLost();
}

TEST_F(SaveAsOverOpenTabRacingASave, AutosaveWritesNothingOverTheSaveAs) {
    raceTheRightTabsSave(
        [&] { WindowSession::of(window->model()).maintenance().maintenanceTick(); });
    expectNothingLost();
}

TEST_F(SaveAsOverOpenTab, ASaveAsElsewhereStillOnItsWayStaysTheOtherTabsOwn) {
    const QUrl other = QUrl::fromLocalFile(dir.filePath(QStringLiteral("other.txt")));
    clickInto(true);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("R "));
    clickInto(false);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("L "));
    {
        HeldWrites disk;
        clickInto(true);
        person.saveAnswers = {other};
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_S,
                        Qt::ControlModifier | Qt::ShiftModifier);
        settle();
        ASSERT_TRUE(disk.reached(1));
        person.alertAnswers = {0};
        saveLeftAsRight();
        ASSERT_EQ(person.alerts.size(), 1);
    }
    waitForTheWrite();
    written();
    EXPECT_EQ(readFile(other.toLocalFile()), ("R " + kRight).toUtf8());
    EXPECT_EQ(readFile(rightURL().toLocalFile()), ("L " + kLeft).toUtf8());
    const EditorTab* saved = window->model().tab(right.id);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->fileURL, other);
    EXPECT_FALSE(tabIsModified(*saved));

    // Its next save goes to that file without asking where.
    clickInto(true);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("more "));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
    written();
    EXPECT_EQ(person.savePanels.size(), 2);
    EXPECT_EQ(readFile(other.toLocalFile()), ("more R " + kRight).toUtf8());
}

namespace {

// The person takes their time: the save panel (with its own "replace?") or the question stays
// open while the autosave tick runs, and the answer comes after it.
class SaveAsOverOpenTabAnsweredLater : public SaveAsOverOpenTab {
protected:
    void SetUp() override {
        SaveAsOverOpenTab::SetUp();
        clickInto(true);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("R "));
        clickInto(false);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("L "));
        person.deferAnswers = true;
        person.alertAnswers = {0};
    }
    void tick() { WindowSession::of(window->model()).maintenance().maintenanceTick(); }
    // The right tab's words are in the tab alone, unsaved, while the person decides.
    void expectRightUntouched() {
        EXPECT_EQ(readFile(rightURL().toLocalFile()), kRight.toUtf8());
        const EditorTab* waiting = window->model().tab(right.id);
        ASSERT_TRUE(waiting);
        EXPECT_TRUE(tabIsModified(*waiting));
    }
};

} // namespace

TEST_F(SaveAsOverOpenTabAnsweredLater, ATickWhileThePanelIsOpenWritesNothingAndTheQuestionComes) {
    saveLeftAsRight();
    ASSERT_EQ(person.pending.size(), 1u);
    tick();
    written();
    expectRightUntouched();
    person.releaseNext(); // the panel: the right file, and yes, replace it
    ASSERT_EQ(person.alerts.size(), 1);
    person.releaseNext(); // the question: Replace
    waitForTheWrite();
    expectLeftOnTheFileAndRightKeptUntitled();
}

TEST_F(SaveAsOverOpenTabAnsweredLater, ATickWhileTheQuestionIsOpenWritesNothing) {
    saveLeftAsRight();
    person.releaseNext();
    ASSERT_EQ(person.alerts.size(), 1);
    tick();
    written();
    expectRightUntouched();
    person.releaseNext();
    waitForTheWrite();
    expectLeftOnTheFileAndRightKeptUntitled();
}

TEST_F(SaveAsOverOpenTabAnsweredLater, AnAutosaveDoneWhileAskedDoesNotUndoWhatTheQuestionSaid) {
    {
        HeldWrites disk;
        tick();
        ASSERT_TRUE(disk.reached(1));
        saveLeftAsRight();
        person.releaseNext();
        ASSERT_EQ(person.alerts.size(), 1);
    }
    // The autosave begun before the Save As took the right tab's words to its file meanwhile.
    written();
    EXPECT_EQ(readFile(rightURL().toLocalFile()), ("R " + kRight).toUtf8());
    EXPECT_FALSE(tabIsModified(*window->model().tab(right.id)));
    person.releaseNext();
    waitForTheWrite();
    expectLeftOnTheFileAndRightKeptUntitled();
}
