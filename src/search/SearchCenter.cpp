#include "search/SearchCenter.h"

#include "platform/Localization.h"
#include "search/SearchCenterResults.h"
#include "search/SearchCenterRunStore.h"
#include "session/SessionWriter.h"
#include "window/DocumentOpening.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>
#include <QPointer>
#include <algorithm>

namespace dunmoss {

namespace {

// A runs file that cannot be written is news for the window that recorded the runs, told once
// while it lasts.
std::shared_ptr<SessionWriteSink> runsWriteSink(EditorWindowModel& model) {
    auto sink = std::make_shared<SessionWriteSink>();
    QPointer<EditorWindowModel> window(&model);
    std::weak_ptr<SessionWriteSink> weak = sink;
    sink->deliver = [window, weak] {
        const std::shared_ptr<SessionWriteSink> outcomes = weak.lock();
        if (!outcomes || !window)
            return;
        const QString cause = QString::fromLatin1(kSearchRunsWriteNoticeCause);
        for (const SessionWriteOutcome& outcome : outcomes->takeOutcomes()) {
            if (outcome.failure)
                window->presentNotice(cause,
                                      localizedString(QStringLiteral("settings.save.failed.format"))
                                          .arg(outcome.path));
            else
                window->clearNoticeCause(cause);
        }
    };
    return sink;
}

} // namespace

void SearchCenter::recordSearchCenterRun(SearchCenterScope scope, const QString& query,
                                         const QList<SearchCenterResult>& results) {
    if (results.isEmpty()) {
        m_model.update(
            [](EditorWindowState& state) { state.searchCenter.selectedSearchRunID.reset(); });
        return;
    }
    SearchCenterRun run;
    run.id = QUuid::createUuid();
    run.scope = scope;
    run.query = query.trimmed();
    run.results = results;
    run.createdAt = QDateTime::currentDateTimeUtc();
    m_model.update([&](EditorWindowState& state) {
        QList<SearchCenterRun>& runs = state.searchCenter.searchCenterRuns;
        runs.removeIf([&](const SearchCenterRun& old) {
            return old.scope == run.scope && old.query == run.query && old.results == run.results;
        });
        runs.prepend(run);
        while (runs.size() > kSearchCenterRunLimit)
            runs.removeLast();
        state.searchCenter.selectedSearchRunID = run.id;
    });
    saveSearchCenterRuns(m_model.state().searchCenter.searchCenterRuns, m_model.defaults(),
                         runsWriteSink(m_model));
}

void SearchCenter::deleteSearchCenterRun(const QUuid& runID) {
    m_model.update([&](EditorWindowState& state) {
        state.searchCenter.searchCenterRuns.removeIf(
            [&](const SearchCenterRun& run) { return run.id == runID; });
        if (state.searchCenter.selectedSearchRunID == runID)
            state.searchCenter.selectedSearchRunID.reset();
    });
    saveSearchCenterRuns(m_model.state().searchCenter.searchCenterRuns, m_model.defaults(),
                         runsWriteSink(m_model));
}

void SearchCenter::leaveRunsOfReplacedTab(const QUuid& tabID) {
    const SearchCenterState& center = m_model.state().searchCenter;
    if (!center.selectedSearchRunID)
        return;
    const auto selected = std::find_if(
        center.searchCenterRuns.cbegin(), center.searchCenterRuns.cend(),
        [&](const SearchCenterRun& run) { return run.id == *center.selectedSearchRunID; });
    if (selected == center.searchCenterRuns.cend() ||
        std::none_of(selected->results.cbegin(), selected->results.cend(),
                     [&](const SearchCenterResult& result) { return result.tabID == tabID; }))
        return;
    m_model.update(
        [](EditorWindowState& state) { state.searchCenter.selectedSearchRunID.reset(); });
}

void SearchCenter::openSearchCenterResult(const SearchCenterResult& result,
                                          std::function<void()> shown) {
    const QString message =
        localizedString(QStringLiteral("find.match-open-document.format"))
            .arg(result.groupTitle, QString::number(result.line), QString::number(result.column));
    if (result.scope == SearchCenterScope::Folder) {
        if (!result.fileURL)
            return;
        QPointer<EditorWindowModel> model(&m_model);
        m_model.opening().openDocument(*result.fileURL, static_cast<int>(result.line), std::nullopt,
                                       true, [model, message, shown] {
                                           if (!model)
                                               return;
                                           model->setFindMessage(message);
                                           if (shown)
                                               shown();
                                       });
        return;
    }
    if (!result.tabID)
        return;
    const std::optional<int> index = m_model.tabIndex(*result.tabID);
    if (!index)
        return;
    m_model.setActiveTabID(*result.tabID);
    if (result.range)
        m_model.setSelection(result.range->location, result.range->length, *index);
    m_model.setFindMessage(message);
    if (shown)
        shown();
}

void SearchCenter::copySearchCenterResults(const QList<SearchCenterResult>& results) {
    if (results.isEmpty()) {
        m_model.setFindMessage(localizedString(QStringLiteral("find.no-results")));
        return;
    }
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->clear();
        clipboard->setText(searchCenterClipboardText(results));
    }
    m_model.setFindMessage(localizedString(QStringLiteral("search-center.copied.format"))
                               .arg(localizedCount(results.size(), kCountedResults)));
}

void SearchCenter::setScope(SearchCenterScope scope) {
    m_model.update([scope](EditorWindowState& state) {
        if (state.searchCenter.searchCenterScope == scope)
            return;
        state.searchCenter.searchCenterScope = scope;
        state.searchCenter.selectedSearchRunID.reset();
    });
}

void SearchCenter::setSelectedRun(const std::optional<QUuid>& runID) {
    m_model.update(
        [&](EditorWindowState& state) { state.searchCenter.selectedSearchRunID = runID; });
}

void SearchCenter::closeSearchCenter() {
    m_model.update([](EditorWindowState& state) { state.searchCenter.showSearchCenter = false; });
}

void SearchCenter::loadStoredRuns() {
    QList<SearchCenterRun> runs = loadSearchCenterRuns(m_model.defaults());
    m_model.update([&](EditorWindowState& state) {
        state.searchCenter.searchCenterRuns = std::move(runs);
        state.searchCenter.selectedSearchRunID.reset();
    });
}

} // namespace dunmoss
