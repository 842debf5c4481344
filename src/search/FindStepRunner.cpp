#include "search/FindStepRunner.h"

#include "platform/MainThreadMailbox.h"
#include "search/FindReplace.h"
#include "text/SearchScanner.h"
#include "window/WindowDerivedValues.h"

#include <QThreadPool>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace dunmoss {

// One search, shared by the worker and the main thread: whichever of the short wait and the
// posted hand-over takes the outcome first runs the step.
struct FindStepRunner::Search {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool taken = false;
    Outcome outcome;
};

FindStepRunner& FindStepRunner::of(EditorWindowModel& model) {
    if (FindStepRunner* existing = model.attachment<FindStepRunner>())
        return *existing;
    auto made = std::make_unique<FindStepRunner>(model);
    FindStepRunner& runner = *made;
    model.attach(std::move(made));
    return runner;
}

FindStepRunner::FindStepRunner(EditorWindowModel& model)
    : m_model(model), m_mailbox(MainThreadMailbox::make(this)) {
    connect(&model, &EditorWindowModel::changed, this, &FindStepRunner::dropIfOutdated);
}

FindStepRunner::~FindStepRunner() {
    if (m_stop)
        m_stop->store(true);
    m_mailbox->close();
}

FindStepRunner::Key FindStepRunner::currentKey(const Request& request) const {
    const EditorWindowState& state = m_model.state();
    const EditorTab& tab = activeTab(state);
    Key key{tab.id, tab.document.text, state.find.findQuery, state.find.findOptions, {}, {}};
    if (request.replacesAll)
        key.replacement = state.find.replaceText;
    if (request.inAllTabs)
        for (const EditorTab& each : state.tabs)
            key.tabs.append({each.id, each.document.text});
    return key;
}

namespace {

// Shared texts only change by being replaced, so the same data means the same text and the
// full comparison is left for when an edit may have happened.
bool sameData(const QString& a, const QString& b) {
    return a.constData() == b.constData() && a.size() == b.size();
}

} // namespace

void FindStepRunner::dropIfOutdated() {
    if (!m_pending)
        return;
    const EditorWindowState& state = m_model.state();
    const EditorTab& tab = activeTab(state);
    bool same =
        tab.id == m_pendingKey.tabID && sameData(tab.document.text, m_pendingKey.text) &&
        state.find.findQuery == m_pendingKey.query &&
        state.find.findOptions == m_pendingKey.options &&
        (!m_pendingRequest.replacesAll || state.find.replaceText == m_pendingKey.replacement);
    if (same && m_pendingRequest.inAllTabs) {
        same = state.tabs.size() == m_pendingKey.tabs.size();
        for (qsizetype i = 0; same && i < state.tabs.size(); ++i)
            same = state.tabs.at(i).id == m_pendingKey.tabs.at(i).first &&
                   sameData(state.tabs.at(i).document.text, m_pendingKey.tabs.at(i).second);
    }
    if (same || currentKey(m_pendingRequest) == m_pendingKey)
        return;
    if (m_stop)
        m_stop->store(true);
    m_stop.reset();
    ++m_generation;
    m_pending = false;
    m_pendingKey = {};
}

void FindStepRunner::run(Step step) {
    run(std::move(step), Request());
}

void FindStepRunner::run(Step step, Request request) {
    // The step before this one is no longer wanted.
    if (m_stop)
        m_stop->store(true);
    const quint64 generation = ++m_generation;
    m_stop = std::make_shared<std::atomic<bool>>(false);
    m_pending = true;
    // Implicitly shared: edits meanwhile replace the model's text rather than change this one.
    const Key key = currentKey(request);
    m_pendingKey = key;
    m_pendingRequest = request;
    auto search = std::make_shared<Search>();
    std::shared_ptr<const EditorWindowState> snapshot;
    if (request.inAllTabs)
        snapshot = std::make_shared<const EditorWindowState>(m_model.state());
    QThreadPool::globalInstance()->start([this, mailbox = m_mailbox, key, search, stop = m_stop,
                                          generation, step, request, snapshot] {
        Outcome outcome;
        try {
            if (request.inAllTabs) {
                outcome.openDocuments = searchOpenDocuments(*snapshot, stop.get());
            } else if (request.replacesAll) {
                outcome.replaced = replaceAllMatches(key.query, key.replacement, key.text,
                                                     key.options, stop.get());
            } else if (request.withLines) {
                outcome.matches =
                    findAllMatches(key.query, key.text, key.options, request.listLimit, stop.get());
            } else if (!key.query.isEmpty()) {
                SearchScanner scanner(key.query, key.text, key.options);
                scanner.stopWhenSet(*stop);
                while (scanner.next())
                    if (scanner.range().length > 0)
                        outcome.ranges.append(scanner.range());
            }
        } catch (...) {
            outcome.error = std::current_exception();
            outcome.ranges.clear();
            outcome.matches = {};
            outcome.replaced = {};
            outcome.openDocuments.clear();
        }
        {
            std::lock_guard lock(search->mutex);
            search->outcome = std::move(outcome);
            search->finished = true;
        }
        search->done.notify_all();
        mailbox->post(
            [this, generation, key, search, step] { finish(generation, key, search, step); });
    });
    {
        std::unique_lock lock(search->mutex);
        if (!search->done.wait_for(lock, std::chrono::milliseconds(waitMilliseconds),
                                   [&] { return search->finished; }))
            return;
        search->taken = true;
    }
    m_pending = false;
    m_pendingKey = {};
    step(search->outcome);
}

void FindStepRunner::finish(quint64 generation, const Key& key,
                            const std::shared_ptr<Search>& search, const Step& step) {
    {
        std::lock_guard lock(search->mutex);
        if (search->taken)
            return;
        search->taken = true;
    }
    if (generation != m_generation)
        return;
    m_pending = false;
    m_stop.reset();
    m_pendingKey = {};
    if (currentKey(m_pendingRequest) == key)
        step(search->outcome);
}

} // namespace dunmoss
