#include "search/FindReplace.h"

#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "search/FindBarStatus.h"
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
    const EditorWindowState& state = m_model.state();
    reportFindStatus(m_model, keyboardTab(state).id, state.find.findQuery, state.find.findOptions,
                     message);
}

void FindReplace::report(const FindStepRunner::Outcome& asked, const QString& message) {
    reportFindStatus(m_model, asked.tabID, asked.query, asked.options, message);
}

bool FindReplace::activeTabIsReadOnly() const {
    return keyboardTab(m_model.state()).isReadOnly;
}

TextSearchMatches FindReplace::searchActiveTab(std::optional<qsizetype> maximum) const {
    const EditorWindowState& state = m_model.state();
    return findAllMatches(state.find.findQuery, keyboardTab(state).document.text,
                          state.find.findOptions, maximum);
}

QList<TextRange> FindReplace::activeTabMatchRanges() const {
    const EditorWindowState& state = m_model.state();
    QList<TextRange> ranges;
    if (state.find.findQuery.isEmpty())
        return ranges;
    const QString& content = keyboardTab(state).document.text;
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
    FindStepRunner::Request request;
    request.holdsInput = true;
    request.titleKey = direction == Direction::Next ? lkey("find.next") : lkey("find.previous");
    FindStepRunner::of(m_model).run(
        [&model, direction](const FindStepRunner::Outcome& outcome) {
            FindReplace(model).stepToMatch(direction, outcome);
        },
        request);
}

bool FindReplace::showsFailure(const FindStepRunner::Outcome& outcome) {
    if (!outcome.error)
        return false;
    try {
        std::rethrow_exception(outcome.error);
    } catch (const std::exception& thrown) {
        report(outcome, errorDisplayText(thrown));
    }
    return true;
}

void FindReplace::stepToMatch(Direction direction, const FindStepRunner::Outcome& outcome) {
    if (showsFailure(outcome))
        return;
    const QList<TextRange>& results = outcome.ranges;
    if (results.isEmpty()) {
        report(outcome,
               text(outcome.query.isEmpty() ? lkey("find.empty") : lkey("find.no-results")));
        return;
    }
    const std::optional<int> index = m_model.tabIndex(outcome.tabID);
    if (!index)
        return;
    const TextRange selection = m_model.state().tabs.at(*index).selectedRange;
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
    m_model.setSelection(chosen.location, chosen.length, *index);
    report(outcome, findStatusText(chosen, results, results.size()));
}

void FindReplace::replaceCurrentFindMatch() {
    if (activeTabIsReadOnly()) {
        setMessage(text(readOnlyEditBlockedKey(keyboardTab(m_model.state()))));
        return;
    }
    recordFindHistory();
    recordReplaceHistory();
    EditorWindowModel& model = m_model;
    FindStepRunner::Request request;
    request.replacesAll = false;
    request.holdsInput = true;
    request.titleKey = lkey("find.replace");
    request.progressKey = lkey("find.replacing");
    // The replacement as given now, whatever the field holds when the matches come.
    const QString replacement = m_model.state().find.replaceText;
    FindStepRunner::of(m_model).run(
        [&model, replacement](const FindStepRunner::Outcome& outcome) {
            FindReplace(model).replaceFoundMatch(outcome, replacement);
        },
        request);
}

void FindReplace::replaceFoundMatch(const FindStepRunner::Outcome& outcome,
                                    const QString& replacement) {
    if (showsFailure(outcome))
        return;
    const QList<TextRange>& results = outcome.ranges;
    if (results.isEmpty()) {
        report(outcome,
               text(outcome.query.isEmpty() ? lkey("find.empty") : lkey("find.no-results")));
        return;
    }
    const std::optional<int> index = m_model.tabIndex(outcome.tabID);
    if (!index)
        return;
    const EditorTab& tab = m_model.state().tabs.at(*index);
    const TextRange selection = tab.selectedRange;
    if (!results.contains(selection)) {
        stepToMatch(Direction::Next, outcome);
        return;
    }
    std::optional<TextEdit> edit;
    try {
        edit = replaceCurrentMatch(outcome.query, replacement, tab.document.text, selection,
                                   outcome.options);
    } catch (const std::exception& error) {
        report(outcome, errorDisplayText(error));
        return;
    }
    if (!edit) {
        stepToMatch(Direction::Next, outcome);
        return;
    }
    const TextRange inserted = edit->selection;
    if (!tab.isReadOnly)
        m_model.replaceTabText(*index, edit->text, inserted, QStringLiteral("find.replace"));
    report(outcome, text(lkey("find.replaced-one")));
    m_model.refreshFindResultsAfterEdit();
    // The match after the replacement, searched in the new text the same way.
    EditorWindowModel& model = m_model;
    FindStepRunner::Request request;
    request.holdsInput = true;
    request.titleKey = lkey("find.replace");
    request.progressKey = lkey("find.replacing");
    FindStepRunner::of(m_model).run(
        [&model, inserted](const FindStepRunner::Outcome& after) {
            FindReplace(model).selectMatchAfter(inserted, after);
        },
        request);
}

void FindReplace::selectMatchAfter(TextRange inserted, const FindStepRunner::Outcome& outcome) {
    if (showsFailure(outcome))
        return;
    const std::optional<int> index = m_model.tabIndex(outcome.tabID);
    if (!index)
        return;
    const QList<TextRange>& results = outcome.ranges;
    if (!results.isEmpty()) {
        const qsizetype end = inserted.location + inserted.length;
        const auto next = std::find_if(results.cbegin(), results.cend(),
                                       [end](const TextRange& r) { return r.location >= end; });
        const TextRange chosen = next == results.cend() ? results.first() : *next;
        m_model.setSelection(chosen.location, chosen.length, *index);
    }
    report(outcome, text(lkey("find.replaced-one")));
    m_model.persistSessionAfterEdit();
}

void FindReplace::replaceAllFindMatches() {
    if (activeTabIsReadOnly()) {
        setMessage(text(readOnlyEditBlockedKey(keyboardTab(m_model.state()))));
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
    request.holdsInput = true;
    request.titleKey = lkey("find.replace-all");
    request.progressKey = lkey("find.replacing");
    FindStepRunner::of(m_model).run(
        [&model](const FindStepRunner::Outcome& outcome) {
            FindReplace(model).applyReplaceAll(outcome);
        },
        request);
}

void FindReplace::applyReplaceAll(const FindStepRunner::Outcome& outcome) {
    if (showsFailure(outcome))
        return;
    const std::optional<int> index = m_model.tabIndex(outcome.tabID);
    if (!index)
        return;
    // All replacements are one undo step; the caret goes to the start.
    if (!m_model.state().tabs.at(*index).isReadOnly)
        m_model.replaceTabText(*index, outcome.replaced.text, TextRange{0, 0},
                               QStringLiteral("find.replace-all"));
    report(outcome, text(lkey("find.replaced-all.format"))
                        .arg(localizedCount(outcome.replaced.count, kCountedMatches)));
    m_model.refreshFindResultsAfterEdit();
    m_model.persistSession();
}

void FindReplace::publishActiveTabResults(const FindStepRunner::Outcome& outcome,
                                          const TextSearchMatches& matches) {
    FindResultsRefresh::of(m_model).cancel();
    const EditorTab* tab = m_model.tab(outcome.tabID);
    if (!tab)
        return;
    const QList<SearchCenterResult> centerResults =
        currentDocumentSearchCenterResults(*tab, matches.results);
    m_model.update([&](EditorWindowState& state) {
        state.find.findResults = matches.results;
        state.find.findResultsTotalCount = matches.totalCount;
        state.searchCenter.searchCenterDocumentResults = centerResults;
        state.searchCenter.noteSearched(SearchCenterScope::CurrentDocument);
        state.searchCenter.searchCenterScope = SearchCenterScope::CurrentDocument;
        state.searchCenter.showSearchCenter = true;
    });
    SearchCenter(m_model).recordSearchCenterRun(SearchCenterScope::CurrentDocument, outcome.query,
                                                centerResults);
}

void FindReplace::findAllInActiveTab() {
    recordFindHistory();
    EditorWindowModel& model = m_model;
    FindStepRunner::Request request;
    request.withLines = true;
    request.listLimit = kFindAllListLimit;
    request.titleKey = lkey("find.all");
    FindStepRunner::of(m_model).run(
        [&model](const FindStepRunner::Outcome& outcome) {
            FindReplace find(model);
            if (find.showsFailure(outcome))
                return;
            find.publishActiveTabResults(outcome, outcome.matches);
            find.report(outcome,
                        text(lkey("find.results.format"))
                            .arg(localizedCount(outcome.matches.totalCount, kCountedMatches)));
        },
        request);
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
    request.titleKey = lkey("find.open-documents");
    FindStepRunner::of(m_model).run(
        [&model](const FindStepRunner::Outcome& outcome) {
            FindReplace(model).publishOpenDocumentResults(outcome);
        },
        request);
}

void FindReplace::publishOpenDocumentResults(const FindStepRunner::Outcome& outcome) {
    if (showsFailure(outcome))
        return;
    const QList<OpenDocumentSearchResult>& results = outcome.openDocuments;
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
    SearchCenter(m_model).recordSearchCenterRun(SearchCenterScope::OpenDocuments, outcome.query,
                                                centerResults);
    report(outcome, text(lkey("find.open-documents.results.format"))
                        .arg(localizedCount(results.size(), kCountedMatches)));
}

void FindReplace::markAllMatchesAsBookmarks() {
    if (m_model.state().find.findQuery.isEmpty()) {
        setMessage(text(lkey("find.empty")));
        return;
    }
    recordFindHistory();
    EditorWindowModel& model = m_model;
    FindStepRunner::Request request;
    request.withLines = true;
    request.holdsInput = true;
    request.titleKey = lkey("find.mark-all");
    FindStepRunner::of(m_model).run(
        [&model](const FindStepRunner::Outcome& outcome) {
            FindReplace(model).markAsBookmarks(outcome);
        },
        request);
}

void FindReplace::markAsBookmarks(const FindStepRunner::Outcome& outcome) {
    if (showsFailure(outcome))
        return;
    const TextSearchMatches& matches = outcome.matches;
    if (matches.results.isEmpty()) {
        report(outcome, text(lkey("find.no-results")));
        return;
    }
    const std::optional<int> index = m_model.tabIndex(outcome.tabID);
    if (!index)
        return;
    std::set<int> lines;
    for (const TextSearchResult& match : matches.results)
        lines.insert(static_cast<int>(match.line));
    m_model.update([&](EditorWindowState& state) {
        state.tabs[*index].bookmarkedLines.insert(lines.cbegin(), lines.cend());
    });
    publishActiveTabResults(outcome, matches);
    report(outcome, text(lkey("find.marked-bookmarks.format"))
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
    FindStepRunner::Request request;
    request.holdsInput = true;
    request.titleKey = lkey("find.select-all");
    FindStepRunner::of(m_model).run(
        [&model](const FindStepRunner::Outcome& outcome) {
            FindReplace find(model);
            if (find.showsFailure(outcome))
                return;
            const QList<TextRange>& ranges = outcome.ranges;
            if (ranges.isEmpty()) {
                find.report(outcome, text(lkey("find.no-results")));
                return;
            }
            const std::optional<int> index = model.tabIndex(outcome.tabID);
            if (!index)
                return;
            model.setSelectedRanges(ranges, *index);
            FindResultsRefresh::of(model).listEveryMatch(outcome.tabID, outcome.query,
                                                         outcome.options);
            find.report(outcome, text(lkey("find.selected-all.format"))
                                     .arg(localizedCount(ranges.size(), kCountedMatches)));
        },
        request);
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
        state.find.reports.clear();
    });
}

} // namespace dunmoss
