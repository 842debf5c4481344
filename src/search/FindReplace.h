#pragma once

#include "search/FindStepRunner.h"
#include "text/TextSearch.h"
#include "window/EditorWindowState.h"

#include <QList>
#include <QString>
#include <exception>
#include <optional>

namespace dunmoss {

class EditorWindowModel;
struct EditorWindowState;

inline constexpr const char* kFindHistoryKey = "search.find-history.v1";
inline constexpr const char* kReplaceHistoryKey = "search.replace-history.v1";
inline constexpr int kFindHistoryLimit = 12;
// Find all lists at most this many matches, and still counts them all.
inline constexpr qsizetype kFindAllListLimit = 2000;

// Every match of the window's query in every tab, in tab order. Throws RegexError, Cancelled
// soon after `stop` is set.
QList<OpenDocumentSearchResult> searchOpenDocuments(const EditorWindowState& state,
                                                    const std::atomic<bool>* stop = nullptr);

// The find bar's operations on the tab whose pane has the keyboard and on all open tabs: next and
// previous with wrap-around, replace, replace all (one undo step), find all, find in open
// documents, mark all as bookmarks, select all, and the two histories. Each ends by writing the
// bar's status for that tab (FindBarStatus); refusals and errors go there too, never into an
// alert. Every command that searches does so on a pool thread and may end a moment later, on the
// tab it was given for (FindStepRunner). Select
// all sets the selections when its ranges arrive; its lists follow from a pool thread
// (FindResultsRefresh). Histories merge into the stored value shared by every window, not into
// this window's own list.
class FindReplace {
public:
    enum class Direction { Next, Previous };

    explicit FindReplace(EditorWindowModel& model) : m_model(model) {}

    void findInActiveTab(Direction direction);
    void replaceCurrentFindMatch();
    void replaceAllFindMatches();
    void findAllInActiveTab();
    void findInOpenDocuments();
    void markAllMatchesAsBookmarks();
    void selectAllFindMatches();

    // The bar's query (searched untrimmed), replacement and options; writing them searches
    // nothing.
    void setFindQuery(const QString& query);
    void setReplaceText(const QString& text);
    void setFindOptions(const TextSearchOptions& options);
    void setFocusedFindField(std::optional<FindField> field);

    void applyFindHistoryEntry(const QString& entry);
    void applyReplaceHistoryEntry(const QString& entry);
    void recordFindHistory();
    void recordReplaceHistory();
    // Start-up: both histories as stored.
    void loadHistories();

    void focusFindField();
    // Hides the bar and the search center and clears the status; query and results stay.
    void closeFindBar();

    // Throws RegexError. An empty query finds nothing.
    TextSearchMatches searchActiveTab(std::optional<qsizetype> maximum) const;
    // "Match n of m" for the range among the results (searched afresh when none are given).
    QString findStatusText(TextRange range, const std::optional<QList<TextRange>>& results,
                           std::optional<qsizetype> total) const;

private:
    using Outcome = FindStepRunner::Outcome;
    // Shows why the search failed, if it did.
    bool showsFailure(const Outcome& outcome);
    // Bookmarks the lines of the matches and lists them, or shows why there are none.
    void markAsBookmarks(const Outcome& outcome);
    // Replaces the selection when it is one of the ranges found, else steps to the next match.
    void replaceFoundMatch(const Outcome& outcome, const QString& replacement);
    // Selects the first match at or after the replacement, else the first one.
    void selectMatchAfter(TextRange inserted, const Outcome& outcome);
    void applyReplaceAll(const Outcome& outcome);
    void publishOpenDocumentResults(const Outcome& outcome);
    // The ranges of every non-empty match in the keyboard tab, without line numbers or previews
    // (stepping and replacing need nothing else). Throws RegexError.
    QList<TextRange> activeTabMatchRanges() const;
    // Stores the listed matches of the searched tab as find results and as the search center's
    // current-document list, shows the search center and records the run.
    void publishActiveTabResults(const Outcome& outcome, const TextSearchMatches& matches);
    // Selects the match after (or before) the selection among the ranges found, or shows why
    // there is none.
    void stepToMatch(Direction direction, const Outcome& outcome);
    // The status of the tab the command acts on, for the query it ran with.
    void report(const Outcome& asked, const QString& message);
    // The status of the keyboard tab, for the query of the bar.
    void setMessage(const QString& message);
    void recordHistory(const char* key, const QString& entry, bool isFind);
    bool activeTabIsReadOnly() const;

    EditorWindowModel& m_model;
};

} // namespace dunmoss
