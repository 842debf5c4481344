#include "window/TabStripItems.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <tuple>

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
    // The stretch made again reaches from the closed tab to the new one; the highlight moved
    // within it, so nothing outside it changed.
    EXPECT_EQ(change.at, 1);
    EXPECT_EQ(change.removed, 5);
    EXPECT_EQ(change.inserted, 5);
    EXPECT_TRUE(change.changed.isEmpty());

    // A new tab among the others is a stretch of one; a tab moved to the end is the stretch
    // between its two places, and keeps its title.
    tabs.insert(2, fileTab(QStringLiteral("among.txt")));
    change = feed.update(tabs, tabs.last().id);
    EXPECT_EQ(std::tuple(change.at, change.removed, change.inserted), std::tuple(2, 0, 1));
    EXPECT_EQ(change.retitled, QList<qsizetype>{2});
    EXPECT_TRUE(change.changed.isEmpty());
    tabs.move(0, tabs.size() - 1);
    change = feed.update(tabs, tabs.last().id);
    EXPECT_EQ(std::tuple(change.at, change.removed, change.inserted), std::tuple(0, 7, 7));
    EXPECT_TRUE(change.retitled.isEmpty());
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
        // Outside the stretch said to be made again, each item stands for the tab it stood for
        // (moved by the difference), and those said to have changed are those that did.
        const qsizetype at = change.reordered ? change.at : expected.size();
        const qsizetype shift = change.inserted - change.removed;
        ASSERT_EQ(before.size() + shift, expected.size()) << "step " << step;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            if (i >= at && i < at + change.inserted)
                continue;
            const TabStripItem& old = before[i < at ? i : i - shift];
            ASSERT_EQ(old.id, expected[i].id) << "step " << step;
            ASSERT_EQ(change.changed.contains(i), expected[i] != old) << "step " << step;
        }
    }
}
