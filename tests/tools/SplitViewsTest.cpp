#include "tools/SplitViews.h"
#include "PanelFixture.h"

namespace dunmoss::test {
namespace {

class SplitViewsTest : public PanelFixture {
protected:
    SplitViews split() { return SplitViews(*model); }
    std::optional<QUuid> secondTab() const {
        const std::optional<int> index = secondaryTabIndex(state());
        return index ? std::optional(state().tabs.at(*index).id) : std::nullopt;
    }
};

TEST_F(SplitViewsTest, SplitNeverShowsTheActiveTabWhileAnotherExists) {
    const QList<QUuid> ids = setTabs({{"a.txt", "a"}, {"b.txt", "b"}, {"c.txt", "c"}});
    split().openSplitView();
    EXPECT_EQ(state().split.splitMode, SplitEditorMode::Split);
    EXPECT_EQ(secondTab(), ids[1]);
    EXPECT_EQ(state().findMessage, text("tools.split-view.enabled"));

    // Picking the active tab stores the first other tab instead.
    split().chooseSecondaryTab(ids[0]);
    EXPECT_EQ(state().split.secondaryTabID, ids[1]);
    split().chooseSecondaryTab(ids[2]);
    EXPECT_EQ(secondTab(), ids[2]);
    // Activating the tab of the second pane moves the pane to the first other tab.
    activate(ids[2]);
    EXPECT_EQ(secondTab(), ids[0]);
    closeTab(ids[0]);
    EXPECT_EQ(secondTab(), ids[1]);
    EXPECT_EQ(state().split.splitMode, SplitEditorMode::Split);
}

TEST_F(SplitViewsTest, CloneFollowsTheActiveTabAndCloseIsSilentWithoutASecondPane) {
    const QList<QUuid> ids = setTabs({{"a.txt", "a"}, {"b.txt", "b"}});
    split().cloneActiveView();
    EXPECT_EQ(state().split.splitMode, SplitEditorMode::Clone);
    EXPECT_EQ(secondTab(), ids[0]);
    EXPECT_EQ(state().findMessage, text("tools.clone-view.enabled"));
    activate(ids[1]);
    EXPECT_EQ(secondTab(), ids[1]);

    split().closeSplitView();
    EXPECT_FALSE(secondTab());
    EXPECT_FALSE(state().split.secondaryTabID);
    EXPECT_EQ(state().findMessage, text("tools.split-view.closed"));
    model->setFindMessage(QStringLiteral("kept"));
    split().closeSplitView();
    EXPECT_EQ(state().findMessage, QStringLiteral("kept"));

    // One tab: a split stores the active tab and shows it again.
    closeTab(ids[0]);
    split().openSplitView();
    EXPECT_EQ(state().split.secondaryTabID, ids[1]);
    EXPECT_EQ(secondTab(), ids[1]);
}

} // namespace
} // namespace dunmoss::test
