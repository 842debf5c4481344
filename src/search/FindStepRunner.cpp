#include "search/FindStepRunner.h"

#include "editor/TextStorage.h"
#include "platform/Localization.h"
#include "platform/MainThreadMailbox.h"
#include "search/FindBarStatus.h"
#include "search/FindReplace.h"
#include "text/SearchScanner.h"
#include "window/WindowDerivedValues.h"

#include <QPointer>
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

namespace {

using Outcome = FindStepRunner::Outcome;

QString text(const char* key) {
    return localizedString(QString::fromLatin1(key));
}

// Shared texts only change by being replaced, so the same data means the same text and the
// full comparison is left for when an edit may have happened.
bool sameText(const QString& a, const QString& b) {
    return (a.constData() == b.constData() && a.size() == b.size()) || a == b;
}

bool wasCancelled(const std::exception_ptr& error) {
    if (!error)
        return false;
    try {
        std::rethrow_exception(error);
    } catch (const RegexError& thrown) {
        return thrown.isCancelled();
    } catch (...) {
        return false;
    }
}

Outcome search(const FindStepRunner::Request& request, const QString& text, const QString& query,
               const TextSearchOptions& options, const QString& replacement,
               const std::shared_ptr<const EditorWindowState>& snapshot,
               const std::atomic<bool>* stop);

} // namespace

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
    connect(&model, &EditorWindowModel::changed, this, &FindStepRunner::followChanges);
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, &FindStepRunner::announce);
}

FindStepRunner::~FindStepRunner() {
    if (m_stop)
        m_stop->store(true);
    m_mailbox->close();
    // The window goes: nothing is left to type into.
    if (const std::shared_ptr<TextStorage> held = m_heldStorage.lock())
        held->releaseInput(false);
}

FindStepRunner::Key FindStepRunner::keyWithCurrentTexts(const Key& asked) const {
    const EditorWindowState& state = m_model.state();
    Key key = asked;
    if (const EditorTab* tab = m_model.tab(asked.tabID))
        key.text = tab->document.text;
    key.tabs.clear();
    if (m_request.inAllTabs)
        for (const EditorTab& each : state.tabs)
            key.tabs.append({each.id, each.document.text});
    return key;
}

bool FindStepRunner::textsChanged() const {
    if (m_request.inAllTabs) {
        const QList<EditorTab>& tabs = m_model.state().tabs;
        if (tabs.size() != m_key.tabs.size())
            return true;
        for (qsizetype i = 0; i < tabs.size(); ++i)
            if (tabs.at(i).id != m_key.tabs.at(i).first ||
                !sameText(tabs.at(i).document.text, m_key.tabs.at(i).second))
                return true;
        return false;
    }
    const EditorTab* tab = m_model.tab(m_key.tabID);
    return tab && !sameText(tab->document.text, m_key.text);
}

void FindStepRunner::followChanges() {
    if (!m_pending)
        return;
    if (!m_request.inAllTabs && !m_model.tab(m_key.tabID)) {
        // Nothing left to search or change: said in the window's own status, the bar's went
        // with the tab.
        stopRunning();
        // Keys typed into a tab that is gone have nowhere to go; commands given meanwhile still
        // run.
        releaseInput(commandsWait());
        m_model.setFindMessage(
            text(lkey("find.stopped.tab-closed.format")).arg(text(m_request.titleKey)));
        return;
    }
    // The search reads a text the tab no longer holds: it stops, and starts again on the new one
    // when its outcome comes in.
    if (m_stop && textsChanged())
        m_stop->store(true);
}

void FindStepRunner::run(Step step) {
    run(std::move(step), Request());
}

void FindStepRunner::run(Step step, Request request) {
    const EditorWindowState& state = m_model.state();
    Key key{keyboardTab(state).id, {}, state.find.findQuery, state.find.findOptions, {}, {}};
    if (request.replacesAll)
        key.replacement = state.find.replaceText;
    Command command{std::move(key), request, std::move(step)};
    // Given in the running command's quiet moment: it waits in line with the keys, as it would
    // had that command ended at once.
    if (m_pending && !m_announced)
        if (const std::shared_ptr<TextStorage> held = m_heldStorage.lock()) {
            held->deferInput([runner = QPointer<FindStepRunner>(this), command,
                              waiting = m_waitingCommand]() mutable {
                waiting.reset();
                if (runner)
                    runner->give(command);
            });
            return;
        }
    give(std::move(command));
}

void FindStepRunner::give(Command command) {
    supersede();
    m_request = command.request;
    m_step = std::move(command.step);
    start(keyWithCurrentTexts(command.key));
}

void FindStepRunner::supersede() {
    if (!m_pending)
        return;
    stopRunning();
    m_supersededTitle = m_request.titleKey;
    report(text(lkey("find.superseded.format")).arg(text(m_supersededTitle)));
    // Keys typed after the stopped command came before the newer one.
    releaseInput();
}

void FindStepRunner::stopRunning() {
    m_stop->store(true);
    m_stop.reset();
    m_search.reset();
    ++m_generation;
    m_pending = false;
    m_quiet.stop();
    m_step = {};
}

void FindStepRunner::endBeforeQuit(std::chrono::steady_clock::time_point deadline) {
    // Keys replayed after one command may give the next: each is waited for in turn.
    while (m_pending) {
        const std::shared_ptr<Search> search = m_search;
        bool found = false;
        {
            std::unique_lock lock(search->mutex);
            found = search->done.wait_until(lock, deadline, [&] { return search->finished; }) &&
                    !std::exchange(search->taken, true);
        }
        if (!found) {
            // Nobody waits for a search that may never end: what was typed goes in without it.
            stopRunning();
            releaseInput();
            continue;
        }
        if (textsChanged() || wasCancelled(search->outcome.error))
            launch(keyWithCurrentTexts(m_key));
        else
            complete(search->outcome);
    }
}

void FindStepRunner::report(const QString& status) {
    reportFindStatus(m_model, m_key.tabID, m_key.query, m_key.options, status);
}

void FindStepRunner::start(Key key) {
    m_announced = false;
    const std::shared_ptr<Search> found = launch(std::move(key));
    if (waitMilliseconds > 0) {
        std::unique_lock lock(found->mutex);
        if (found->done.wait_for(lock, std::chrono::milliseconds(waitMilliseconds),
                                 [&] { return found->finished; })) {
            found->taken = true;
            lock.unlock();
            complete(found->outcome);
            return;
        }
    } else if (quietMilliseconds > 0) {
        // The matches come in a later turn: what is typed meanwhile follows them.
        holdInput(true);
        m_quiet.start(quietMilliseconds);
        return;
    }
    announce();
}

std::shared_ptr<FindStepRunner::Search> FindStepRunner::launch(Key key) {
    const quint64 generation = ++m_generation;
    m_stop = std::make_shared<std::atomic<bool>>(false);
    m_pending = true;
    m_key = key;
    auto found = std::make_shared<Search>();
    m_search = found;
    std::shared_ptr<const EditorWindowState> snapshot;
    if (m_request.inAllTabs) {
        auto tabs = std::make_shared<EditorWindowState>(m_model.state());
        tabs->find.findQuery = key.query;
        tabs->find.findOptions = key.options;
        snapshot = std::move(tabs);
    }
    QThreadPool::globalInstance()->start([this, mailbox = m_mailbox, key, found, stop = m_stop,
                                          generation, request = m_request, snapshot,
                                          hook = beforeSearch] {
        if (hook)
            hook();
        Outcome outcome = search(request, key.text, key.query, key.options, key.replacement,
                                 snapshot, stop.get());
        outcome.tabID = key.tabID;
        outcome.query = key.query;
        outcome.options = key.options;
        outcome.replacement = key.replacement;
        {
            std::lock_guard lock(found->mutex);
            found->outcome = std::move(outcome);
            found->finished = true;
        }
        found->done.notify_all();
        mailbox->post([this, generation, found] { finish(generation, found); });
    });
    return found;
}

void FindStepRunner::announce() {
    if (!m_pending || m_announced)
        return;
    m_announced = true;
    m_quiet.stop();
    QString progress = text(m_request.progressKey);
    if (m_supersededTitle)
        progress =
            text(lkey("find.superseded.format")).arg(text(m_supersededTitle)) + u' ' + progress;
    report(progress);
    if (!m_request.holdsInput || commandsWait()) {
        // Keys first, in the order given; a command among them now stops this one.
        releaseInput();
        return;
    }
    holdInput();
}

void FindStepRunner::finish(quint64 generation, const std::shared_ptr<Search>& found) {
    {
        std::lock_guard lock(found->mutex);
        if (found->taken)
            return;
        found->taken = true;
    }
    if (generation != m_generation || !m_pending)
        return;
    if (textsChanged() || wasCancelled(found->outcome.error)) {
        // Searched again, still in its quiet moment or still said to run.
        launch(keyWithCurrentTexts(m_key));
        return;
    }
    complete(found->outcome);
}

void FindStepRunner::complete(const Outcome& found) {
    m_pending = false;
    m_quiet.stop();
    m_stop.reset();
    m_search.reset();
    const Step step = std::exchange(m_step, {});
    const std::shared_ptr<TextStorage> held = m_heldStorage.lock();
    const char* superseded = std::exchange(m_supersededTitle, nullptr);
    if (step)
        step(found);
    if (superseded) {
        const QString notice = text(lkey("find.superseded.format")).arg(text(superseded));
        m_model.update([&](EditorWindowState& state) {
            const auto report = state.find.reports.find(found.tabID);
            if (report != state.find.reports.end() && !report->text.startsWith(notice))
                report->text = notice + u' ' + report->text;
        });
    }
    // The input that waited follows the command, unless the step went on with another search
    // of the same tab that holds it still.
    if (held && !(m_pending && m_heldStorage.lock() == held)) {
        if (m_heldStorage.lock() == held)
            m_heldStorage.reset();
        held->releaseInput();
    }
}

void FindStepRunner::holdInput(bool evenIfItChangesNothing) {
    if (!m_request.holdsInput && !evenIfItChangesNothing)
        return;
    const std::shared_ptr<TextStorage> storage =
        m_model.textStorageRegistry().storages().value(m_key.tabID);
    const std::shared_ptr<TextStorage> held = m_heldStorage.lock();
    if (held && held != storage)
        releaseInput();
    if (!storage)
        return;
    storage->holdInput();
    m_heldStorage = storage;
}

void FindStepRunner::releaseInput(bool replay) {
    if (const std::shared_ptr<TextStorage> held = std::exchange(m_heldStorage, {}).lock())
        held->releaseInput(replay);
}

namespace {

Outcome search(const FindStepRunner::Request& request, const QString& text, const QString& query,
               const TextSearchOptions& options, const QString& replacement,
               const std::shared_ptr<const EditorWindowState>& snapshot,
               const std::atomic<bool>* stop) {
    Outcome outcome;
    try {
        if (request.inAllTabs) {
            outcome.openDocuments = searchOpenDocuments(*snapshot, stop);
        } else if (request.replacesAll) {
            outcome.replaced = replaceAllMatches(query, replacement, text, options, stop);
        } else if (request.withLines) {
            outcome.matches = findAllMatches(query, text, options, request.listLimit, stop);
        } else if (!query.isEmpty()) {
            SearchScanner scanner(query, text, options);
            scanner.stopWhenSet(*stop);
            while (scanner.next())
                if (scanner.range().length > 0)
                    outcome.ranges.append(scanner.range());
        }
    } catch (...) {
        outcome = {};
        outcome.error = std::current_exception();
    }
    return outcome;
}

} // namespace

} // namespace dunmoss
