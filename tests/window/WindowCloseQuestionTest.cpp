#include "window/WindowCloseQuestion.h"
#include "WindowFixture.h"
#include "support/WaitForOpening.h"
#include "window/DocumentOpening.h"

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

// A window with no session store attached: nothing keeps drafts across a close.
class CloseQuestion : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        model->seams().persistSession = nullptr;
        model->seams().persistSessionAndWait = nullptr;
    }
    // Asks and records the answer; nullopt while no answer came.
    std::optional<bool> ask() {
        std::optional<bool> mayClose;
        askBeforeClosing(*model, [&mayClose](bool answer) { mayClose = answer; });
        written();
        return mayClose;
    }
    void editActive(const QString& text) { model->setTabText(active().id, text); }
};

} // namespace

TEST_F(CloseQuestion, OnlyUnsavedEditsWithoutASessionStoreNeedAQuestion) {
    EXPECT_FALSE(closingLosesUnsavedWork(*model)); // the pristine untitled tab
    const QUrl url = writeFile(QStringLiteral("a.txt"), "saved");
    model->opening().openDocument(url);
    waitForOpening(*model);
    EXPECT_FALSE(closingLosesUnsavedWork(*model));
    editActive(QStringLiteral("edited"));
    EXPECT_EQ(unsavedTabCount(state()), 1);
    EXPECT_TRUE(closingLosesUnsavedWork(*model));
    // A session store keeps the drafts: no question.
    model->seams().persistSessionAndWait = [] { return QStringList(); };
    EXPECT_FALSE(closingLosesUnsavedWork(*model));
}

TEST_F(CloseQuestion, DiscardClosesAndCancelKeepsEverything) {
    const QUrl url = writeFile(QStringLiteral("a.txt"), "saved");
    model->opening().openDocument(url);
    waitForOpening(*model);
    editActive(QStringLiteral("edited"));

    person.alertAnswers = {2};
    EXPECT_EQ(ask(), std::optional<bool>(false));
    ASSERT_EQ(person.alerts.size(), 1);
    EXPECT_EQ(person.alerts.first().buttons.size(), 3);
    EXPECT_TRUE(person.alerts.first().message.contains(QLatin1Char('1')));
    person.alertAnswers = {-1}; // dismissed without a button
    EXPECT_EQ(ask(), std::optional<bool>(false));
    EXPECT_EQ(active().document.text, QStringLiteral("edited"));

    person.alertAnswers = {1};
    EXPECT_EQ(ask(), std::optional<bool>(true));
    EXPECT_EQ(readFile(url), QByteArray("saved")); // nothing written
}

TEST_F(CloseQuestion, SaveAllClosesOnlyWhenNothingIsLeftUnsaved) {
    const QUrl url = writeFile(QStringLiteral("a.txt"), "saved");
    model->opening().openDocument(url);
    waitForOpening(*model);
    editActive(QStringLiteral("edited"));
    person.alertAnswers = {0};
    EXPECT_EQ(ask(), std::optional<bool>(true));
    EXPECT_EQ(readFile(url), QByteArray("edited"));

    // An untitled draft whose save panel is cancelled keeps the window open.
    model->update([](EditorWindowState& s) {
        EditorTab draft = untitledTab();
        draft.document.text = QStringLiteral("draft");
        s.activeTabID = draft.id;
        s.tabs.append(draft);
    });
    person.alertAnswers = {0};
    EXPECT_EQ(ask(), std::optional<bool>(false));
    EXPECT_EQ(person.savePanels.size(), 1);
    EXPECT_EQ(unsavedTabCount(state()), 1);
}

TEST_F(CloseQuestion, NobodyToAskKeepsTheWindow) {
    editActive(QStringLiteral("typed"));
    model->setInteraction(nullptr);
    EXPECT_EQ(ask(), std::optional<bool>(false));
}
