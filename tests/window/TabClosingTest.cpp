#include "window/TabClosing.h"
#include "WindowFixture.h"
#include "platform/Localization.h"
#include "window/TabUndoRegistry.h"
#include "window/WindowAlerts.h"

#include <QCoreApplication>
#include <QUndoStack>

namespace dunmoss::test {
namespace {

class TabClose : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        alerts = std::make_unique<WindowAlerts>(*model);
    }
    // Tabs named by their text, all untitled and unmodified unless edited.
    void makeTabs(const QStringList& names, int activeIndex) {
        QList<EditorTab> tabs;
        for (const QString& name : names) {
            EditorTab tab = untitledTab();
            tab.document.text = name;
            tab.savedSnapshot = name;
            tabs.append(tab);
        }
        model->update([&](EditorWindowState& s) {
            s.tabs = tabs;
            s.activeTabID = tabs.at(activeIndex).id;
        });
    }
    QUuid idOf(const QString& name) const {
        for (const EditorTab& tab : state().tabs)
            if (tab.document.text.startsWith(name))
                return tab.id;
        return {};
    }
    QString activeName() const { return active().document.text; }
    QStringList names() const {
        QStringList out;
        for (const EditorTab& tab : state().tabs)
            out.append(tab.document.text);
        return out;
    }
    void edit(const QString& name) {
        const QUuid id = idOf(name);
        model->setTabText(id, model->tabText(id) + QStringLiteral(" edited"));
    }
    // The questions the window raised, answered by the scripted person.
    void answerQuestions() {
        alerts->presentPendingAlerts();
        written();
        QCoreApplication::processEvents();
    }

    TabClosing closing() { return TabClosing(*model); }
    std::unique_ptr<WindowAlerts> alerts;
};

TEST_F(TabClose, TheNextTabBecomesActiveOrThePreviousWhenTheLastCloses) {
    makeTabs({"A", "B", "C"}, 1);
    closing().closeTab(idOf("B"));
    EXPECT_EQ(names(), (QStringList{"A", "C"}));
    EXPECT_EQ(activeName(), "C");

    makeTabs({"A", "B", "C"}, 2);
    closing().closeTab(idOf("C"));
    EXPECT_EQ(activeName(), "B");

    makeTabs({"A", "B", "C"}, 1);
    const int savesBefore = sessionSaves;
    closing().closeTab(idOf("A"));
    EXPECT_EQ(activeName(), "B");
    EXPECT_EQ(sessionSaves, savesBefore + 1);

    closing().closeTab(QUuid::createUuid());
    EXPECT_EQ(names(), (QStringList{"B", "C"}));
    EXPECT_EQ(sessionSaves, savesBefore + 1) << "an unknown tab changes and saves nothing";
}

TEST_F(TabClose, ClosingTheLastTabLeavesANewUntitledTabAndTheWelcomePanel) {
    makeTabs({"A"}, 0);
    const QUuid oldID = idOf("A");
    model->undoRegistry().undoStackForTab(oldID);
    model->update([](EditorWindowState& s) {
        s.panels.showWelcome = false;
        s.findMessage = QStringLiteral("status");
        s.split.splitMode = SplitEditorMode::Clone;
        s.split.showCompareView = true;
    });
    closing().closeTab(oldID);
    ASSERT_EQ(state().tabs.size(), 1);
    EXPECT_TRUE(active().isUntitled());
    EXPECT_NE(active().id, oldID);
    EXPECT_EQ(state().activeTabID, active().id);
    EXPECT_TRUE(state().panels.showWelcome);
    EXPECT_EQ(state().split.splitMode, SplitEditorMode::Single);
    EXPECT_FALSE(state().split.showCompareView);
    EXPECT_EQ(state().findMessage, "status");
    EXPECT_FALSE(model->undoRegistry().hasUndoStack(oldID)) << "the closed tab's history is gone";
}

TEST_F(TabClose, SplitCompareAndExternalChangeQuestionsMoveOffTheClosedTab) {
    makeTabs({"A", "B"}, 0);
    model->update([&](EditorWindowState& s) {
        s.split.splitMode = SplitEditorMode::Split;
        s.split.secondaryTabID = idOf("B");
    });
    closing().closeTab(idOf("A"));
    EXPECT_EQ(activeName(), "B");
    EXPECT_EQ(state().split.secondaryTabID, std::nullopt);

    makeTabs({"A", "B", "C"}, 0);
    model->update([&](EditorWindowState& s) {
        s.split.splitMode = SplitEditorMode::Split;
        s.split.secondaryTabID = idOf("B");
        s.split.compareTabID = idOf("C");
        s.split.showCompareView = true;
        s.tabs[0].hasExternalChanges = true;
        s.tabs[2].hasExternalChanges = true;
        s.decisions.externalChangeTabID = s.tabs[0].id;
    });
    closing().closeTab(idOf("A"));
    EXPECT_EQ(activeName(), "B");
    EXPECT_EQ(state().split.secondaryTabID, idOf("C"));
    EXPECT_EQ(state().decisions.externalChangeTabID, idOf("C"));
    EXPECT_TRUE(state().split.showCompareView) << "another tab's close leaves the comparison";
    closing().closeTab(idOf("C"));
    EXPECT_FALSE(state().split.showCompareView);
    EXPECT_EQ(state().split.compareTabID, std::nullopt);
    EXPECT_EQ(state().decisions.externalChangeTabID, std::nullopt);
}

TEST_F(TabClose, AModifiedTabAsksAndEachAnswerDoesWhatItSays) {
    makeTabs({"A", "B"}, 0);
    edit("A");
    // Cancel: the tab stays.
    closing().requestCloseKeyboardTab();
    EXPECT_TRUE(state().decisions.showDiscardAlert);
    person.alertAnswers = {2};
    answerQuestions();
    ASSERT_EQ(person.alerts.size(), 1);
    // It names the document it is about.
    EXPECT_EQ(person.alerts.last().title,
              localizedString(QStringLiteral("document.close-unsaved.named.format"))
                  .arg(displayTitle(*model->tab(idOf("A")))));
    EXPECT_EQ(names().size(), 2);
    EXPECT_FALSE(state().decisions.showDiscardAlert);
    EXPECT_EQ(state().decisions.pendingCloseTabID, std::nullopt);

    // Save of an untitled tab with the panel cancelled: still open.
    closing().requestCloseKeyboardTab();
    person.alertAnswers = {0};
    answerQuestions();
    EXPECT_EQ(person.savePanels.size(), 1);
    EXPECT_EQ(names().size(), 2);

    // Save to a place: written, then closed.
    const QUrl url = QUrl::fromLocalFile(path(QStringLiteral("a.txt")));
    closing().requestCloseKeyboardTab();
    person.alertAnswers = {0};
    person.saveAnswers = {url};
    answerQuestions();
    EXPECT_EQ(readFile(url), QByteArray("A edited"));
    EXPECT_EQ(names(), (QStringList{"B"}));

    // Don't Save: closed, the text is gone.
    edit("B");
    closing().requestCloseTab(idOf("B"));
    person.alertAnswers = {1};
    answerQuestions();
    ASSERT_EQ(state().tabs.size(), 1);
    EXPECT_TRUE(active().document.text.isEmpty());
}

TEST_F(TabClose, ReadOnlyAndUnmodifiedTabsCloseWithoutAQuestion) {
    makeTabs({"A", "B"}, 0);
    model->update([](EditorWindowState& s) {
        s.tabs[0].isReadOnly = true;
        s.tabs[0].document.text = QStringLiteral("A changed but read-only");
    });
    closing().requestCloseTab(idOf("A"));
    closing().requestCloseTab(idOf("B"));
    EXPECT_FALSE(state().decisions.showDiscardAlert);
    EXPECT_TRUE(active().isUntitled());
    closing().requestCloseTab(QUuid::createUuid());
    EXPECT_FALSE(state().decisions.showDiscardAlert);
}

TEST_F(TabClose, CloseAllAsksOnlyForWritableModifiedTabs) {
    makeTabs({"A", "B"}, 0);
    model->update([](EditorWindowState& s) {
        s.tabs[0].isReadOnly = true;
        s.tabs[0].document.text = QStringLiteral("changed preview");
        s.decisions.pendingCloseTabID = s.tabs[1].id;
        s.tabs[1].hasExternalChanges = true;
        s.decisions.externalChangeTabID = s.tabs[1].id;
    });
    closing().requestCloseAllTabs();
    EXPECT_FALSE(state().decisions.showCloseAllAlert);
    ASSERT_EQ(state().tabs.size(), 1);
    EXPECT_TRUE(active().isUntitled());
    EXPECT_TRUE(state().panels.showWelcome);
    EXPECT_EQ(state().decisions.pendingCloseTabID, std::nullopt);
    EXPECT_EQ(state().decisions.externalChangeTabID, std::nullopt);
    EXPECT_EQ(state().findMessage, localizedString(QStringLiteral("command.close-all.done")));
}

TEST_F(TabClose, CloseAllAnswers) {
    makeTabs({"A", "B"}, 1);
    edit("B");
    // Cancel keeps everything.
    closing().requestCloseAllTabs();
    person.alertAnswers = {2};
    answerQuestions();
    EXPECT_EQ(names().size(), 2);
    EXPECT_FALSE(state().decisions.showCloseAllAlert);

    // Save All with the untitled tab's panel cancelled: nothing closes, the summary stays.
    closing().requestCloseAllTabs();
    person.alertAnswers = {0};
    answerQuestions();
    EXPECT_EQ(names().size(), 2);
    EXPECT_EQ(state().findMessage,
              localizedString(QStringLiteral("command.save-all.partial.format")).arg(0).arg(1));

    // Save All with a place: written, then all closed.
    const QUrl url = QUrl::fromLocalFile(path(QStringLiteral("b.txt")));
    closing().requestCloseAllTabs();
    person.alertAnswers = {0};
    person.saveAnswers = {url};
    answerQuestions();
    EXPECT_EQ(readFile(url), QByteArray("B edited"));
    ASSERT_EQ(state().tabs.size(), 1);
    EXPECT_TRUE(active().isUntitled());
    EXPECT_EQ(state().findMessage, localizedString(QStringLiteral("command.close-all.done")));

    // Don't Save closes everything.
    makeTabs({"A", "B"}, 0);
    edit("A");
    closing().requestCloseAllTabs();
    person.alertAnswers = {1};
    answerQuestions();
    ASSERT_EQ(state().tabs.size(), 1);
    EXPECT_TRUE(active().document.text.isEmpty());
}

} // namespace
} // namespace dunmoss::test
