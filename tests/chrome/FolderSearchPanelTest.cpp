#include "search/FolderSearchPanel.h"
#include "chrome/TestWindowOptions.h"

#include "chrome/EditorWindowView.h"
#include "editor/ElidedLabel.h"
#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "search/FolderOperationRunner.h"
#include "search/SearchCenterPanel.h"
#include "search/SearchResultListModel.h"
#include "window/EditorWindowModel.h"
#include "window/EditorWindowState.h"
#include "window/WindowDerivedValues.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace dunmoss::test {
namespace {

FolderSearchResult hit(const QString& path, int line, const QString& preview) {
    return {QUuid::createUuid(), QUrl::fromLocalFile(path), line, 1, preview};
}

QString l(const char* key) {
    return localizedString(QString::fromLatin1(key));
}

// The window shown at a fixed size with the folder panel open on the folder.
void showFolderPanel(EditorWindowView& window, const QUrl& folder) {
    window.model().update([&](EditorWindowState& s) {
        s.panels.showWelcome = false;
        s.folderSearch.showFolderSearch = true;
        s.folderSearch.folderSearchURL = folder;
    });
    window.resize(1060, 720);
    window.show();
}

TEST(FolderSearchPanelLayout, ListHeightCountsHitsAndGroupsWithinOneRowAnd230) {
    EXPECT_EQ(folderSearchResultListHeight(0), 32);
    EXPECT_EQ(folderSearchResultListHeight(5), 160);
    EXPECT_EQ(folderSearchResultListHeight(11), 230);
}

TEST(FolderSearchPanelLayout, GroupsFiltersAndDisablesItsActionsWhileBusy) {
    int searches = 0;
    QList<FolderSearchResult> opened;
    FolderSearchPanelActions actions;
    actions.search = [&] { ++searches; };
    actions.openResult = [&](const FolderSearchResult& r) { opened << r; };
    FolderSearchPanel panel(actions);
    panel.resize(1000, 400);
    panel.show();

    FolderSearchState state;
    panel.refresh(state);
    EXPECT_EQ(panel.folderLabel()->text(), l("folder-search.no-folder"));
    EXPECT_FALSE(panel.resultsBlock()->isVisible());

    state.folderSearchURL = QUrl::fromLocalFile(QStringLiteral("/tmp/project/"));
    state.folderSearchResults = {hit("/tmp/project/src/a.txt", 1, "alpha"),
                                 hit("/tmp/project/src/a.txt", 4, "beta"),
                                 hit("/tmp/project/b.txt", 2, "alpha again")};
    state.folderSearchMessage = QStringLiteral("3 results");
    panel.refresh(state);
    EXPECT_TRUE(panel.resultsBlock()->isVisible());
    EXPECT_EQ(panel.folderLabel()->text(), QStringLiteral("project"));
    EXPECT_EQ(panel.visibleCountLabel()->text(),
              l("folder-search.visible-results.format").arg(3).arg(3));
    ASSERT_EQ(panel.listView()->model()->rowCount(), 5);
    const int room = panel.resultsBlock()->sizeHint().height();
    EXPECT_EQ(panel.listView()->model()->index(0, 0).data().toString(),
              QStringLiteral("src/a.txt"));
    // Clicking the last hit opens it.
    emit panel.listView()->clicked(panel.listView()->model()->index(4, 0));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].line, 2);

    panel.filterField()->setText(QStringLiteral("zzz"));
    EXPECT_TRUE(panel.noFilteredLabel()->isVisible());
    // The hits, or the word that the filter left none, fill the same room.
    EXPECT_EQ(panel.resultsBlock()->sizeHint().height(), room);
    panel.filterField()->setText(QStringLiteral("beta"));
    EXPECT_EQ(panel.visibleCountLabel()->text(),
              l("folder-search.visible-results.format").arg(1).arg(3));

    state.isFolderSearchRunning = true;
    panel.refresh(state);
    EXPECT_FALSE(panel.searchButton()->isEnabled());
    EXPECT_FALSE(panel.replaceAllButton()->isEnabled());
    EXPECT_FALSE(panel.restoreButton()->isEnabled());
    EXPECT_TRUE(panel.chooseFolderButton()->isEnabled());
    EXPECT_TRUE(panel.closeButton()->isEnabled());
    // Return in the query field still searches while busy.
    emit panel.queryField()->returnPressed();
    EXPECT_EQ(searches, 1);
}

TEST(FolderSearchPanelInWindow, TypingAndCtrlReturnSearchTheChosenFolder) {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("tree/src"));
    for (const auto& [name, text] :
         {std::pair{"tree/src/a.txt", "needle\nneedle\n"}, std::pair{"tree/b.txt", "a needle\n"}}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    Defaults defaults(dir.filePath(QStringLiteral("settings.ini")));
    EditorWindowView window(testWindowOptions(defaults));
    EditorWindowModel& model = window.model();
    showFolderPanel(window, QUrl::fromLocalFile(dir.filePath(QStringLiteral("tree"))));
    window.refreshNow();
    auto* panel = window.findChild<FolderSearchPanel*>(QStringLiteral("folderSearchPanel"));
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(panel->isVisible());

    QTest::keyClicks(panel->queryField(), QStringLiteral("needle"));
    EXPECT_EQ(model.state().folderSearch.folderSearchQuery, QStringLiteral("needle"));
    QTest::keyClick(panel->queryField(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_TRUE(model.state().folderSearch.isFolderSearchRunning);
    while (model.state().folderSearch.isFolderSearchRunning) {
        FolderOperationRunner::waitForBackgroundWork();
        QApplication::processEvents();
    }
    window.refreshNow();
    QApplication::processEvents();
    EXPECT_EQ(panel->statusLabel()->text(), "3 results in 2 files.");
    EXPECT_EQ(panel->folderLabel()->text(), QStringLiteral("tree"));
    // The search center shows the hits, so the panel lists them only once it is closed.
    EXPECT_TRUE(model.state().searchCenter.showSearchCenter);
    EXPECT_FALSE(panel->resultsBlock()->isVisible());
    model.update([](EditorWindowState& s) { s.searchCenter.showSearchCenter = false; });
    window.refreshNow();
    QApplication::processEvents();
    EXPECT_TRUE(panel->resultsBlock()->isVisible());
    ASSERT_EQ(panel->listView()->model()->rowCount(), 5);
    EXPECT_EQ(panel->listView()->model()->index(0, 0).data().toString(),
              QStringLiteral("src/a.txt"));
}

// A click meant for a field of the folder panel lands on that field whatever the results did
// since the pointer went there: arrived, filtered to nothing and back, or news of a changed
// file below. Results fill the room below the fields.
TEST(FolderSearchPanelInWindow, ItsFieldsStayUnderThePointerWhileResultsComeAndGo) {
    QTemporaryDir dir;
    QList<FolderSearchResult> hits;
    QList<SearchCenterResult> centerHits;
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("needle\n").repeated(4));
        for (int line = 1; line <= 4; ++line) {
            hits.append(hit(path, line, QStringLiteral("needle")));
            SearchCenterResult result;
            result.id = hits.last().id.toString();
            result.scope = SearchCenterScope::Folder;
            result.groupID = path;
            result.groupTitle = QString::fromLatin1(name);
            result.fileURL = QUrl::fromLocalFile(path);
            result.line = line;
            result.column = 1;
            result.preview = QStringLiteral("needle");
            centerHits.append(result);
        }
    }
    Defaults defaults(dir.filePath(QStringLiteral("settings.ini")));
    EditorWindowView window(testWindowOptions(defaults));
    EditorWindowModel& model = window.model();
    showFolderPanel(window, QUrl::fromLocalFile(dir.path()));
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const auto settle = [&] {
        window.refreshNow();
        for (int i = 0; i < 4; ++i)
            QApplication::processEvents();
    };
    settle();
    auto* panel = window.findChild<FolderSearchPanel*>(QStringLiteral("folderSearchPanel"));
    auto* center = window.findChild<SearchCenterPanel*>(QStringLiteral("searchCenterPanel"));
    ASSERT_TRUE(panel && center);
    QLineEdit* field = panel->replacementField();
    const QUuid tab = activeTab(model.state()).id;
    QPoint spot;
    // The options of the second row stay too, whatever the folder's name and status say.
    auto* option = panel->findChild<QCheckBox*>();
    ASSERT_TRUE(option);
    QPoint optionSpot;
    const auto aim = [&] {
        spot = field->mapToGlobal(field->rect().center());
        optionSpot = option->mapToGlobal(QPoint());
    };
    // A real click where the pointer stayed, with the keyboard elsewhere first.
    const auto clickAtSpot = [&](const char* after) {
        settle();
        window.setFocus();
        QWidget* target = window.childAt(window.mapFromGlobal(spot));
        ASSERT_TRUE(target) << after;
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFromGlobal(spot));
        settle();
        EXPECT_EQ(field->mapToGlobal(field->rect().center()), spot) << after;
        EXPECT_EQ(option->mapToGlobal(QPoint()), optionSpot) << after;
        EXPECT_EQ(target, field) << after << ": " << target->metaObject()->className();
        EXPECT_EQ(QApplication::focusWidget(), field) << after;
        EXPECT_EQ(activeTab(model.state()).id, tab) << after;
        EXPECT_EQ(model.state().tabs.size(), 1) << after;
    };
    // As a folder search ends: its hits, shown in the search center unless told otherwise.
    const auto arrive = [&](bool arrived, bool inCenter) {
        model.update([&](EditorWindowState& s) {
            s.folderSearch.folderSearchResults = arrived ? hits : QList<FolderSearchResult>();
            s.folderSearch.folderSearchMessage =
                arrived ? QStringLiteral("12 results in 3 files.") : QString();
            s.searchCenter.searchCenterFolderResults =
                arrived ? centerHits : QList<SearchCenterResult>();
            s.searchCenter.noteSearched(SearchCenterScope::Folder);
            s.searchCenter.searchCenterScope = SearchCenterScope::Folder;
            s.searchCenter.showSearchCenter = inCenter;
        });
    };

    aim();
    clickAtSpot("before any result");
    model.update([&](EditorWindowState& s) {
        s.folderSearch.folderSearchURL = QUrl::fromLocalFile(dir.filePath("another-folder"));
    });
    clickAtSpot("with a folder of another name chosen");
    arrive(true, true);
    clickAtSpot("once results arrived in the search center");
    center->filterField()->setText(QStringLiteral("no such text"));
    clickAtSpot("with the search center filtered to nothing");
    center->filterField()->clear();
    clickAtSpot("with its filter cleared");
    model.presentNotice(QStringLiteral("test"), QStringLiteral("a.txt changed on disk."));
    clickAtSpot("with news of a changed file");
    model.dismissNotice(QStringLiteral("test"));
    settle();

    // Without the search center the panel lists its results itself, below its fields.
    arrive(false, false);
    settle();
    aim();
    arrive(true, false);
    clickAtSpot("once results arrived in the panel");
    panel->filterField()->setText(QStringLiteral("no such text"));
    clickAtSpot("with the panel's results filtered to nothing");
    panel->filterField()->clear();
    clickAtSpot("with the panel's filter cleared");
}

TEST(FolderSearchPanelInWindow, AHitOpenedFromAListTakesTheKeyboardToItsFile) {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("tree"));
    for (const auto& [name, text] :
         {std::pair{"tree/a.txt", "one needle\n"}, std::pair{"tree/b.txt", "two needle\n"}}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    Defaults defaults(dir.filePath(QStringLiteral("settings.ini")));
    EditorWindowView window(testWindowOptions(defaults));
    EditorWindowModel& model = window.model();
    showFolderPanel(window, QUrl::fromLocalFile(dir.filePath(QStringLiteral("tree"))));
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.refreshNow();
    auto* panel = window.findChild<FolderSearchPanel*>(QStringLiteral("folderSearchPanel"));
    ASSERT_NE(panel, nullptr);
    QTest::keyClicks(panel->queryField(), QStringLiteral("needle"));
    QTest::keyClick(panel->queryField(), Qt::Key_Return, Qt::ControlModifier);
    while (model.state().folderSearch.isFolderSearchRunning) {
        FolderOperationRunner::waitForBackgroundWork();
        QApplication::processEvents();
    }
    window.refreshNow();
    QApplication::processEvents();

    const auto clickHitAndType = [&](QListView* list, const QString& fileName) {
        const QAbstractItemModel* rows = list->model();
        int row = -1;
        for (int i = 0; i < rows->rowCount() && row < 0; ++i)
            if (rows->index(i, 0).data().toString() == fileName)
                row = i + 1; // the group's first hit
        ASSERT_GE(row, 1);
        list->scrollTo(rows->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(rows->index(row, 0)).center());
        ASSERT_TRUE(QTest::qWaitFor([&] {
            const EditorTab& tab = activeTab(model.state());
            return tab.fileURL && tab.fileURL->fileName() == fileName;
        }));
        window.refreshNow();
        QApplication::processEvents();
        // The keys go where the person now looks: the opened file, at the hit's line.
        ASSERT_TRUE(QApplication::focusWidget());
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("X"));
        QApplication::processEvents();
        EXPECT_TRUE(activeTab(model.state()).document.text.contains(QLatin1Char('X')));
    };

    // A hit in the search center.
    auto* center = window.findChild<SearchCenterPanel*>();
    ASSERT_TRUE(center && center->isVisible());
    clickHitAndType(center->listView(), QStringLiteral("a.txt"));

    // A hit in the panel's own list, once the search center is closed.
    model.update([](EditorWindowState& s) { s.searchCenter.showSearchCenter = false; });
    window.refreshNow();
    QApplication::processEvents();
    ASSERT_TRUE(panel->resultsBlock()->isVisible());
    clickHitAndType(panel->listView(), QStringLiteral("b.txt"));
}

} // namespace
} // namespace dunmoss::test
