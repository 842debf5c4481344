#pragma once

#include "text/TextSearch.h"
#include "window/EditorWindowModel.h"

#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace dunmoss {

class MainThreadMailbox;

// Keeps the result lists on screen (the find results, the open-document results and the search
// center's live list) in step with edits, without making typing wait. An edit only restarts a
// short pause; after it the query runs on a pool thread over the texts as they were then, and
// its results replace the lists unless a newer edit came meanwhile (then it runs again), or the
// keyboard tab (the one the lists are of), the query, the options or the lists on show changed
// (then the results are dropped). One search runs at a time; a newer edit, a cancel or the window's
// end stops it soon, and a stopped search changes no list. An expression that ran past its work
// bound is not run again for that list until the query or the options change: the list stays empty,
// as after any failing search. Results, identifiers and order are those of a search run at the
// edit.
class FindResultsRefresh : public QObject, public WindowAttachment {
    Q_OBJECT
public:
    // The window's refresh, attached on first use.
    static FindResultsRefresh& of(EditorWindowModel& model);

    explicit FindResultsRefresh(EditorWindowModel& model);
    ~FindResultsRefresh() override;

    // After an edit of a tab's text.
    void schedule();
    // Drops a refresh that waits or runs: the lists were just filled afresh.
    void cancel();
    // Every match of the tab for the query as the find results and the search center's list,
    // shown, with the run recorded: what Select All lists once it has set the selections. The
    // search and the list are built on a pool thread; the lists are emptied meanwhile. An edit,
    // another list, or a change of the keyboard tab, the query or the options before it is done
    // drops it, leaving the lists to the refresh after edits.
    void listEveryMatch(const QUuid& tabID, const QString& query, const TextSearchOptions& options);
    // True while a refresh waits for its pause or runs, or a list of every match is built.
    bool isPending() const { return m_pause.isActive() || m_running || m_listing; }

    static constexpr int kPauseMilliseconds = 120;

    // Testing hook, empty in the program: called on the worker before each search.
    std::function<void()> beforeSearch;

private:
    struct Lists;
    struct Outcome;
    Lists listsOnShow() const;
    void start();
    void finish(quint64 generation, const Lists& lists, const Outcome& outcome);
    void stopRunningSearch();
    void apply(const Lists& lists, const Outcome& outcome);
    void finishListing(quint64 generation, const Lists& lists, const Outcome& outcome);

    EditorWindowModel& m_model;
    std::shared_ptr<MainThreadMailbox> m_mailbox;
    QTimer m_pause;
    // Counts edits; a search carries the count it started at.
    quint64 m_generation = 0;
    // Results of searches started at or before this count are dropped.
    quint64 m_droppedUpTo = 0;
    bool m_running = false;
    bool m_rerun = false;
    // Set to stop the search under way; each search has its own.
    std::shared_ptr<std::atomic<bool>> m_stop;
    // The list of every match under way, and what stops it.
    bool m_listing = false;
    quint64 m_listingGeneration = 0;
    std::shared_ptr<std::atomic<bool>> m_listStop;
    // The query and options that ran past the work bound, per list.
    struct Runaway {
        QString query;
        TextSearchOptions options;
        friend bool operator==(const Runaway&, const Runaway&) = default;
    };
    std::optional<Runaway> m_runawayActive;
    std::optional<Runaway> m_runawayOpen;
};

} // namespace dunmoss
