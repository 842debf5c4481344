#include "window/TabStripItems.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

EditorTab fileTab(const QString& name) {
    EditorTab tab = untitledTab();
    tab.fileURL = QUrl::fromLocalFile(QStringLiteral("/tmp/feed/") + name);
    tab.document.text = name;
    tab.savedSnapshot = name;
    return tab;
}

} // namespace

TEST(TabStripItemFeed, ReportsOnlyTheTabsThatChanged) {
    QList<EditorTab> tabs;
    for (int i = 0; i < 6; ++i)
        tabs.append(fileTab(QStringLiteral("f%1.txt").arg(i)));
    TabStripItemFeed feed;
    TabStripItemFeed::Change change = feed.update(tabs, tabs[0].id);
    EXPECT_TRUE(change.reordered);
    EXPECT_EQ(change.retitled.size(), 6);

    // Nothing changed.
    EXPECT_TRUE(feed.update(tabs, tabs[0].id).isEmpty());

    // A keystroke marks one tab.
    tabs[3].document.text += QStringLiteral("x");
    change = feed.update(tabs, tabs[0].id);
    EXPECT_FALSE(change.reordered);
    EXPECT_EQ(change.changed, QList<qsizetype>{3});
    EXPECT_TRUE(change.retitled.isEmpty());
    EXPECT_EQ(feed.items()[3].symbolName, QStringLiteral("circle.fill"));
    // The next keystroke in the same tab changes nothing the strip shows.
    tabs[3].document.text += QStringLiteral("y");
    EXPECT_TRUE(feed.update(tabs, tabs[0].id).isEmpty());

    // Switching moves the highlight between two tabs.
    change = feed.update(tabs, tabs[4].id);
    EXPECT_EQ(change.changed, (QList<qsizetype>{0, 4}));

    // Save As under another name gives that tab a new title.
    tabs[2].fileURL = QUrl::fromLocalFile(QStringLiteral("/tmp/elsewhere/renamed.txt"));
    change = feed.update(tabs, tabs[4].id);
    EXPECT_EQ(change.changed, QList<qsizetype>{2});
    EXPECT_EQ(change.retitled, QList<qsizetype>{2});
    EXPECT_EQ(feed.items()[2].title, QStringLiteral("renamed.txt"));

    // Closing one tab and opening another: only the new tab's title is worked out.
    tabs.removeAt(1);
    tabs.append(fileTab(QStringLiteral("new.txt")));
    change = feed.update(tabs, tabs.last().id);
    EXPECT_TRUE(change.reordered);
    EXPECT_EQ(change.retitled, QList<qsizetype>{5});
    EXPECT_EQ(feed.items(), tabStripItems(tabs, tabs.last().id));
}

// Whatever happens to the tabs, the items are those derived from the tabs afresh.
TEST(TabStripItemFeed, FollowsRandomChangesLikeAFreshDerivation) {
    QRandomGenerator random(25);
    QList<EditorTab> tabs;
    for (int i = 0; i < 20; ++i)
        tabs.append(i % 5 ? fileTab(QStringLiteral("t%1.txt").arg(i)) : untitledTab());
    QUuid active = tabs[0].id;
    TabStripItemFeed feed;
    int opened = 0;
    for (int step = 0; step < 400; ++step) {
        const int index = int(random.bounded(qMax<qsizetype>(tabs.size(), 1)));
        switch (random.bounded(8)) {
        case 0:
            tabs.insert(index, fileTab(QStringLiteral("o%1.txt").arg(opened++)));
            break;
        case 1:
            if (tabs.size() > 1)
                tabs.removeAt(index);
            break;
        case 2:
            tabs.move(index, int(random.bounded(tabs.size())));
            break;
        case 3:
            tabs[index].document.text += QStringLiteral("k");
            break;
        case 4:
            tabs[index].savedSnapshot = tabs[index].document.text;
            break;
        case 5:
            tabs[index].fileURL =
                QUrl::fromLocalFile(QStringLiteral("/tmp/s/%1.md").arg(random.bounded(5)));
            break;
        case 6:
            tabs[index].isReadOnly = !tabs[index].isReadOnly;
            break;
        default:
            active = random.bounded(10) ? tabs[index].id : QUuid::createUuid();
            break;
        }
        const QList<TabStripItem> before = feed.items();
        const TabStripItemFeed::Change change = feed.update(tabs, active);
        const QList<TabStripItem> expected = tabStripItems(tabs, active);
        ASSERT_EQ(feed.items(), expected) << "step " << step;
        if (!change.reordered)
            for (qsizetype i = 0; i < expected.size(); ++i)
                ASSERT_EQ(change.changed.contains(i), expected[i] != before[i]) << "step " << step;
    }
}
