#include "tools/PanelChrome.h"

#include <QComboBox>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

EditorTab fileTab(const QString& name) {
    EditorTab tab = untitledTab();
    tab.fileURL = QUrl::fromLocalFile(QStringLiteral("/tmp/picker/") + name);
    return tab;
}

QStringList entryTitles(const QComboBox& picker) {
    QStringList titles;
    for (int i = 0; i < picker.count(); ++i)
        titles << picker.itemText(i);
    return titles;
}

} // namespace

TEST(TabPickerEntries, FollowTheTabsAndTheSelectionQuietly) {
    QComboBox picker;
    QSignalSpy changes(&picker, &QComboBox::currentIndexChanged);
    TabPickerEntries entries;
    QList<EditorTab> tabs{fileTab("a.txt"), untitledTab(), fileTab("c.txt")};
    entries.update(&picker, tabs, tabs[2].id);
    EXPECT_EQ(
        entryTitles(picker),
        (QStringList{"a.txt", localizedString(QStringLiteral("document.untitled")), "c.txt"}));
    EXPECT_EQ(picker.itemData(1).toUuid(), tabs[1].id);
    EXPECT_EQ(picker.currentIndex(), 2);

    // Typing changes no entry; a rename changes one; the selection follows the identifier.
    tabs[0].document.text = QStringLiteral("typed");
    tabs[1].fileURL = QUrl::fromLocalFile(QStringLiteral("/tmp/saved-as.txt"));
    entries.update(&picker, tabs, tabs[1].id);
    EXPECT_EQ(entryTitles(picker), (QStringList{"a.txt", "saved-as.txt", "c.txt"}));
    EXPECT_EQ(picker.currentIndex(), 1);

    // A closed tab's entry goes; the person's own choice in the picker is corrected.
    tabs.removeAt(0);
    picker.setCurrentIndex(0);
    entries.update(&picker, tabs, tabs[1].id);
    EXPECT_EQ(entryTitles(picker), (QStringList{"saved-as.txt", "c.txt"}));
    EXPECT_EQ(picker.currentData().toUuid(), tabs[1].id);
    entries.update(&picker, tabs, QUuid::createUuid());
    EXPECT_EQ(picker.currentIndex(), -1);
    // Only the person's own choice above was signalled.
    EXPECT_EQ(changes.count(), 1);
}

TEST(TabPickerEntries, ATabOpenedClosedOrMovedAmongManyRemakesOnlyTheEntriesThatMoved) {
    QComboBox picker;
    TabPickerEntries entries;
    QList<EditorTab> tabs;
    for (int i = 0; i < 50; ++i)
        tabs.append(fileTab(QStringLiteral("%1.txt").arg(i)));
    entries.update(&picker, tabs, tabs[20].id);
    const auto* model = qobject_cast<QStandardItemModel*>(picker.model());
    ASSERT_TRUE(model);
    const auto entryItems = [&] {
        QList<const QStandardItem*> items;
        for (int i = 0; i < picker.count(); ++i)
            items.append(model->item(i));
        return items;
    };
    const auto expectEntriesOf = [&](const QList<EditorTab>& shown, const QUuid& selected) {
        ASSERT_EQ(picker.count(), shown.size());
        for (int i = 0; i < picker.count(); ++i) {
            EXPECT_EQ(picker.itemData(i).toUuid(), shown[i].id) << i;
            EXPECT_EQ(picker.itemText(i), shown[i].fileURL->fileName()) << i;
        }
        EXPECT_EQ(picker.currentData().toUuid(), selected);
    };
    QList<const QStandardItem*> before = entryItems();

    // One tab opened in the middle, and one renamed before it at the same time.
    tabs.insert(10, fileTab(QStringLiteral("new.txt")));
    tabs[3].fileURL = QUrl::fromLocalFile(QStringLiteral("/tmp/picker/renamed.txt"));
    entries.update(&picker, tabs, tabs[10].id);
    expectEntriesOf(tabs, tabs[10].id);
    QList<const QStandardItem*> after = entryItems();
    EXPECT_EQ(after.mid(0, 10), before.mid(0, 10));
    EXPECT_EQ(after.mid(11), before.mid(10));

    // One closed.
    before = after;
    tabs.removeAt(30);
    entries.update(&picker, tabs, tabs[10].id);
    expectEntriesOf(tabs, tabs[10].id);
    after = entryItems();
    EXPECT_EQ(after.mid(0, 30), before.mid(0, 30));
    EXPECT_EQ(after.mid(30), before.mid(31));

    // Two moved, the first and the last gone, one added at the end.
    tabs.swapItemsAt(5, 40);
    tabs.removeFirst();
    tabs.removeLast();
    tabs.append(fileTab(QStringLiteral("last.txt")));
    entries.update(&picker, tabs, tabs[39].id);
    expectEntriesOf(tabs, tabs[39].id);

    // Entries put there by someone else are all made again.
    picker.addItem(QStringLiteral("stray"));
    entries.update(&picker, tabs, tabs[0].id);
    expectEntriesOf(tabs, tabs[0].id);
    picker.clear();
    entries.update(&picker, tabs, tabs[1].id);
    expectEntriesOf(tabs, tabs[1].id);
}
