#include "FindFixture.h"
#include "support/WaitForOpening.h"

#include "search/SearchCenterResults.h"
#include "search/SearchCenterRows.h"
#include "search/SearchCenterRunStore.h"
#include "search/SearchResultListModel.h"
#include "session/SessionWriter.h"
#include "window/DocumentReloading.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QSignalSpy>

namespace dunmoss::test {
namespace {

class SearchCenterTest : public FindFixture {
protected:
    static SearchCenterResult hit(const QString& group, const QString& preview, qsizetype line = 1,
                                  qsizetype column = 1) {
        SearchCenterResult r;
        r.id = group + QLatin1Char(':') + QString::number(line);
        r.groupID = group;
        r.groupTitle = group;
        r.line = line;
        r.column = column;
        r.preview = preview;
        return r;
    }
    QList<SearchCenterResult> results(int count, const QString& prefix) {
        QList<SearchCenterResult> list;
        for (int i = 0; i < count; ++i)
            list << hit(prefix, QStringLiteral("p"), i + 1);
        return list;
    }
    const QList<SearchCenterRun>& runs() const { return state().searchCenter.searchCenterRuns; }
    int runWrites() {
        SessionWriter::shared().waitUntilIdle();
        QCoreApplication::processEvents();
        return SessionWriter::shared().writeCount(searchCenterRunsPath(*defaults));
    }
};

TEST_F(SearchCenterTest, DocumentBuildersNameTheGroupAfterTheTabOrItsIdentifier) {
    type(QStringLiteral("x x"));
    const QList<TextSearchResult> matches =
        findAllMatches(QStringLiteral("x"), active().document.text, {}).results;
    const QList<SearchCenterResult> untitled = currentDocumentSearchCenterResults(state(), matches);
    ASSERT_EQ(untitled.size(), 2);
    const QString tabText = active().id.toString(QUuid::WithoutBraces).toUpper();
    EXPECT_EQ(untitled[1].id, QStringLiteral("current:") + tabText + QStringLiteral(":2:1:1:3"));
    EXPECT_EQ(untitled[0].groupID, tabText);
    EXPECT_EQ(untitled[0].groupTitle, l("document.untitled"));
    EXPECT_EQ(untitled[0].groupSubtitle, l("document.local-draft"));
    EXPECT_FALSE(untitled[0].fileURL.has_value());

    // Two spellings of one file share a group; a hit in a closed tab keeps only its identifier.
    model->update([&](EditorWindowState& s) {
        s.tabs[0].fileURL = QUrl::fromLocalFile(QStringLiteral("/a/./b.txt"));
    });
    const QList<SearchCenterResult> titled = currentDocumentSearchCenterResults(state(), matches);
    EXPECT_EQ(titled[0].groupID, QStringLiteral("/a/b.txt"));
    EXPECT_EQ(titled[0].groupTitle, QStringLiteral("b.txt"));
    EXPECT_EQ(titled[0].groupSubtitle, QStringLiteral("/a/."));
    OpenDocumentSearchResult open{
        QUuid::createUuid(),  active().id, QStringLiteral("b.txt"), {0, 1}, 1, 1,
        QStringLiteral("x x")};
    EXPECT_EQ(openDocumentSearchCenterResult(state(), open).groupID, QStringLiteral("/a/b.txt"));
    open.tabID = QUuid::createUuid();
    const SearchCenterResult closed = openDocumentSearchCenterResult(state(), open);
    EXPECT_EQ(closed.groupID, open.tabID.toString(QUuid::WithoutBraces).toUpper());
    EXPECT_TRUE(closed.groupSubtitle.isEmpty());
    EXPECT_FALSE(closed.fileURL.has_value());
    EXPECT_EQ(closed.id, QStringLiteral("open:") +
                             open.tabID.toString(QUuid::WithoutBraces).toUpper() +
                             QStringLiteral(":0:1:1:1"));
    // The list builder gives each hit what the one-hit builder gives, tab after tab.
    OpenDocumentSearchResult later = open;
    later.tabID = active().id;
    later.range = {2, 1};
    later.column = 3;
    const QList<OpenDocumentSearchResult> hits{later, open, later};
    const QList<SearchCenterResult> listed = openDocumentSearchCenterResults(state(), hits);
    ASSERT_EQ(listed.size(), 3);
    for (qsizetype i = 0; i < hits.size(); ++i)
        EXPECT_EQ(listed[i], openDocumentSearchCenterResult(state(), hits[i])) << i;
    EXPECT_EQ(listed[0].id, QStringLiteral("open:") + tabText + QStringLiteral(":2:1:1:3"));
    center().openSearchCenterResult(closed);
    EXPECT_TRUE(state().findMessage.isEmpty()); // opening a result of a closed tab does nothing
}

TEST_F(SearchCenterTest, IdentifiersComeFromTheHitSoHitsBeforeAnEditKeepThem) {
    type(QStringLiteral("key one\nkey two"));
    query(QStringLiteral("key"));
    find().findAllInActiveTab();
    const QList<SearchCenterResult> before = state().searchCenter.searchCenterDocumentResults;
    // An edit after the first hit moves only the second; searching again reuses identifiers.
    model->setTabText(active().id, QStringLiteral("key one!\nkey two"));
    waitForLists();
    const QList<SearchCenterResult> after = state().searchCenter.searchCenterDocumentResults;
    ASSERT_EQ(after.size(), 2);
    EXPECT_EQ(after[0].id, before[0].id);
    EXPECT_NE(after[1].id, before[1].id);
    EXPECT_EQ(after[1].line, 2);
    // Folder hits on one line and column stay apart by their preview.
    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/r/f.txt"));
    const QList<SearchCenterResult> folder =
        folderSearchCenterResults({{QUuid::createUuid(), file, 3, 2, QStringLiteral("a")},
                                   {QUuid::createUuid(), file, 3, 2, QStringLiteral("b")}},
                                  QUrl::fromLocalFile(QStringLiteral("/r")));
    EXPECT_EQ(folder[0].id, QStringLiteral("folder:/r/f.txt:3:2:a"));
    EXPECT_NE(folder[0].id, folder[1].id);
    EXPECT_EQ(folder[0].groupTitle, QStringLiteral("f.txt"));
    EXPECT_FALSE(folder[0].range.has_value());
}

TEST_F(SearchCenterTest, RelativePathsNeedTheFileInsideTheRoot) {
    const auto rel = [](const char* file, const char* root) {
        return relativeDisplayPath(QUrl::fromLocalFile(QString::fromLatin1(file)),
                                   QUrl::fromLocalFile(QString::fromLatin1(root)));
    };
    EXPECT_EQ(rel("/p/proj/x.txt", "/p/proj"), QStringLiteral("x.txt"));
    EXPECT_EQ(rel("/p/proj/sub/x.txt", "/p/proj"), QStringLiteral("sub/x.txt"));
    // A sibling folder that merely starts with the root's name is not inside it.
    EXPECT_EQ(rel("/p/project/x.txt", "/p/proj"), QStringLiteral("x.txt"));
    EXPECT_EQ(rel("/p/proj/./a/../x.txt", "/p/proj/"), QStringLiteral("x.txt"));
    EXPECT_EQ(rel("/x.txt", "/"), QStringLiteral("x.txt"));
    EXPECT_EQ(rel("/p/proj", "/p/proj"), QStringLiteral("proj"));
    EXPECT_EQ(rel("/q/x.txt", "/p/proj"), QStringLiteral("x.txt"));
}

TEST_F(SearchCenterTest, OpeningADocumentResultSelectsItAndAFolderResultOpensTheFile) {
    type(QStringLiteral("abc abc"));
    query(QStringLiteral("abc"));
    find().findAllInActiveTab();
    const SearchCenterResult second = state().searchCenter.searchCenterDocumentResults.at(1);
    center().openSearchCenterResult(second);
    EXPECT_EQ(selection(), (TextRange{4, 3}));
    EXPECT_EQ(state().findMessage,
              l("find.match-open-document.format").arg(l("document.untitled")).arg(1).arg(5));

    const QUrl url = writeFile(QStringLiteral("notes.txt"), "l1\nl2 here\n");
    const QList<SearchCenterResult> folder =
        folderSearchCenterResults({{QUuid::createUuid(), url, 2, 4, QStringLiteral("l2 here")}},
                                  QUrl::fromLocalFile(dir.path()));
    center().openSearchCenterResult(folder.first());
    waitForOpening(*model);
    ASSERT_TRUE(active().fileURL.has_value());
    EXPECT_EQ(active().fileURL->fileName(), QStringLiteral("notes.txt"));
    EXPECT_EQ(selection(), (TextRange{3, 7})); // the line
    EXPECT_EQ(state().findMessage,
              l("find.match-open-document.format").arg(QStringLiteral("notes.txt")).arg(2).arg(4));
}

TEST_F(SearchCenterTest, CopyPutsOneLinePerResultOnTheClipboard) {
    SearchCenterResult untitled =
        hit(QStringLiteral("Untitled"), QStringLiteral("  the line"), 3, 7);
    SearchCenterResult filed = hit(QStringLiteral("a.txt"), QString(), 1, 1);
    filed.fileURL = QUrl::fromLocalFile(QStringLiteral("/d/a b.txt"));
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    center().copySearchCenterResults({untitled, filed});
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringLiteral("Untitled:3:7:   the line\n/d/a b.txt:1:1: "));
    EXPECT_EQ(state().findMessage, "Copied 2 results.");
    center().copySearchCenterResults({});
    EXPECT_EQ(state().findMessage, l("find.no-results"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringLiteral("Untitled:3:7:   the line\n/d/a b.txt:1:1: "));
}

TEST_F(SearchCenterTest, FilterAndGroupKeepTheSearchOrder) {
    QList<SearchCenterResult> list{hit(QStringLiteral("A"), QStringLiteral("a note"), 12, 5),
                                   hit(QStringLiteral("B"), QStringLiteral("other"), 1, 1),
                                   hit(QStringLiteral("A"), QStringLiteral("x"), 2, 1)};
    list[1].groupSubtitle = QStringLiteral("/home/B");
    EXPECT_EQ(filterSearchCenterResults(list, QStringLiteral("   ")), list);
    EXPECT_EQ(filterSearchCenterResults(list, QStringLiteral("NOTE")), QList{list[0]});
    EXPECT_EQ(filterSearchCenterResults(list, QStringLiteral(" 12:5 ")), QList{list[0]});
    EXPECT_EQ(filterSearchCenterResults(list, QStringLiteral("home")), QList{list[1]});
    EXPECT_TRUE(filterSearchCenterResults(list, QStringLiteral("A:1")).isEmpty()); // ids unsearched
    const QList<SearchCenterResultGroup> groups = groupSearchCenterResults(list);
    ASSERT_EQ(groups.size(), 2);
    EXPECT_EQ(groups[0].id, QStringLiteral("A"));
    EXPECT_EQ(groups[0].results, (QList{list[0], list[2]}));
    EXPECT_EQ(groups[1].subtitle, QStringLiteral("/home/B"));
    EXPECT_TRUE(groupSearchCenterResults({}).isEmpty());
}

TEST_F(SearchCenterTest, FilterKeepsWhatAskingEveryResultKeeps) {
    // Each result asked on its own: title, subtitle, path, preview or "line:column".
    const auto reference = [](const QList<SearchCenterResult>& results, const QString& filter) {
        const QString needle = filter.trimmed();
        QList<SearchCenterResult> kept;
        for (const SearchCenterResult& r : results) {
            const QString path = r.fileURL ? r.fileURL->toLocalFile() : r.groupTitle;
            const QString position =
                QString::number(r.line) + QLatin1Char(':') + QString::number(r.column);
            for (const QString& text : {r.groupTitle, r.groupSubtitle, path, r.preview, position})
                if (text.contains(needle, Qt::CaseInsensitive)) {
                    kept.append(r);
                    break;
                }
        }
        return needle.isEmpty() ? results : kept;
    };
    QRandomGenerator random(9);
    const QStringList words = {QStringLiteral("Alpha"), QStringLiteral("beta"),
                               QStringLiteral("12"),    QStringLiteral(":3"),
                               QStringLiteral("x"),     QStringLiteral("\u212Aelvin")};
    QList<SearchCenterResult> list;
    for (int i = 0; i < 300; ++i) {
        SearchCenterResult r = hit(words.at(random.bounded(3)), words.at(random.bounded(6)),
                                   random.bounded(1, 40), random.bounded(1, 9));
        r.groupSubtitle = words.at(random.bounded(5));
        if (random.bounded(2))
            r.fileURL = QUrl::fromLocalFile(QStringLiteral("/p/") + words.at(random.bounded(5)));
        list << r;
    }
    for (const QString& filter :
         {QStringLiteral("a"), QStringLiteral("ALPHA"), QStringLiteral("12:"),
          QStringLiteral("2:3"), QStringLiteral("/p/x"), QStringLiteral(":"), QStringLiteral("zz"),
          QStringLiteral(" 1 "), QStringLiteral("KEL"), QStringLiteral("\u212Ael"),
          // Without case: digits and punctuation alone.
          QStringLiteral("1"), QStringLiteral(":3"), QStringLiteral("12:3"), QStringLiteral("/"),
          QStringLiteral("/p/"), QStringLiteral("9:9"), QStringLiteral("2 ")})
        EXPECT_EQ(filterSearchCenterResults(list, filter), reference(list, filter))
            << filter.toStdString();
}

TEST_F(SearchCenterTest, RowsMadeWhenShownListEachGroupAsTheGroupingDoes) {
    // Groups that come back after another, as the results of a run may.
    QList<SearchCenterResult> list;
    const QStringList groups = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
    for (int i = 0; i < 40; ++i)
        list << hit(groups.at((i / 3 + i % 2) % 3), QStringLiteral("hit %1").arg(i), i + 1, i % 7);
    list[1].groupSubtitle = QStringLiteral("/home/B");
    const SearchCenterRows rows(list, QStringLiteral("doc"), QStringLiteral("%1 hits"));

    // Every group's header, then its results: the same rows as the grouping gives.
    QList<SearchResultRow> expected;
    for (const SearchCenterResultGroup& group : groupSearchCenterResults(list)) {
        expected.append({SearchResultRow::Kind::Group, group.title, group.subtitle,
                         QStringLiteral("%1 hits").arg(group.results.size()), QStringLiteral("doc"),
                         -1});
        for (const SearchCenterResult& result : group.results) {
            const qsizetype index = list.indexOf(result);
            expected.append({SearchResultRow::Kind::Result, QString(), QString(), result.preview,
                             QString(), index, result.line, result.column});
        }
    }
    ASSERT_EQ(rows.count(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const SearchResultRow row = rows.at(i);
        const SearchResultRow& want = expected.at(i);
        EXPECT_EQ(rows.kindAt(i), want.kind) << i;
        EXPECT_EQ(std::tie(row.kind, row.title, row.subtitle, row.trailing, row.symbolName,
                           row.sourceIndex, row.line, row.column),
                  std::tie(want.kind, want.title, want.subtitle, want.trailing, want.symbolName,
                           want.sourceIndex, want.line, want.column))
            << i;
    }
    EXPECT_EQ(SearchCenterRows({}, QString(), QString()).count(), 0);
}

// Rows of the same shape as those shown replace them in place, so a list of many hits neither
// lays itself out again nor loses where it was scrolled to; rows of another shape reset it.
TEST_F(SearchCenterTest, RowsOfTheSameShapeReplaceTheShownOnesInPlace) {
    const auto rows = [](const QString& word, int inFirstGroup) {
        QList<SearchCenterResult> list;
        for (int i = 0; i < 6; ++i)
            list << hit(i < inFirstGroup ? QStringLiteral("A") : QStringLiteral("B"),
                        word + QString::number(i), i + 1, 0);
        return std::make_shared<SearchCenterRows>(list, QStringLiteral("doc"),
                                                  QStringLiteral("%1 hits"));
    };
    SearchResultListModel model;
    model.setRowSource(rows(QStringLiteral("old "), 3));
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changes(&model, &SearchResultListModel::rowsReplacedInPlace);
    const auto trailing = [&](int row) {
        return model.index(row).data(SearchResultListModel::TrailingRole).toString();
    };

    model.setRowSource(rows(QStringLiteral("new "), 3));
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(trailing(1), QStringLiteral("new 0"));
    EXPECT_EQ(trailing(7), QStringLiteral("new 5"));

    // As many rows, with the second header one row earlier.
    model.setRowSource(rows(QStringLiteral("new "), 2));
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(model.rowCount(), 8);
    EXPECT_EQ(model.index(3).data(SearchResultListModel::RowKindRole).toInt(),
              int(SearchResultRow::Kind::Group));
    EXPECT_EQ(trailing(3), QStringLiteral("4 hits"));
    // Rows from elsewhere than the search center never count as the same shape.
    model.setRows({SearchResultRow{}, SearchResultRow{}, SearchResultRow{}, SearchResultRow{},
                   SearchResultRow{}, SearchResultRow{}, SearchResultRow{}, SearchResultRow{}});
    EXPECT_EQ(resets.count(), 2);
}

TEST_F(SearchCenterTest, RecordingKeepsTenNewestFirstWithoutDuplicates) {
    for (int i = 0; i < 11; ++i)
        center().recordSearchCenterRun(SearchCenterScope::CurrentDocument,
                                       QStringLiteral("q%1").arg(i),
                                       results(1, QStringLiteral("g")));
    ASSERT_EQ(runs().size(), 10);
    EXPECT_EQ(runs().first().query, QStringLiteral("q10"));
    EXPECT_EQ(runs().last().query, QStringLiteral("q1"));
    EXPECT_EQ(loadSearchCenterRuns(*defaults).size(), 10);

    center().recordSearchCenterRun(SearchCenterScope::CurrentDocument, QStringLiteral(" q5 \n"),
                                   results(1, QStringLiteral("g")));
    EXPECT_EQ(runs().size(), 10);
    EXPECT_EQ(runs().first().query, QStringLiteral("q5"));
    EXPECT_EQ(
        std::count_if(runs().cbegin(), runs().cend(),
                      [](const SearchCenterRun& r) { return r.query == QStringLiteral("q5"); }),
        1);
    // The same query with other results is another run.
    center().recordSearchCenterRun(SearchCenterScope::CurrentDocument, QStringLiteral("q5"),
                                   results(2, QStringLiteral("g")));
    EXPECT_EQ(runs().at(1).query, QStringLiteral("q5"));
    EXPECT_EQ(state().searchCenter.selectedSearchRunID, runs().first().id);

    const int writes = runWrites();
    center().recordSearchCenterRun(SearchCenterScope::Folder, QStringLiteral("none"), {});
    EXPECT_FALSE(state().searchCenter.selectedSearchRunID.has_value());
    center().deleteSearchCenterRun(QUuid::createUuid());
    EXPECT_EQ(runWrites(), writes);

    const QUuid keep = runs().at(2).id;
    center().setSelectedRun(keep);
    center().deleteSearchCenterRun(runs().at(3).id);
    EXPECT_EQ(state().searchCenter.selectedSearchRunID, keep);
    center().deleteSearchCenterRun(keep);
    EXPECT_FALSE(state().searchCenter.selectedSearchRunID.has_value());
    EXPECT_EQ(loadSearchCenterRuns(*defaults), runs());

    center().setSelectedRun(runs().first().id);
    center().setScope(SearchCenterScope::Folder);
    EXPECT_FALSE(state().searchCenter.selectedSearchRunID.has_value());
}

TEST_F(SearchCenterTest, ARunsFileThatCannotBeWrittenIsToldOnceUntilItIsWritten) {
    const QString path = searchCenterRunsPath(*defaults);
    ASSERT_TRUE(QDir().mkpath(path)); // a folder in the file's place
    const auto notices = [this] {
        QStringList messages;
        for (const WindowNotice& notice : state().notices.shown)
            if (notice.cause == QString::fromLatin1(kSearchRunsWriteNoticeCause))
                messages << notice.message;
        return messages;
    };
    for (const char* query : {"a", "b"}) {
        center().recordSearchCenterRun(SearchCenterScope::CurrentDocument,
                                       QString::fromLatin1(query), results(1, QStringLiteral("g")));
        runWrites();
    }
    EXPECT_EQ(notices(), QStringList{l("settings.save.failed.format").arg(path)});

    ASSERT_TRUE(QDir(path).removeRecursively());
    center().recordSearchCenterRun(SearchCenterScope::CurrentDocument, QStringLiteral("c"),
                                   results(1, QStringLiteral("g")));
    runWrites();
    EXPECT_TRUE(notices().isEmpty());
    EXPECT_TRUE(QFileInfo(path).isFile());
}

TEST_F(SearchCenterTest, StartUpReadsTheHistoriesAndRunsWithNoRunSelected) {
    query(QStringLiteral("kept"));
    find().setReplaceText(QStringLiteral("with"));
    find().recordFindHistory();
    find().recordReplaceHistory();
    center().recordSearchCenterRun(SearchCenterScope::Folder, QStringLiteral("q"),
                                   results(2, QStringLiteral("g")));
    std::unique_ptr<EditorWindowModel> next = makeWindow();
    ASSERT_TRUE(next->seams().loadStoredFindState);
    next->seams().loadStoredFindState();
    EXPECT_EQ(next->state().find.findHistory, QStringList{QStringLiteral("kept")});
    EXPECT_EQ(next->state().find.replaceHistory, QStringList{QStringLiteral("with")});
    EXPECT_EQ(next->state().searchCenter.searchCenterRuns, runs());
    EXPECT_FALSE(next->state().searchCenter.selectedSearchRunID.has_value());
}

// A reload replaces the text a run's hits point into: a run with hits in that tab gives way to
// the live list, and stays stored as recorded; a run of another tab is still shown.
TEST_F(SearchCenterTest, AReloadLeavesOnlyARunWithHitsInTheTabReadAgain) {
    const QUrl a = writeFile(QStringLiteral("a.txt"), "x one\n");
    const QUrl b = writeFile(QStringLiteral("b.txt"), "x two\nx three\n");
    open(a);
    const QUuid aID = active().id;
    open(b);
    const QUuid bID = active().id;
    query(QStringLiteral("x"));
    find().findAllInActiveTab();
    ASSERT_EQ(runs().size(), 1);
    const SearchCenterRun run = runs().first();
    ASSERT_EQ(state().searchCenter.selectedSearchRunID, run.id);

    DocumentReloading(*model).reloadTab(aID);
    waitForOpening(*model);
    EXPECT_EQ(state().searchCenter.selectedSearchRunID, run.id);

    writeFile(QStringLiteral("b.txt"), "x four\n");
    DocumentReloading(*model).reloadTab(bID);
    waitForOpening(*model);
    waitForLists();
    EXPECT_FALSE(state().searchCenter.selectedSearchRunID.has_value());
    EXPECT_EQ(runs(), QList<SearchCenterRun>{run});
    EXPECT_EQ(loadSearchCenterRuns(*defaults), QList<SearchCenterRun>{run});
    ASSERT_EQ(state().searchCenter.searchCenterDocumentResults.size(), 1);
    EXPECT_EQ(state().searchCenter.searchCenterDocumentResults.first().preview,
              QStringLiteral("x four"));

    // An open-documents run lists hits of every tab: reading any of them again leaves it.
    find().findInOpenDocuments();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return state().searchCenter.selectedSearchRunID.has_value(); }));
    DocumentReloading(*model).reloadTab(aID);
    waitForOpening(*model);
    EXPECT_FALSE(state().searchCenter.selectedSearchRunID.has_value());
}

TEST_F(SearchCenterTest, RunTitleNamesQueryScopeAndCount) {
    SearchCenterRun run;
    run.scope = SearchCenterScope::OpenDocuments;
    run.results = results(3, QStringLiteral("g"));
    EXPECT_EQ(searchCenterRunTitle(run),
              l("search-center.saved-run.format")
                  .arg(l("find.query.placeholder"), l("search-center.open-documents"),
                       QStringLiteral("3")));
}

} // namespace
} // namespace dunmoss::test
