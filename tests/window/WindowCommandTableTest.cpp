#include "window/WindowCommandTable.h"
#include "WindowFixture.h"
#include "support/WaitForOpening.h"
#include "window/DocumentOpening.h"

#include <QPrinter>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

class CommandTable : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        table = std::make_unique<WindowCommandTable>(*model);
    }
    std::unique_ptr<WindowCommandTable> table;
};

} // namespace

TEST_F(CommandTable, RecordFillsEveryFieldAndRunsNothingWhenBuilt) {
    const int tabs = int(state().tabs.size());
    const EditorCommands record = table->makeWindowCommands();
    for (const auto& info : allEditorCommandFields())
        EXPECT_TRUE(bool(record.*(info.field))) << info.name;
    EXPECT_EQ(state().tabs.size(), tabs);
    EXPECT_EQ(sessionSaves, 0);
}

TEST_F(CommandTable, NewDocumentAddsOneActiveUntitledTab) {
    model->setFindMessage(QStringLiteral("old status"));
    table->makeWindowCommands().newDocument();
    ASSERT_EQ(state().tabs.size(), 2);
    const EditorTab& added = state().tabs.last();
    EXPECT_EQ(state().activeTabID, added.id);
    EXPECT_TRUE(added.isUntitled());
    EXPECT_FALSE(state().panels.showWelcome);
    EXPECT_TRUE(state().findMessage.isEmpty());
    EXPECT_EQ(sessionSaves, 1);
}

TEST_F(CommandTable, SelectTabClearsTheFindResults) {
    table->newDocument();
    const QUuid first = state().tabs.first().id;
    model->update([](EditorWindowState& s) {
        s.findMessage = QStringLiteral("3 matches");
        s.find.findResultsTotalCount = 3;
        s.find.findResults.append(TextSearchResult{});
        s.find.showFindResults = true;
    });
    table->selectTab(first);
    EXPECT_EQ(state().activeTabID, first);
    EXPECT_TRUE(state().findMessage.isEmpty());
    EXPECT_TRUE(state().find.findResults.isEmpty());
    EXPECT_EQ(state().find.findResultsTotalCount, 0);
    EXPECT_FALSE(state().find.showFindResults);
}

TEST_F(CommandTable, LaterHandlersAreFoundWhenTheCommandRuns) {
    const EditorCommands record = table->makeWindowCommands();
    // Nothing installed yet: the command does nothing and claims nothing.
    record.toggleBookmark();
    EXPECT_TRUE(state().findMessage.isEmpty());
    int bookmarks = 0;
    table->handlers().toggleBookmark = [&] { ++bookmarks; };
    record.toggleBookmark();
    EXPECT_EQ(bookmarks, 1);
}

TEST_F(CommandTable, SaveAndSaveAsRunTheWindowsSaving) {
    const QUrl url = writeFile(QStringLiteral("a.txt"), "old");
    model->opening().openDocument(url);
    waitForOpening(*model);
    model->setTabText(activeTab(state()).id, QStringLiteral("new"));
    const EditorCommands record = table->makeWindowCommands();
    record.saveDocument();
    written();
    EXPECT_EQ(readFile(url), QByteArray("new"));
    const QUrl copy = QUrl::fromLocalFile(path(QStringLiteral("copy.txt")));
    person.saveAnswers.push_back(copy);
    record.saveDocumentAs();
    written();
    EXPECT_EQ(readFile(copy), QByteArray("new"));
    EXPECT_EQ(activeTab(state()).fileURL, copy);
}

TEST_F(CommandTable, AlwaysOnTopToggleReportsEachState) {
    const bool before = model->settings().alwaysOnTopEnabled();
    const EditorCommands record = table->makeWindowCommands();
    record.toggleAlwaysOnTop();
    EXPECT_EQ(state().findMessage,
              localizedString(before ? QStringLiteral("window.always-on-top.disabled")
                                     : QStringLiteral("window.always-on-top.enabled")));
    record.toggleAlwaysOnTop();
    EXPECT_EQ(state().findMessage,
              localizedString(before ? QStringLiteral("window.always-on-top.enabled")
                                     : QStringLiteral("window.always-on-top.disabled")));
    EXPECT_EQ(model->settings().alwaysOnTopEnabled(), before);
    const bool wrap = model->settings().wordWrapEnabled();
    record.toggleWordWrap();
    EXPECT_EQ(model->settings().wordWrapEnabled(), !wrap);
    record.toggleInvisibles();
    EXPECT_TRUE(model->settings().showInvisiblesEnabled());
}

TEST_F(CommandTable, ClosuresOutlivingTheirWindowDoNothing) {
    const EditorCommands record = table->makeWindowCommands();
    table.reset();
    model.reset();
    record.newDocument();
    record.saveDocument();
    record.toggleBookmark();
}
