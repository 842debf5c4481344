#include "search/FindReplace.h"

#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "search/FindResultsRefresh.h"
#include "search/FindStepRunner.h"
#include "search/SearchCenter.h"
#include "search/SearchCenterResults.h"
#include "text/SearchScanner.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"
#include "window/WindowErrors.h"

#include <algorithm>
#include <set>

namespace dunmoss {

namespace {

QString text(const char* key) {
    return localizedString(QString::fromLatin1(key));
}

} // namespace

void FindReplace::setMessage(const QString& message) {
    m_model.setFindMessage(message);
}

bool FindReplace::activeTabIsReadOnly() const {
    return activeTab(m_model.state()).isReadOnly;
}

TextSearchMatches FindReplace::searchActiveTab(std::optional<qsizetype> maximum) const {
    const EditorWindowState& state = m_model.state();
    return findAllMatches(state.find.findQuery, activeTab(state).document.text,
                          state.find.findOptions, maximum);
}

QList<TextRange> FindReplace::activeTabMatchRanges() const {
    const EditorWindowState& state = m_model.state();
    QList<TextRange> ranges;
    if (state.find.findQuery.isEmpty())
        return ranges;
    const QString& content = activeTab(state).document.text;
    SearchScanner scanner(state.find.findQuery, content, state.find.findOptions);
    while (scanner.next())
        if (scanner.range().length > 0)
            ranges.append(scanner.range());
    return ranges;
}

QString FindReplace::findStatusText(TextRange range, const std::optional<QList<TextRange>>& results,
                                    std::optional<qsizetype> total) const {
    QList<TextRange> found;
    if (results) {
        found = *results;
    } else {
        try {
            found = activeTabMatchRanges();
        } catch (const std::exception&) {
            found.clear();
        }
    }
    if (found.isEmpty())
        return text(lkey("find.no-results"));
    const qsizetype position = std::max<qsizetype>(found.indexOf(range), 0);
    return text(lkey("find.match.format"))
        .arg(QString::number(position + 1), QString::number(total.value_or(found.size())));
}

void FindReplace::findInActiveTab(Direction direction) {
    recordFindHistory();
    // Searched on a pool thread: an expression that backtracks without end does not hold up
    // the window, and the step follows when its ranges arrive.
    EditorWindowModel& model = m_model;
    FindStepRunner::of(m_model).run([&model, direction](const FindStepRunner::Outcome& outcome) {
        FindReplace(model).stepToMatch(direction, outcome.ranges, outcome.error);
    });
}

bool FindReplace::showsFailure(const std::exception_ptr& error) {
    if (!error)
        return false;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& thrown) {
        setMessage(errorDisplayText(thrown));
    }
    return true;
}

void FindReplace::stepToMatch(Direction direction, const QList<TextRange>& results,
                              const std::exception_ptr& error) {
    if (showsFailure(error))
        return;
    if (results.isEmpty()) {
        setMessage(text(m_model.state().find.findQuery.isEmpty() ? lkey("find.empty")
                                                                 : lkey("find.no-results")));
        return;
    }
    const int index = m_model.activeTabIndex();
    const TextRange selection = m_model.state().tabs.at(index).selectedRange;
    TextRange chosen;
    if (direction == Direction::Previous) {
        // The last match starting before the selection, else the last one.
        const auto after = std::lower_bound(
            results.cbegin(), results.cend(), selection.location,
            [](const TextRange& r, qsizetype location) { return r.location < location; });
        chosen = after == results.cbegin() ? results.last() : *(after - 1);
    } else {
        const qsizetype end = selection.location + selection.length;
        const auto next = std::lower_bound(
            results.cbegin(), results.cend(), end,
            [](const TextRange& r, qsizetype location) { return r.location < location; });
        chosen = next == results.cend() ? results.first() : *next;
    }
    m_model.setSelection(chosen.location, chosen.length, index);
    setMessage(findStatusText(chosen, results, results.size()));
}

void FindReplace::replaceCurrentFindMatch() {
    if (activeTabIsReadOnly()) {
        setMessage(text(lkey("large-file.read-only-edit-blocked")));
        return;
    }
    recordFindHistory();
    recordReplaceHistory();
    EditorWindowModel& model = m_model;
    FindStepRunner::of(m_model).run([&model](const FindStepRunner::Outcome& outcome) {
        FindReplace(model).replaceFoundMatch(outcome.ranges, outcome.error);
    });
}

void FindReplace::replaceFoundMatch(const QList<TextRange>& results,
                                    const std::exception_ptr& error) {
    if (showsFailure(error))
        return;
    if (results.isEmpty()) {
        setMessage(text(m_model.state().find.findQuery.isEmpty() ? lkey("find.empty")
                                                                 : lkey("find.no-results")));
        return;
    }
    const FindState& find = m_model.state().find;
    const int index = m_model.activeTabIndex();
    const TextRange selection = m_model.state().tabs.at(index).selectedRange;
    if (!results.contains(selection)) {
        findInActiveTab(Direction::Next);
        return;
    }
    std::optional<TextEdit> edit;
    try {
        edit = replaceCurrentMatch(find.findQuery, find.replaceText,
                                   m_model.state().tabs.at(index).document.text, selection,
                                   find.findOptions);
    } catch (const std::exception& error) {
        setMessage(errorDisplayText(error));
        return;
    }
    if (!edit) {
        findInActiveTab(Direction::Next);
        return;
    }
    const TextRange inserted = edit->selection;
    if (!m_model.state().tabs.at(index).isReadOnly)
        m_model.replaceTabText(index, edit->text, inserted, QStringLiteral("find.replace"));
    setMessage(text(lkey("find.replaced-one")));
    m_model.refreshFindResultsAfterEdit();
    // The match after the replacement, searched in the new text the same way.
    EditorWindowModel& model = m_model;
    FindStepRunner::of(m_model).run([&model, inserted](const FindStepRunner::Outcome& outcome) {
        FindReplace(model).selectMatchAfter(inserted, outcome.ranges, outcome.error);
    });
}

void FindReplace::selectMatchAfter(TextRange inserted, const QList<TextRange>& results,
                                   const std::exception_ptr& error) {
    if (showsFailure(error))
        return;
    if (!results.isEmpty()) {
        const qsizetype end = inserted.location + inserted.length;
        const auto next = std::find_if(results.cbegin(), results.cend(),
                                       [end](const TextRange& r) { return r.location >= end; });
        const TextRange chosen = next == results.cend() ? results.first() : *next;
        m_model.setSelection(chosen.location, chosen.length, m_model.activeTabIndex());
    }
    m_model.persistSession();
}

void FindReplace::replaceAllFindMatches() {
    if (activeTabIsReadOnly()) {
        setMessage(text(lkey("large-file.read-only-edit-blocked")));
        return;
    }
    if (m_model.state().find.findQuery.isEmpty()) {
        setMessage(text(lkey("find.empty")));
        return;
    }
    recordFindHistory();
    recordReplaceHistory();
    EditorWindowModel& model = m_model;
    FindStepRunner::Request request;
    request.replacesAll = true;
    FindStepRunner::of(m_model).run(
        [&model](const FindStepRunner::Outcome& outcome) {
            FindReplace(model).applyReplaceAll(outcome.replaced, outcome.error);
        },
        request);
}

void FindReplace::applyReplaceAll(const TextReplaceAllResult& replaced,
                                  const std::exception_ptr& error) {
    if (showsFailure(error))
        return;
    // All replacements are one undo step; the caret goes to the start.
    const int index = m_model.activeTabIndex();
    if (!m_model.state().tabs.at(index).isReadOnly)
        m_model.replaceTabText(index, replaced.text, TextRange{0, 0},
                               QStringLiteral("find.replace-all"));
    setMessage(text(lkey("find.replaced-all.format"))
                   .arg(localizedCount(replaced.count, kCountedMatches)));
    m_model.refreshFindResultsAfterEdit();
    m_model.persistSession();
}

void FindReplace::publishActiveTabResults(const TextSearchMatches& matches) {
    FindResultsRefresh::of(m_model).cancel();
    const QList<SearchCenterResult> centerResults =
        currentDocumentSearchCenterResults(m_model.state(), matches.results);
    m_model.update([&](EditorWindowState& state) {
        state.find.findResults = matches.results;
        state.find.findResultsTotalCount = matches.totalCount;
        state.searchCenter.searchCenterDocumentResults = centerResults;
        state.searchCenter.noteSearched(SearchCenterScope::CurrentDocument);
        state.searchCenter.searchCenterScope = SearchCenterScope::CurrentDocument;
        state.searchCenter.showSearchCenter = true;
    });
    SearchCenter(m_model).recordSearchCenterRun(SearchCenterScope::CurrentDocument,
                                                m_model.state().find.findQuery, centerResults);
}

void FindReplace::findAllInActiveTab() {
    recordFindHistory();
    EditorWindowModel& model = m_model;
    FindStepRunner::of(m_model).run(
        [&model](const FindStepRunner::Outcome& outcome) {
            FindReplace find(model);
            if (find.showsFailure(outcome.error))
                return;
            find.publishActiveTabResults(outcome.matches);
            find.setMessage(text(lkey("find.results.format"))
                                .arg(localizedCount(outcome.matches.totalCount, kCountedMatches)));
        },
        {true, kFindAllListLimit});
}

QList<OpenDocumentSearchResult> searchOpenDocuments(const EditorWindowState& state,
                                                    const std::atomic<bool>* stop) {
    QList<OpenDocumentSearchResult> results;
    if (state.find.findQuery.isEmpty())
        return results;
    for (const EditorTab& tab : state.tabs) {
        if (stop && stop->load(std::memory_order_relaxed))
            throw RegexError(RegexError::Kind::Cancelled, state.find.findQuery, QString());
        const TextSearchMatches matches = findAllMatches(
            state.find.findQuery, tab.document.text, state.find.findOptions, std::nullopt, stop);
        const QString title = displayTitle(tab);
        for (const TextSearchResult& match : matches.results)
            results.append(OpenDocumentSearchResult{match.id, tab.id, title, match.range,
                                                    match.line, match.column, match.preview});
    }
    return results;
}

void FindReplace::findInOpenDocuments() {
    if (m_model.state().find.findQuery.isEmpty()) {
        setMessage(text(lkey("find.empty")));
        return;
    }
    recordFindHistory();
    EditorWindowModel& model = m_model;
    FindStepRunner::Request request;
    request.inAllTabs = true;
    FindStepRunner::of(m_model).run(
        [&model](const FindStepRunner::Outcome& outcome) {
            FindReplace(model).publishOpenDocumentResults(outcome.openDocuments, outcome.error);
        },
        request);
}

void FindReplace::publishOpenDocumentResults(const QList<OpenDocumentSearchResult>& results,
                                             const std::exception_ptr& error) {
    if (showsFailure(error))
        return;
    FindResultsRefresh::of(m_model).cancel();
    const QList<SearchCenterResult> centerResults =
        openDocumentSearchCenterResults(m_model.state(), results);
    m_model.update([&](EditorWindowState& state) {
        state.find.openDocumentSearchResults = results;
        state.searchCenter.searchCenterOpenDocumentResults = centerResults;
        state.searchCenter.noteSearched(SearchCenterScope::OpenDocuments);
        state.searchCenter.searchCenterScope = SearchCenterScope::OpenDocuments;
        state.searchCenter.showSearchCenter = true;
    });
    SearchCenter(m_model).recordSearchCenterRun(SearchCenterScope::OpenDocuments,
                                                m_model.state().find.findQuery, centerResults);
    setMessage(text(lkey("find.open-documents.results.format"))
                   .arg(localizedCount(results.size(), kCountedMatches)));
}

void FindReplace::markAllMatchesAsBookmarks() {
    if (m_model.state().find.findQuery.isEmpty()) {
        setMessage(text(lkey("find.empty")));
        return;
    }
    recordFindHistory();
    EditorWindowModel& model = m_model;
    FindStepRunner::of(m_model).run(
        [&model](const FindStepRunner::Outcome& outcome) {
            FindReplace(model).markAsBookmarks(outcome.matches, outcome.error);
        },
        {true, std::nullopt});
}

void FindReplace::markAsBookmarks(const TextSearchMatches& matches,
                                  const std::exception_ptr& error) {
    if (showsFailure(error))
        return;
    if (matches.results.isEmpty()) {
        setMessage(text(lkey("find.no-results")));
        return;
    }
    std::set<int> lines;
    for (const TextSearchResult& match : matches.results)
        lines.insert(static_cast<int>(match.line));
    const int index = m_model.activeTabIndex();
    m_model.update([&](EditorWindowState& state) {
        state.tabs[index].bookmarkedLines.insert(lines.cbegin(), lines.cend());
    });
    publishActiveTabResults(matches);
    setMessage(text(lkey("find.marked-bookmarks.format"))
                   .arg(localizedCount(qint64(lines.size()), kCountedLines),
                        localizedCount(matches.results.size(), kCountedMatches)));
    m_model.persistSession();
}

void FindReplace::selectAllFindMatches() {
    if (m_model.state().find.findQuery.isEmpty()) {
        setMessage(text(lkey("find.empty")));
        return;
    }
    recordFindHistory();
    // The selections need only the ranges; lines and previews for the lists are made on a pool
    // thread afterwards, so tens of thousands of matches do not hold up the window.
    EditorWindowModel& model = m_model;
    FindStepRunner::of(m_model).run([&model](const FindStepRunner::Outcome& outcome) {
        FindReplace find(model);
        if (find.showsFailure(outcome.error))
            return;
        const QList<TextRange>& ranges = outcome.ranges;
        if (ranges.isEmpty()) {
            find.setMessage(text(lkey("find.no-results")));
            return;
        }
        model.setSelectedRanges(ranges, model.activeTabIndex());
        FindResultsRefresh::of(model).listEveryActiveTabMatch();
        find.setMessage(text(lkey("find.selected-all.format"))
                            .arg(localizedCount(ranges.size(), kCountedMatches)));
    });
}

void FindReplace::setFindQuery(const QString& query) {
    m_model.update([&](EditorWindowState& state) { state.find.findQuery = query; });
}

void FindReplace::setReplaceText(const QString& replacement) {
    m_model.update([&](EditorWindowState& state) { state.find.replaceText = replacement; });
}

void FindReplace::setFindOptions(const TextSearchOptions& options) {
    m_model.update([&](EditorWindowState& state) { state.find.findOptions = options; });
}

void FindReplace::setFocusedFindField(std::optional<FindField> field) {
    m_model.update([&](EditorWindowState& state) { state.find.focusedFindField = field; });
}

void FindReplace::applyFindHistoryEntry(const QString& entry) {
    m_model.update([&](EditorWindowState& state) {
        state.find.findQuery = entry;
        state.find.focusedFindField = FindField::Query;
    });
    m_model.refreshFindResultsAfterEdit();
}

void FindReplace::applyReplaceHistoryEntry(const QString& entry) {
    m_model.update([&](EditorWindowState& state) {
        state.find.replaceText = entry;
        state.find.focusedFindField = FindField::Replace;
    });
}

void FindReplace::recordHistory(const char* key, const QString& entry, bool isFind) {
    Defaults& defaults = m_model.defaults();
    const QString storedKey = QString::fromLatin1(key);
    const QStringList stored = defaults.stringList(storedKey).value_or(QStringList());
    const QStringList updated = updatedHistory(stored, entry, kFindHistoryLimit);
    defaults.setValue(storedKey, updated);
    m_model.update([&](EditorWindowState& state) {
        (isFind ? state.find.findHistory : state.find.replaceHistory) = updated;
    });
}

void FindReplace::recordFindHistory() {
    recordHistory(kFindHistoryKey, m_model.state().find.findQuery, true);
}

void FindReplace::recordReplaceHistory() {
    recordHistory(kReplaceHistoryKey, m_model.state().find.replaceText, false);
}

void FindReplace::loadHistories() {
    const Defaults& defaults = m_model.defaults();
    const QStringList find =
        defaults.stringList(QString::fromLatin1(kFindHistoryKey)).value_or(QStringList());
    const QStringList replace =
        defaults.stringList(QString::fromLatin1(kReplaceHistoryKey)).value_or(QStringList());
    m_model.update([&](EditorWindowState& state) {
        state.find.findHistory = find;
        state.find.replaceHistory = replace;
    });
}

void FindReplace::focusFindField() {
    setFocusedFindField(FindField::Query);
}

void FindReplace::closeFindBar() {
    m_model.update([](EditorWindowState& state) {
        state.find.showFindBar = false;
        state.searchCenter.showSearchCenter = false;
        state.findMessage.clear();
    });
}

} // namespace dunmoss
