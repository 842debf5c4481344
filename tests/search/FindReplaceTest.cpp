#include "FindFixture.h"

#include "platform/IcuRegex.h"
#include "search/SearchCenterResults.h"
#include "search/SearchCenterRunStore.h"

#include <QSemaphore>
#include <QThreadPool>
#include <atomic>

namespace dunmoss::test {
namespace {

using Direction = FindReplace::Direction;

class FindReplaceTest : public FindFixture {
protected:
    // Counts the searches that follow edits, each held at the gate while `hold` is set.
    void countSearches(bool hold) {
        FindResultsRefresh::of(*model).beforeSearch = [this, hold] {
            searches.fetch_add(1);
            if (hold)
                gate.acquire();
        };
    }
    // A text that `(a+)+$` runs away on, searched with it while the search center shows a list
    // that a failing search must empty.
    QString typeRunawayWithTheCenterShown() {
        const QString runaway = QString(40, QLatin1Char('a')) + QLatin1Char('b');
        type(runaway);
        query(QStringLiteral("(a+)+$"), TextSearchOptions{true, true, false});
        model->update([](EditorWindowState& s) {
            s.searchCenter.showSearchCenter = true;
            s.find.findResults = {TextSearchResult{}};
            s.find.findResultsTotalCount = 1;
        });
        return runaway;
    }
    static QList<TextRange> ranges(const QList<TextSearchResult>& results) {
        QList<TextRange> out;
        for (const TextSearchResult& r : results)
            out.append(r.range);
        return out;
    }

    std::atomic<int> searches{0};
    QSemaphore gate;
};

TEST_F(FindReplaceTest, NextAndPreviousWrapAroundAndReportThePosition) {
    type(QStringLiteral("cat dog cat dog cat"), 19);
    query(QStringLiteral("cat"));
    find().findInActiveTab(Direction::Next);
    EXPECT_EQ(selection(), (TextRange{0, 3})); // wrapped to the first
    EXPECT_EQ(message(), l("find.match.format").arg(1).arg(3));
    // A selection that is itself a match: next moves past it, previous before it.
    find().findInActiveTab(Direction::Next);
    EXPECT_EQ(selection(), (TextRange{8, 3}));
    find().findInActiveTab(Direction::Previous);
    EXPECT_EQ(selection(), (TextRange{0, 3}));
    find().findInActiveTab(Direction::Previous);
    EXPECT_EQ(selection(), (TextRange{16, 3})); // wrapped to the last
    EXPECT_EQ(message(), l("find.match.format").arg(3).arg(3));
}

TEST_F(FindReplaceTest, NoMatchEmptyQueryAndBadExpressionsOnlySetTheStatus) {
    type(QStringLiteral("alpha beta"), 2);
    query(QStringLiteral("gamma"));
    find().findInActiveTab(Direction::Next);
    EXPECT_EQ(message(), l("find.no-results"));
    EXPECT_EQ(selection(), (TextRange{2, 0}));
    query(QString());
    find().findInActiveTab(Direction::Next);
    EXPECT_EQ(message(), l("find.empty"));
    for (auto run : {&FindReplace::replaceAllFindMatches, &FindReplace::findInOpenDocuments,
                     &FindReplace::markAllMatchesAsBookmarks, &FindReplace::selectAllFindMatches}) {
        find().setFindQuery(QString());
        (find().*run)();
        EXPECT_EQ(message(), l("find.empty"));
    }
    EXPECT_FALSE(state().searchCenter.showSearchCenter);

    query(QStringLiteral("(unclosed"), TextSearchOptions{true, false, false});
    find().findAllInActiveTab();
    const QString prefix = l("find.regex-error.format").section(QStringLiteral("%1"), 0, 0);
    EXPECT_TRUE(message().startsWith(prefix)) << message().toStdString();
    EXPECT_FALSE(state().searchCenter.showSearchCenter);
}

TEST_F(FindReplaceTest, PathologicalExpressionStopsAtTheTimeLimitWithAClearMessage) {
    type(QString(40, QLatin1Char('a')) + QLatin1Char('b'));
    query(QStringLiteral("(a+)+$"), TextSearchOptions{true, true, false});
    find().findAllInActiveTab();
    try {
        findAllMatches(state().find.findQuery, active().document.text, state().find.findOptions);
        FAIL() << "the engine was expected to time out";
    } catch (const RegexError& error) {
        ASSERT_TRUE(error.isTimeout());
        EXPECT_EQ(message(), l("find.regex-error.format").arg(error.localizedDescription()));
    }
    EXPECT_TRUE(state().find.findResults.isEmpty());
    find().replaceAllFindMatches();
    EXPECT_TRUE(
        message().startsWith(l("find.regex-error.format").section(QStringLiteral("%1"), 0, 0)));
    EXPECT_EQ(undoStack()->count(), 0);
}

TEST_F(FindReplaceTest, StepsEndWhenTheirSearchArrivesAndSaySoWhileTheyRun) {
    FindStepRunner& runner = FindStepRunner::of(*model);
    runner.waitMilliseconds = 0;
    runner.quietMilliseconds = 0;
    const auto waitForStep = [&] {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !runner.isPending(); }, 120'000));
    };
    // Handed over or not, the step selects what the search at once selects.
    type(QStringLiteral("cat dog cat"), 1);
    query(QStringLiteral("cat"));
    find().findInActiveTab(Direction::Next);
    waitForStep();
    EXPECT_EQ(selection(), (TextRange{8, 3}));
    EXPECT_EQ(message(), l("find.match.format").arg(2).arg(2));

    // A runaway expression: the window goes on, then shows the message the search at once shows.
    type(QString(30, QLatin1Char('a')) + QLatin1Char('b'), 3);
    query(QStringLiteral("(a+)+$"), TextSearchOptions{true, true, false});
    find().findAllInActiveTab();
    waitForStep();
    const QString runaway = message();
    ASSERT_TRUE(
        runaway.startsWith(l("find.regex-error.format").section(QStringLiteral("%1"), 0, 0)));
    const QString before = active().document.text;
    find().setReplaceText(QStringLiteral("x"));
    using Command = void (*)(FindReplace);
    const QList<std::pair<Command, const char*>> commands{
        {+[](FindReplace f) { f.findInActiveTab(Direction::Next); }, "find.searching"},
        {+[](FindReplace f) { f.selectAllFindMatches(); }, "find.searching"},
        {+[](FindReplace f) { f.markAllMatchesAsBookmarks(); }, "find.searching"},
        {+[](FindReplace f) { f.replaceCurrentFindMatch(); }, "find.replacing"},
        {+[](FindReplace f) { f.replaceAllFindMatches(); }, "find.replacing"},
        {+[](FindReplace f) { f.findInOpenDocuments(); }, "find.searching"}};
    for (const auto& [run, progress] : commands) {
        clearMessage();
        run(find());
        EXPECT_TRUE(runner.isPending());
        // While it runs, the bar says so.
        EXPECT_EQ(message(), l(progress));
        waitForStep();
        EXPECT_EQ(message(), runaway);
        EXPECT_EQ(selection(), (TextRange{3, 0}));
        EXPECT_TRUE(active().bookmarkedLines.empty());
        EXPECT_EQ(active().document.text, before);
        EXPECT_EQ(undoStack()->count(), 0);
        EXPECT_TRUE(state().find.openDocumentSearchResults.isEmpty());
    }
}

// The person may type elsewhere or change the query while a command runs; it still ends, on the
// tab it was given for, with the query and replacement it was given.
TEST_F(FindReplaceTest, ACommandOutlivesEditsAndFieldChangesMadeWhileItRuns) {
    FindStepRunner& runner = FindStepRunner::of(*model);
    runner.waitMilliseconds = 0;
    runner.quietMilliseconds = 0;
    runner.beforeSearch = [this] { gate.acquire(); };
    type(QStringLiteral("cat dog cat"), 0);
    query(QStringLiteral("cat"));
    find().setReplaceText(QStringLiteral("cow"));
    find().replaceAllFindMatches();
    ASSERT_TRUE(runner.isPending());
    EXPECT_EQ(message(), l("find.replacing"));
    // The text changed another way than the held editors, and the fields changed.
    type(QStringLiteral("cat cat dog cat"), 2);
    find().setReplaceText(QStringLiteral("pig"));
    find().setFindQuery(QStringLiteral("dog"));
    gate.release(2); // the stopped search and the one over the new text
    ASSERT_TRUE(QTest::qWaitFor([&] { return !runner.isPending(); }, 120'000));
    EXPECT_EQ(active().document.text, QStringLiteral("cow cow dog cow"));
    EXPECT_EQ(undoStack()->count(), 1);
    // Answered for "cat"; the bar now holds "dog", so it shows it only once "cat" is back.
    EXPECT_TRUE(message().isEmpty());
    find().setFindQuery(QStringLiteral("cat"));
    EXPECT_EQ(message(), l("find.replaced-all.format").arg(localizedCount(3, kCountedMatches)));
}

TEST_F(FindReplaceTest, OnlyANewerCommandStopsARunningOneAndTheStatusSaysSo) {
    FindStepRunner& runner = FindStepRunner::of(*model);
    runner.waitMilliseconds = 0;
    runner.quietMilliseconds = 0;
    // Each search takes the hook as it was when it started.
    const auto holdSearches = [&] { runner.beforeSearch = [this] { gate.acquire(); }; };
    holdSearches();
    type(QStringLiteral("cat dog cat"), 0);
    query(QStringLiteral("cat"));
    find().setReplaceText(QStringLiteral("cow"));
    find().replaceAllFindMatches();
    ASSERT_TRUE(runner.isPending());
    runner.beforeSearch = {};
    runner.waitMilliseconds = 60'000;
    find().findInActiveTab(Direction::Next);
    gate.release();
    EXPECT_FALSE(runner.isPending());
    EXPECT_EQ(active().document.text, QStringLiteral("cat dog cat"));
    EXPECT_EQ(selection(), (TextRange{0, 3}));
    const QString stopped = l("find.superseded.format").arg(l("find.replace-all"));
    EXPECT_EQ(message(), stopped + u' ' + l("find.match.format").arg(1).arg(2));
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(active().document.text, QStringLiteral("cat dog cat"));
    EXPECT_EQ(undoStack()->count(), 0);

    // A command whose tab closes meanwhile says so in the window's own status.
    runner.waitMilliseconds = 0;
    runner.quietMilliseconds = 0;
    holdSearches();
    find().replaceAllFindMatches();
    ASSERT_TRUE(runner.isPending());
    const QUuid first = active().id;
    model->update([](EditorWindowState& s) {
        EditorTab other = untitledTab();
        s.activeTabID = other.id;
        s.tabs = {other};
    });
    model->forgetTab(first);
    EXPECT_FALSE(runner.isPending());
    EXPECT_EQ(state().findMessage, l("find.stopped.tab-closed.format").arg(l("find.replace-all")));
    gate.release();
    QThreadPool::globalInstance()->waitForDone();
}

TEST_F(FindReplaceTest, ReplaceOnlyReplacesASelectedMatchThenMovesOnAndUndoes) {
    type(QStringLiteral("one two one two"), 4);
    query(QStringLiteral("one"));
    find().setReplaceText(QStringLiteral("1"));
    // The caret is not on a match: the next one is selected, nothing replaced.
    find().replaceCurrentFindMatch();
    EXPECT_EQ(active().document.text, QStringLiteral("one two one two"));
    EXPECT_EQ(selection(), (TextRange{8, 3}));
    find().replaceCurrentFindMatch();
    EXPECT_EQ(active().document.text, QStringLiteral("one two 1 two"));
    EXPECT_EQ(message(), l("find.replaced-one"));
    EXPECT_EQ(selection(), (TextRange{0, 3})); // wrapped to the remaining match
    EXPECT_EQ(undoStack()->undoText(), l("find.replace"));
    undoStack()->undo();
    EXPECT_EQ(active().document.text, QStringLiteral("one two one two"));
    EXPECT_EQ(selection(), (TextRange{8, 3}));
    EXPECT_GE(sessionSaves, 1);

    // Replacing a match by itself registers nothing but still reports and moves on.
    const int steps = undoStack()->count();
    find().setReplaceText(QStringLiteral("one"));
    find().replaceCurrentFindMatch();
    EXPECT_EQ(undoStack()->count(), steps);
    EXPECT_EQ(message(), l("find.replaced-one"));
    EXPECT_EQ(selection(), (TextRange{0, 3}));
}

TEST_F(FindReplaceTest, ReplaceAllIsOneUndoStepWithTheCaretAtTheStart) {
    type(QStringLiteral("a-b-c-d"), 5);
    query(QStringLiteral("-"));
    find().setReplaceText(QStringLiteral("+"));
    find().replaceAllFindMatches();
    EXPECT_EQ(active().document.text, QStringLiteral("a+b+c+d"));
    EXPECT_EQ(selection(), (TextRange{0, 0}));
    EXPECT_EQ(message(), "Replaced 3 matches.");
    ASSERT_EQ(undoStack()->count(), 1);
    EXPECT_EQ(undoStack()->undoText(), l("find.replace-all"));
    undoStack()->undo();
    EXPECT_EQ(active().document.text, QStringLiteral("a-b-c-d"));
    undoStack()->redo();
    EXPECT_EQ(active().document.text, QStringLiteral("a+b+c+d"));
    // Regular-expression templates.
    query(QStringLiteral("(\\w)\\+"), TextSearchOptions{true, false, false});
    find().setReplaceText(QStringLiteral("$1="));
    find().replaceAllFindMatches();
    EXPECT_EQ(active().document.text, QStringLiteral("a=b=c=d"));
}

TEST_F(FindReplaceTest, ReadOnlyTabsRefuseEditsButCanBeSearchedAndMarked) {
    type(QStringLiteral("x y x"));
    model->update([](EditorWindowState& s) { s.tabs[0].isReadOnly = true; });
    query(QStringLiteral("x"));
    find().replaceAllFindMatches();
    EXPECT_EQ(message(), l("large-file.read-only-edit-blocked"));
    find().replaceCurrentFindMatch();
    EXPECT_EQ(message(), l("large-file.read-only-edit-blocked"));
    EXPECT_EQ(active().document.text, QStringLiteral("x y x"));
    EXPECT_TRUE(state().find.findHistory.isEmpty()); // refused before recording
    find().markAllMatchesAsBookmarks();
    EXPECT_EQ(active().bookmarkedLines, (std::set<int>{1}));
}

TEST_F(FindReplaceTest, FindAllListsTwoThousandCountsAllAndRecordsARun) {
    QString text;
    for (int i = 0; i < 2500; ++i)
        text += QStringLiteral("hit\n");
    type(text, 7);
    query(QStringLiteral("hit"));
    find().findAllInActiveTab();
    EXPECT_EQ(state().find.findResults.size(), 2000);
    EXPECT_EQ(state().find.findResultsTotalCount, 2500);
    EXPECT_EQ(message(), "2500 matches in this document.");
    const SearchCenterState& center = state().searchCenter;
    EXPECT_TRUE(center.showSearchCenter);
    EXPECT_EQ(center.searchCenterScope, SearchCenterScope::CurrentDocument);
    EXPECT_EQ(center.searchCenterDocumentResults.size(), 2000);
    ASSERT_EQ(center.searchCenterRuns.size(), 1);
    EXPECT_EQ(center.selectedSearchRunID, center.searchCenterRuns.first().id);
    EXPECT_EQ(center.searchCenterRuns.first().results, center.searchCenterDocumentResults);
    EXPECT_EQ(loadSearchCenterRuns(*defaults), center.searchCenterRuns);
    EXPECT_EQ(selection(), (TextRange{7, 0})); // find all does not move the selection
}

TEST_F(FindReplaceTest, OpenDocumentsAreSearchedInTabOrderWithUntitledTitles) {
    type(QStringLiteral("red blue"));
    const QUuid first = active().id;
    model->update([](EditorWindowState& s) {
        s.tabs.append(untitledTab());
        s.activeTabID = s.tabs.last().id;
    });
    type(QStringLiteral("blue\nblue"));
    const QUuid second = active().id;
    query(QStringLiteral("blue"));
    find().findInOpenDocuments();
    const QList<OpenDocumentSearchResult>& results = state().find.openDocumentSearchResults;
    ASSERT_EQ(results.size(), 3);
    EXPECT_EQ(results[0].tabID, first);
    EXPECT_EQ(results[1].tabID, second);
    EXPECT_EQ(results[2].line, 2);
    for (const OpenDocumentSearchResult& r : results)
        EXPECT_EQ(r.title, l("document.untitled"));
    EXPECT_EQ(message(), "3 matches in open documents.");
    EXPECT_EQ(state().searchCenter.searchCenterScope, SearchCenterScope::OpenDocuments);
    EXPECT_EQ(state().searchCenter.searchCenterOpenDocumentResults.size(), 3);
    EXPECT_EQ(state().searchCenter.searchCenterRuns.first().scope,
              SearchCenterScope::OpenDocuments);
}

TEST_F(FindReplaceTest, MarkAllCountsDistinctLinesAndSelectAllSelectsEveryMatch) {
    type(QStringLiteral("aa a\nb\na"));
    model->update([](EditorWindowState& s) { s.tabs[0].bookmarkedLines = {2}; });
    query(QStringLiteral("a"));
    find().markAllMatchesAsBookmarks();
    EXPECT_EQ(active().bookmarkedLines, (std::set<int>{1, 2, 3}));
    EXPECT_EQ(message(), "Bookmarked 2 lines with 4 matches.");
    EXPECT_EQ(state().find.findResultsTotalCount, 4);
    EXPECT_EQ(undoStack()->count(), 0);

    find().selectAllFindMatches();
    EXPECT_EQ(active().selectedRanges, (QList<TextRange>{{0, 1}, {1, 1}, {3, 1}, {7, 1}}));
    EXPECT_EQ(selection(), (TextRange{0, 1}));
    EXPECT_EQ(message(), "Selected 4 matches.");

    // One of each takes the singular.
    query(QStringLiteral("b"));
    find().markAllMatchesAsBookmarks();
    EXPECT_EQ(message(), "Bookmarked 1 line with 1 match.");
    find().selectAllFindMatches();
    EXPECT_EQ(message(), "Selected 1 match.");

    query(QStringLiteral("zzz"));
    find().markAllMatchesAsBookmarks();
    EXPECT_EQ(message(), l("find.no-results"));
}

TEST_F(FindReplaceTest, SelectAllListsFromAPoolThreadWhatMarkAllListsAtOnce) {
    QString text;
    for (int i = 0; i < 3'000; ++i)
        text += QStringLiteral("x needle %1 needle\n").arg(i);
    type(text);
    query(QStringLiteral("needle"));
    // Mark all lists every match at once: the list Select All must end with.
    find().markAllMatchesAsBookmarks();
    const QList<TextSearchResult> eager = state().find.findResults;
    const QList<SearchCenterResult> eagerCenter = state().searchCenter.searchCenterDocumentResults;
    ASSERT_EQ(eagerCenter.size(), 6'000);
    const auto withoutIDs = [](QList<TextSearchResult> results) {
        for (TextSearchResult& result : results)
            result.id = QUuid();
        return results;
    };

    find().selectAllFindMatches();
    EXPECT_EQ(active().selectedRanges.size(), 6'000);
    EXPECT_EQ(message(), "Selected 6000 matches.");
    // Until the list arrives no other query's results are shown.
    EXPECT_TRUE(state().searchCenter.searchCenterDocumentResults.isEmpty());
    EXPECT_TRUE(state().searchCenter.showSearchCenter);
    waitForLists();
    EXPECT_EQ(withoutIDs(state().find.findResults), withoutIDs(eager));
    EXPECT_EQ(state().find.findResultsTotalCount, 6'000);
    EXPECT_EQ(state().searchCenter.searchCenterDocumentResults, eagerCenter);
    EXPECT_EQ(state().searchCenter.searchCenterScope, SearchCenterScope::CurrentDocument);
    // The same run again replaces the one mark all recorded.
    ASSERT_EQ(state().searchCenter.searchCenterRuns.size(), 1);
    EXPECT_EQ(state().searchCenter.searchCenterRuns.first().results, eagerCenter);
    EXPECT_EQ(state().searchCenter.selectedSearchRunID,
              state().searchCenter.searchCenterRuns.first().id);

    // An edit before the list arrives drops it: the lists show the new text, no run is recorded.
    center().deleteSearchCenterRun(state().searchCenter.searchCenterRuns.first().id);
    find().selectAllFindMatches();
    type(QStringLiteral("one needle"));
    waitForLists();
    ASSERT_EQ(state().searchCenter.searchCenterDocumentResults.size(), 1);
    EXPECT_EQ(state().searchCenter.searchCenterDocumentResults.first().preview,
              QStringLiteral("one needle"));
    EXPECT_TRUE(state().searchCenter.searchCenterRuns.isEmpty());
}

TEST_F(FindReplaceTest, HistoriesMergeFromTheStoredValueSharedByWindows) {
    std::unique_ptr<EditorWindowModel> other = makeWindow();
    query(QStringLiteral("  first  "));
    find().findInActiveTab(Direction::Next);
    FindReplace(*other).setFindQuery(QStringLiteral("second"));
    FindReplace(*other).findInActiveTab(Direction::Next);
    EXPECT_EQ(other->state().find.findHistory,
              (QStringList{QStringLiteral("second"), QStringLiteral("first")}));
    // This window takes up the other's entry the next time it records.
    EXPECT_EQ(state().find.findHistory, QStringList{QStringLiteral("first")});
    query(QStringLiteral("first"));
    find().findInActiveTab(Direction::Next);
    EXPECT_EQ(state().find.findHistory,
              (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
    // Whitespace is searched but never remembered; a thirteenth entry drops the oldest.
    query(QStringLiteral("   "));
    find().findInActiveTab(Direction::Next);
    EXPECT_EQ(state().find.findHistory.size(), 2);
    for (int i = 0; i < 12; ++i) {
        query(QStringLiteral("q%1").arg(i));
        find().findInActiveTab(Direction::Next);
    }
    EXPECT_EQ(state().find.findHistory.size(), 12);
    EXPECT_EQ(state().find.findHistory.first(), QStringLiteral("q11"));
    EXPECT_FALSE(state().find.findHistory.contains(QStringLiteral("first")));
    EXPECT_EQ(defaults->stringList(QString::fromLatin1(kFindHistoryKey)), state().find.findHistory);

    std::unique_ptr<EditorWindowModel> third = makeWindow();
    FindReplace(*third).loadHistories();
    EXPECT_EQ(third->state().find.findHistory, state().find.findHistory);

    find().applyFindHistoryEntry(QStringLiteral("q3"));
    EXPECT_EQ(state().find.findQuery, QStringLiteral("q3"));
    EXPECT_EQ(state().find.focusedFindField, FindField::Query);
    EXPECT_EQ(state().find.findHistory.first(), QStringLiteral("q11"));
    find().applyReplaceHistoryEntry(QStringLiteral("r"));
    EXPECT_EQ(state().find.replaceText, QStringLiteral("r"));
    EXPECT_EQ(state().find.focusedFindField, FindField::Replace);
}

TEST_F(FindReplaceTest, EditsRefreshTheListOnShowButNotTheRecordedRun) {
    type(QStringLiteral("ab ab"));
    query(QStringLiteral("ab"));
    find().findAllInActiveTab();
    const SearchCenterRun recorded = state().searchCenter.searchCenterRuns.first();
    model->setTabText(active().id, QStringLiteral("ab ab ab"));
    waitForLists();
    EXPECT_EQ(state().searchCenter.searchCenterDocumentResults.size(), 3);
    EXPECT_EQ(state().find.findResultsTotalCount, 3);
    EXPECT_EQ(state().searchCenter.searchCenterRuns.first(), recorded);
    EXPECT_EQ(state().searchCenter.searchCenterRuns.size(), 1);

    find().closeFindBar();
    EXPECT_FALSE(state().searchCenter.showSearchCenter);
    EXPECT_TRUE(message().isEmpty());
    model->setTabText(active().id, QStringLiteral("ab"));
    waitForLists();
    EXPECT_EQ(state().searchCenter.searchCenterDocumentResults.size(), 3); // not on show
    EXPECT_EQ(state().find.findQuery, QStringLiteral("ab"));
}

TEST_F(FindReplaceTest, ListsFollowEditsWithoutHoldingTypingAndShowTheNewestText) {
    type(QStringLiteral("ab ab"));
    query(QStringLiteral("ab"));
    find().findAllInActiveTab();
    model->update([](EditorWindowState& s) { s.find.showOpenDocumentSearchResults = true; });
    countSearches(true);
    const QUuid id = active().id;
    model->setTabText(id, QStringLiteral("ab ab ab"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return searches.load() == 1; }, 10'000));
    // Typing goes on while that search runs; the lists wait for the newest text.
    const QString newest = QStringLiteral("ab\nx ab ab\nab");
    model->setTabText(id, newest);
    EXPECT_EQ(state().find.findResultsTotalCount, 2);
    gate.release(2);
    waitForLists();
    EXPECT_EQ(searches.load(), 2);

    // The same lists a search at the newest text gives.
    const TextSearchMatches expected =
        findAllMatches(QStringLiteral("ab"), newest, {}, kFindAllListLimit);
    EXPECT_EQ(ranges(state().find.findResults), ranges(expected.results));
    EXPECT_EQ(state().find.findResultsTotalCount, 4);
    EXPECT_EQ(state().find.findResults.last().line, 3);
    EXPECT_EQ(state().find.findResults.at(1).preview, expected.results.at(1).preview);
    EXPECT_EQ(state().searchCenter.searchCenterDocumentResults,
              currentDocumentSearchCenterResults(state(), state().find.findResults));
    QList<TextRange> open;
    for (const OpenDocumentSearchResult& r : state().find.openDocumentSearchResults)
        open.append(r.range);
    EXPECT_EQ(open, ranges(expected.results));

    // Find all fills the lists afresh: a refresh still under way is dropped.
    model->setTabText(id, QStringLiteral("ab"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return searches.load() == 3; }, 10'000));
    query(QStringLiteral("x"));
    find().findAllInActiveTab();
    gate.release();
    waitForLists();
    EXPECT_EQ(state().find.findResultsTotalCount, 0);
}

TEST_F(FindReplaceTest, AnExpressionThatRanAwayIsNotRunAgainUntilTheQueryChanges) {
    const QString runaway = typeRunawayWithTheCenterShown();
    countSearches(false);
    const QUuid id = active().id;
    model->setTabText(id, runaway + QLatin1Char('\n'));
    waitForLists();
    EXPECT_EQ(searches.load(), 1);
    // Emptied, as after any failing search.
    EXPECT_TRUE(state().find.findResults.isEmpty());
    EXPECT_EQ(state().find.findResultsTotalCount, 0);

    model->setTabText(id, runaway + QStringLiteral("\n\n"));
    waitForLists();
    EXPECT_EQ(searches.load(), 1);
    EXPECT_TRUE(state().searchCenter.searchCenterDocumentResults.isEmpty());

    query(QStringLiteral("a+b"), TextSearchOptions{true, true, false});
    model->setTabText(id, runaway);
    waitForLists();
    EXPECT_EQ(searches.load(), 2);
    EXPECT_EQ(state().find.findResultsTotalCount, 1);
}

TEST_F(FindReplaceTest, ASupersededSearchStopsWithoutCountingAsRunawayOrChangingAList) {
    const QString runaway = typeRunawayWithTheCenterShown();
    countSearches(true);
    const QUuid id = active().id;
    model->setTabText(id, runaway + QLatin1Char('\n'));
    ASSERT_TRUE(QTest::qWaitFor([&] { return searches.load() == 1; }, 10'000));
    // Typed on while it waits to run: it stops at once and changes nothing; the newest text
    // runs away no more, and is searched with the same expression.
    model->setTabText(id, QString(40, QLatin1Char('a')));
    EXPECT_EQ(state().find.findResultsTotalCount, 1);
    gate.release(2);
    waitForLists();
    EXPECT_EQ(searches.load(), 2);
    EXPECT_EQ(state().find.findResultsTotalCount, 1);
    ASSERT_EQ(state().find.findResults.size(), 1);
    EXPECT_EQ(state().find.findResults.first().range, (TextRange{0, 40}));
}

// In split view the find commands and the lists that follow edits are of the tab whose pane has
// the keyboard, not of the active one.
TEST_F(FindReplaceTest, ListsAndSelectAllFollowThePaneWithTheKeyboard) {
    EditorTab second = untitledTab();
    second.document.text = QStringLiteral("ab ab ab");
    model->update([&](EditorWindowState& s) {
        s.tabs.append(second);
        s.split.splitMode = SplitEditorMode::Split;
        s.split.secondaryTabID = second.id;
    });
    type(QStringLiteral("ab"));
    model->setKeyboardInSecondPane(true);
    query(QStringLiteral("ab"));
    find().findAllInActiveTab();
    EXPECT_EQ(state().find.findResultsTotalCount, 3);
    ASSERT_FALSE(state().searchCenter.searchCenterDocumentResults.isEmpty());
    EXPECT_EQ(state().searchCenter.searchCenterDocumentResults.first().tabID, second.id);
    model->setTabText(second.id, QStringLiteral("ab ab ab ab"));
    waitForLists();
    EXPECT_EQ(state().find.findResultsTotalCount, 4);

    find().selectAllFindMatches();
    EXPECT_EQ(model->tab(second.id)->selectedRanges.size(), 4);
    EXPECT_EQ(active().selectedRanges.size(), 1);
    waitForLists();
    EXPECT_EQ(state().find.findResultsTotalCount, 4);
    EXPECT_EQ(message(), l("find.selected-all.format").arg(localizedCount(4, kCountedMatches)));
    // The first pane's tab has an answer of its own, or none.
    model->setKeyboardInSecondPane(false);
    EXPECT_TRUE(message().isEmpty());
}

} // namespace
} // namespace dunmoss::test
