#include "tools/PanelChrome.h"

#include <QComboBox>
#include <QSignalSpy>
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
