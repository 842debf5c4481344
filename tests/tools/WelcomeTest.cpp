#include "tools/Welcome.h"
#include "support/WaitForOpening.h"
#include "NavigationFixture.h"

#include <gtest/gtest.h>

namespace dunmoss::test {
namespace {

class WelcomeActions : public NavigationFixture {};

TEST_F(WelcomeActions, EachActionHidesThePanelBeforeItsWork) {
    QStringList ran;
    bool hiddenFirst = true;
    EditorCommands record;
    for (const EditorCommandFieldInfo& info : allEditorCommandFields()) {
        const QString name = QString::fromLatin1(info.name);
        record.*(info.field) = [&, name] {
            hiddenFirst = hiddenFirst && !state().panels.showWelcome;
            ran << name;
        };
    }
    const QList<std::function<void(Welcome)>> actions = {
        [](Welcome w) { w.newDocument(); },     [](Welcome w) { w.openDocument(); },
        [](Welcome w) { w.openWorkspace(); },   [](Welcome w) { w.openCommandPalette(); },
        [](Welcome w) { w.openTextToolbox(); }, [](Welcome w) { w.closeWelcomePanel(); },
    };
    for (const auto& action : actions) {
        model->update([](EditorWindowState& s) { s.panels.showWelcome = true; });
        action(Welcome(*model, record));
        EXPECT_FALSE(state().panels.showWelcome);
    }
    EXPECT_TRUE(hiddenFirst);
    EXPECT_EQ(ran, (QStringList{"newDocument", "openDocument", "openWorkspace", "quickOpen",
                                "showTextToolbox"}));
}

TEST_F(WelcomeActions, ThroughTheWindowsOwnOperations) {
    ASSERT_TRUE(showsWelcomePanel(state()));
    // The palette opens with an empty query, whatever it held.
    model->update([](EditorWindowState& s) { s.panels.quickOpenQuery = "old"; });
    Welcome(*model, commands).openCommandPalette();
    EXPECT_TRUE(state().panels.showQuickOpen);
    EXPECT_EQ(state().panels.quickOpenQuery, "");

    // A cancelled folder panel leaves the panel hidden.
    model->update([](EditorWindowState& s) { s.panels.showWelcome = true; });
    Welcome(*model, commands).openWorkspace();
    EXPECT_EQ(person.folderPanels.size(), 1);
    EXPECT_FALSE(state().panels.showWelcome);
    EXPECT_FALSE(showsWelcomePanel(state()));

    // A recent file that is gone: the panel goes, the failure is reported.
    model->update([](EditorWindowState& s) { s.panels.showWelcome = true; });
    Welcome(*model, commands).openRecentFile(QUrl::fromLocalFile(path("gone.txt")));
    waitForOpening(*model);
    EXPECT_FALSE(state().panels.showWelcome);
    EXPECT_TRUE(state().errors.errorMessage.has_value());
    EXPECT_EQ(state().tabs.size(), 1);

    const QUrl file = writeFile("recent.txt", "r");
    Welcome(*model, commands).openRecentFile(file);
    waitForOpening(*model);
    EXPECT_EQ(active().fileURL, file);
}

TEST_F(WelcomeActions, ShownOnlyForOnePristineUntitledTab) {
    EXPECT_TRUE(showsWelcomePanel(state()));
    model->setTabText(active().id, "typed");
    EXPECT_FALSE(showsWelcomePanel(state()));
    model->setTabText(active().id, "");
    EXPECT_TRUE(showsWelcomePanel(state()));
    invokeCommand(commands, &EditorCommands::newDocument);
    EXPECT_FALSE(showsWelcomePanel(state()));
}

} // namespace
} // namespace dunmoss::test
