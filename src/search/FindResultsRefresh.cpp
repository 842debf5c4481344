#include "search/FindResultsRefresh.h"

#include "platform/MainThreadMailbox.h"
#include "platform/ReleaseAside.h"
#include "search/FindReplace.h"
#include "search/SearchCenter.h"
#include "search/SearchCenterResults.h"
#include "window/WindowDerivedValues.h"

#include <QThreadPool>

namespace dunmoss {

struct FindResultsRefresh::Lists {
    bool active = false;
    bool activeToCenter = false;
    bool open = false;
    bool openToCenter = false;
    QUuid activeTabID;
    QString query;
    TextSearchOptions options;

    bool any() const { return active || open; }
    friend bool operator==(const Lists&, const Lists&) = default;
};

struct FindResultsRefresh::Outcome {
    TextSearchMatches matches;
    QList<SearchCenterResult> activeCenter;
    QList<OpenDocumentSearchResult> open;
    QList<SearchCenterResult> openCenter;
    bool activeRanAway = false;
    bool openRanAway = false;
    // Stopped before it was done: nothing in it may be shown.
    bool stopped = false;
};

namespace {

bool isTimeout(const std::exception& error) {
    const auto* regex = dynamic_cast<const RegexError*>(&error);
    return regex && regex->isTimeout();
}

bool isCancellation(const std::exception& error) {
    const auto* regex = dynamic_cast<const RegexError*>(&error);
    return regex && regex->isCancelled();
}

} // namespace

FindResultsRefresh& FindResultsRefresh::of(EditorWindowModel& model) {
    if (FindResultsRefresh* existing = model.attachment<FindResultsRefresh>())
        return *existing;
    auto made = std::make_unique<FindResultsRefresh>(model);
    FindResultsRefresh& refresh = *made;
    model.attach(std::move(made));
    return refresh;
}

FindResultsRefresh::FindResultsRefresh(EditorWindowModel& model)
    : m_model(model), m_mailbox(MainThreadMailbox::make(this)) {
    m_pause.setSingleShot(true);
    m_pause.setInterval(kPauseMilliseconds);
    connect(&m_pause, &QTimer::timeout, this, &FindResultsRefresh::start);
}

FindResultsRefresh::~FindResultsRefresh() {
    stopRunningSearch();
    m_mailbox->close();
}

void FindResultsRefresh::stopRunningSearch() {
    if (m_stop)
        m_stop->store(true);
    if (m_listStop)
        m_listStop->store(true);
}

FindResultsRefresh::Lists FindResultsRefresh::listsOnShow() const {
    const EditorWindowState& state = m_model.state();
    const bool centerShown = state.searchCenter.showSearchCenter;
    const SearchCenterScope scope = state.searchCenter.searchCenterScope;
    Lists lists;
    lists.activeToCenter = centerShown && scope == SearchCenterScope::CurrentDocument;
    lists.active = state.find.showFindResults || lists.activeToCenter;
    lists.openToCenter = centerShown && scope == SearchCenterScope::OpenDocuments;
    lists.open = state.find.showOpenDocumentSearchResults || lists.openToCenter;
    lists.activeTabID = keyboardTab(state).id;
    lists.query = state.find.findQuery;
    lists.options = state.find.findOptions;
    return lists;
}

void FindResultsRefresh::schedule() {
    ++m_generation;
    // The search under way reads texts that are now old.
    stopRunningSearch();
    if (!listsOnShow().any()) {
        m_pause.stop();
        return;
    }
    m_pause.start();
}

void FindResultsRefresh::cancel() {
    m_droppedUpTo = m_generation;
    m_pause.stop();
    m_rerun = false;
    stopRunningSearch();
}

void FindResultsRefresh::start() {
    if (m_running) {
        m_rerun = true;
        return;
    }
    const Lists lists = listsOnShow();
    if (!lists.any())
        return;
    const Runaway key{lists.query, lists.options};
    if (m_runawayActive && *m_runawayActive != key)
        m_runawayActive.reset();
    if (m_runawayOpen && *m_runawayOpen != key)
        m_runawayOpen.reset();
    // A list whose expression already ran past its bound is emptied without searching.
    const bool searchActive = lists.active && !m_runawayActive;
    const bool searchOpen = lists.open && !m_runawayOpen;
    if (!searchActive && !searchOpen) {
        apply(lists, Outcome{});
        return;
    }
    m_running = true;
    m_stop = std::make_shared<std::atomic<bool>>(false);
    const quint64 generation = m_generation;
    // Implicitly shared: the copy costs nothing, and edits meanwhile replace the model's texts
    // rather than change these.
    EditorWindowState snapshot = m_model.state();
    QThreadPool::globalInstance()->start([this, mailbox = m_mailbox, snapshot = std::move(snapshot),
                                          lists, searchActive, searchOpen, generation,
                                          stop = m_stop, hook = beforeSearch] {
        if (hook)
            hook();
        Outcome outcome;
        if (searchActive) {
            try {
                outcome.matches = findAllMatches(lists.query, keyboardTab(snapshot).document.text,
                                                 lists.options, kFindAllListLimit, stop.get());
            } catch (const std::exception& error) {
                outcome.stopped = isCancellation(error);
                outcome.activeRanAway = isTimeout(error);
                outcome.matches = {};
            }
            if (lists.activeToCenter && !outcome.stopped)
                outcome.activeCenter =
                    currentDocumentSearchCenterResults(snapshot, outcome.matches.results);
        }
        if (searchOpen && !outcome.stopped) {
            try {
                outcome.open = searchOpenDocuments(snapshot, stop.get());
            } catch (const std::exception& error) {
                outcome.stopped = isCancellation(error);
                outcome.openRanAway = isTimeout(error);
                outcome.open.clear();
            }
            if (lists.openToCenter && !outcome.stopped)
                outcome.openCenter = openDocumentSearchCenterResults(snapshot, outcome.open);
        }
        mailbox->post([this, generation, lists, outcome = std::move(outcome)] {
            finish(generation, lists, outcome);
        });
    });
}

void FindResultsRefresh::listEveryMatch(const QUuid& tabID, const QString& query,
                                        const TextSearchOptions& options) {
    cancel();
    const EditorTab* tab = m_model.tab(tabID);
    if (!tab)
        return;
    // Edits, cancels and lists after this one count past it.
    const quint64 generation = ++m_generation;
    Lists lists;
    lists.active = true;
    lists.activeToCenter = true;
    lists.activeTabID = tabID;
    lists.query = query;
    lists.options = options;
    m_model.update([](EditorWindowState& state) {
        state.find.findResults.clear();
        state.find.findResultsTotalCount = 0;
        state.searchCenter.searchCenterDocumentResults.clear();
        state.searchCenter.searchCenterScope = SearchCenterScope::CurrentDocument;
        state.searchCenter.showSearchCenter = true;
    });
    m_listing = true;
    m_listingGeneration = generation;
    m_listStop = std::make_shared<std::atomic<bool>>(false);
    QThreadPool::globalInstance()->start([this, mailbox = m_mailbox, tab = *m_model.tab(tabID),
                                          lists, generation, stop = m_listStop] {
        Outcome outcome;
        try {
            outcome.matches = findAllMatches(lists.query, tab.document.text, lists.options,
                                             std::nullopt, stop.get());
            outcome.activeCenter = currentDocumentSearchCenterResults(tab, outcome.matches.results);
        } catch (const std::exception&) {
            // Stopped, or past the work bound the search before the selections stayed within.
            outcome.stopped = true;
        }
        mailbox->post([this, generation, lists, outcome = std::move(outcome)] {
            finishListing(generation, lists, outcome);
        });
    });
}

void FindResultsRefresh::finishListing(quint64 generation, const Lists& lists,
                                       const Outcome& outcome) {
    if (generation == m_listingGeneration) {
        m_listing = false;
        m_listStop.reset();
    }
    // An edit, a cancel or another list came meanwhile.
    if (generation != m_generation || generation <= m_droppedUpTo || outcome.stopped)
        return;
    const EditorWindowState& state = m_model.state();
    if (keyboardTab(state).id != lists.activeTabID || state.find.findQuery != lists.query ||
        state.find.findOptions != lists.options)
        return;
    m_model.update([&](EditorWindowState& s) {
        s.find.findResults = outcome.matches.results;
        s.find.findResultsTotalCount = outcome.matches.totalCount;
        s.searchCenter.searchCenterDocumentResults = outcome.activeCenter;
    });
    SearchCenter(m_model).recordSearchCenterRun(SearchCenterScope::CurrentDocument, lists.query,
                                                outcome.activeCenter);
}

void FindResultsRefresh::finish(quint64 generation, const Lists& lists, const Outcome& outcome) {
    m_running = false;
    m_stop.reset();
    const bool rerun = std::exchange(m_rerun, false);
    const Runaway key{lists.query, lists.options};
    if (outcome.activeRanAway)
        m_runawayActive = key;
    if (outcome.openRanAway)
        m_runawayOpen = key;
    if (generation <= m_droppedUpTo)
        return;
    if (generation != m_generation || outcome.stopped) {
        // Edited meanwhile: search the newer texts once their pause is over.
        if (rerun)
            start();
        return;
    }
    if (listsOnShow() == lists)
        apply(lists, outcome);
}

void FindResultsRefresh::apply(const Lists& lists, const Outcome& outcome) {
    // The lists replaced may hold a hundred thousand results: let go of them aside.
    Outcome replaced;
    m_model.update([&](EditorWindowState& state) {
        if (lists.active) {
            replaced.matches.results =
                std::exchange(state.find.findResults, outcome.matches.results);
            state.find.findResultsTotalCount = outcome.matches.totalCount;
            if (lists.activeToCenter)
                replaced.activeCenter = std::exchange(
                    state.searchCenter.searchCenterDocumentResults, outcome.activeCenter);
        }
        if (lists.open) {
            replaced.open = std::exchange(state.find.openDocumentSearchResults, outcome.open);
            if (lists.openToCenter)
                replaced.openCenter = std::exchange(
                    state.searchCenter.searchCenterOpenDocumentResults, outcome.openCenter);
        }
    });
    releaseAside(std::move(replaced));
}

} // namespace dunmoss
