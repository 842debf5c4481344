#include "WindowFixture.h"
#include "platform/Bookmark.h"
#include "support/WaitForOpening.h"
#include "window/IncomingFiles.h"
#include "window/OpenRequestReceiver.h"

#include <QDir>
#include <QMimeData>
#include <QTest>

namespace dunmoss::test {
namespace {

class OpenRequests : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        model->seams().refreshWorkspace = [this] { ++workspaceRefreshes; };
        folder = QUrl::fromLocalFile(path(QStringLiteral("project")));
        QDir(dir.path()).mkdir(QStringLiteral("project"));
        one = writeFile(QStringLiteral("one.txt"), "one");
        two = writeFile(QStringLiteral("two.txt"), "two");
    }
    // A second window on the same settings.
    std::unique_ptr<EditorWindowModel> otherWindow() const {
        return std::make_unique<EditorWindowModel>(
            *defaults, EditorWindowModel::Options{true, {QStringLiteral("dunmoss-notepad")}, {}});
    }
    static QList<QUrl> files(const EditorWindowModel& window) {
        QList<QUrl> out;
        for (const EditorTab& tab : window.state().tabs)
            if (tab.fileURL)
                out.append(*tab.fileURL);
        return out;
    }
    static void waitForClaims(const OpenRequestReceiver& receiver) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return receiver.pendingClaimCount() == 0; }, 10'000));
    }
    QByteArray storedBookmark() const {
        return defaults->data(IncomingFiles::kWorkspaceRootBookmarkKey).value_or(QByteArray());
    }

    NotificationBus bus;
    QUrl folder, one, two;
    int workspaceRefreshes = 0;
};

TEST_F(OpenRequests, AFolderBecomesTheWorkspaceAndFilesOpenInOrder) {
    IncomingFiles(*model).openURLs({folder, one, two});
    waitForOpening(*model);
    EXPECT_EQ(state().workspace.workspaceRootURL, folder);
    EXPECT_TRUE(state().workspace.showWorkspace);
    EXPECT_EQ(workspaceRefreshes, 1);
    const std::optional<ResolvedBookmark> bookmark = resolveBookmark(storedBookmark());
    ASSERT_TRUE(bookmark.has_value());
    EXPECT_EQ(bookmark->path, folder.toLocalFile());
    EXPECT_EQ(files(*model), (QList<QUrl>{one, two}));
    EXPECT_EQ(active().fileURL, two);
    EXPECT_FALSE(state().panels.showWelcome);
    EXPECT_EQ(sessionSaves, 1);
}

TEST_F(OpenRequests, APathThatCannotBeOpenedIsReportedAndChangesNothingElse) {
    IncomingFiles(*model).openURLs({QUrl::fromLocalFile(path(QStringLiteral("missing.txt")))});
    waitForOpening(*model);
    ASSERT_TRUE(state().errors.errorMessage.has_value());
    EXPECT_TRUE(state().errors.errorMessage->contains(QStringLiteral("missing.txt")));
    EXPECT_TRUE(state().panels.showWelcome);
    EXPECT_TRUE(files(*model).isEmpty());
    EXPECT_EQ(sessionSaves, 0);
}

TEST_F(OpenRequests, DropsOpenFilesAndSetAFolderForThisRunOnly) {
    const QByteArray earlier = makeBookmark(dir.path());
    defaults->setValue(IncomingFiles::kWorkspaceRootBookmarkKey, earlier);
    IncomingFiles(*model).openDroppedURL(folder);
    EXPECT_EQ(state().workspace.workspaceRootURL, folder);
    EXPECT_TRUE(state().workspace.showWorkspace);
    EXPECT_EQ(storedBookmark(), earlier) << "a dropped folder's bookmark is not stored";
    IncomingFiles(*model).openDroppedURL(one);
    waitForOpening(*model);
    EXPECT_EQ(active().fileURL, one);

    QMimeData text;
    text.setText(QStringLiteral("just text"));
    EXPECT_TRUE(IncomingFiles::droppedFileURLs(text).isEmpty());
    QMimeData both;
    both.setUrls({QUrl(QStringLiteral("https://example.org/a.txt")), two});
    EXPECT_EQ(IncomingFiles::droppedFileURLs(both), QList<QUrl>{two});
}

TEST_F(OpenRequests, ADropOrARequestOfManyFilesSavesTheSessionOnceAtItsEnd) {
    const int before = sessionSaves;
    IncomingFiles(*model).openDroppedURLs({one, two, folder});
    waitForOpening(*model);
    EXPECT_EQ(files(*model), (QList<QUrl>{one, two}));
    EXPECT_EQ(sessionSaves, before + 1);
    model->update([](EditorWindowState& s) { s.tabs = {untitledTab()}; });
    IncomingFiles(*model).openURLs({two, one});
    waitForOpening(*model);
    EXPECT_EQ(sessionSaves, before + 2);
}

TEST_F(OpenRequests, TheActiveWindowClaimsAtOnceAndTheOtherOpensNothing) {
    const auto second = otherWindow();
    OpenRequestReceiver key(
        *model, [] { return true; }, bus);
    OpenRequestReceiver other(
        *second, [] { return false; }, bus);
    key.startListening();
    other.startListening();
    bus.postOpenURLRequest({one, two});
    waitForOpening(*model);
    EXPECT_EQ(files(*model), (QList<QUrl>{one, two}));
    waitForClaims(other);
    EXPECT_TRUE(files(*second).isEmpty());
    EXPECT_TRUE(bus.unclaimedOpenURLRequests().isEmpty());
}

TEST_F(OpenRequests, WithoutAnActiveWindowExactlyOneWindowClaimsAfterTheWait) {
    const auto second = otherWindow();
    OpenRequestReceiver first(
        *model, [] { return false; }, bus);
    OpenRequestReceiver other(
        *second, [] { return false; }, bus);
    first.startListening();
    other.startListening();
    bus.postOpenURLRequest({one});
    EXPECT_TRUE(files(*model).isEmpty() && files(*second).isEmpty()) << "nobody claims at once";
    waitForClaims(first);
    waitForClaims(other);
    waitForOpening(*model);
    waitForOpening(*second);
    EXPECT_EQ(files(*model).size() + files(*second).size(), 1);
}

TEST_F(OpenRequests, AWindowClosingDuringTheWaitLeavesTheRequestToTheNextWindow) {
    const auto second = otherWindow();
    OpenRequestReceiver closing(
        *model, [] { return false; }, bus);
    auto destroyed = std::make_unique<OpenRequestReceiver>(
        *second, [] { return false; }, bus);
    closing.startListening();
    destroyed->startListening();
    bus.postOpenURLRequest({one, two});
    ASSERT_EQ(closing.pendingClaimCount(), 1);
    // One window closes, the other goes away altogether, both during the wait.
    closing.stopListening();
    destroyed.reset();
    QTest::qWait(OpenRequestReceiver::kClaimDelayMs * 2);
    EXPECT_TRUE(files(*model).isEmpty() && files(*second).isEmpty());
    ASSERT_EQ(bus.unclaimedOpenURLRequests().size(), 1);

    const auto next = otherWindow();
    OpenRequestReceiver receiver(
        *next, [] { return false; }, bus);
    receiver.startListening();
    waitForOpening(*next);
    EXPECT_EQ(files(*next), (QList<QUrl>{one, two}));
    EXPECT_TRUE(bus.unclaimedOpenURLRequests().isEmpty());
}

TEST_F(OpenRequests, RequestsBeforeAnyWindowStartedOpenAfterItsRestore) {
    OpenRequestReceiver receiver(
        *model, [] { return true; }, bus);
    bus.postOpenURLRequest({one});
    EXPECT_TRUE(files(*model).isEmpty()) << "a window still starting does not take it";
    // The start-up restores a session, which replaces the tabs.
    EditorTab restored = untitledTab();
    restored.document.text = QStringLiteral("draft from the session");
    model->update([&](EditorWindowState& s) { s.tabs = {restored}; });
    receiver.startListening();
    waitForOpening(*model);
    ASSERT_EQ(state().tabs.size(), 2);
    EXPECT_EQ(state().tabs.first().document.text, QStringLiteral("draft from the session"));
    EXPECT_EQ(active().fileURL, one);
    // Claimed once for good: another window starting later opens nothing.
    const auto later = otherWindow();
    OpenRequestReceiver laterReceiver(
        *later, [] { return true; }, bus);
    laterReceiver.startListening();
    waitForOpening(*later);
    EXPECT_TRUE(files(*later).isEmpty());
}

TEST_F(OpenRequests, APlainListOpensInEveryListeningWindow) {
    const auto second = otherWindow();
    OpenRequestReceiver first(
        *model, [] { return false; }, bus);
    OpenRequestReceiver other(
        *second, [] { return false; }, bus);
    first.startListening();
    other.startListening();
    bus.postOpenURLList({one});
    waitForOpening(*model);
    waitForOpening(*second);
    EXPECT_EQ(files(*model), QList<QUrl>{one});
    EXPECT_EQ(files(*second), QList<QUrl>{one});
}

} // namespace
} // namespace dunmoss::test
