// Folder search from the window's panel over a large real tree (by default /usr/include, or
// DUNMOSS_BENCH_TREE): from the Search action to the hits listed on screen, with the window's
// event loop turning all the while. The engine alone with the same inputs and grep -rn on the
// same tree run in the same process, so the ratios show what the window adds and how both
// compare with grep. Two queries: a common one that stops at the 500-hit limit, and one that is
// never found, so the whole tree is walked. The counters report how long the status took to
// show the search as running and the longest the event loop went without turning (a 1 ms timer
// ticking on it).
#include "chrome/EditorWindowView.h"
#include "chrome/FindPanels.h"
#include "chrome/WindowLayout.h"
#include "editor/ElidedLabel.h"
#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "search/FolderOperationRunner.h"
#include "search/FolderSearchOperations.h"
#include "search/FolderSearchPanel.h"
#include "text/FolderSearch.h"
#include "text/SearchableText.h"
#include "window/EditorWindowModel.h"

#include "support/BenchWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <memory>

using namespace dunmoss;

namespace {

const QString kCommon = QStringLiteral("include");
const QString kAbsent = QStringLiteral("dunmoss_never_found_anywhere");

QString treePath() {
    const QByteArray chosen = qgetenv("DUNMOSS_BENCH_TREE");
    return chosen.isEmpty() ? QStringLiteral("/usr/include") : QString::fromLocal8Bit(chosen);
}

struct Window : bench::BenchWindow {
    Window()
        : BenchWindow([](EditorWindowState& s, const QTemporaryDir&) {
              s.panels.showWelcome = false;
              s.folderSearch.showFolderSearch = true;
              s.folderSearch.folderSearchURL = QUrl::fromLocalFile(treePath());
          }) {}
    FolderSearchPanel* panel() const {
        return view->findChild<FolderSearchPanel*>(QStringLiteral("folderSearchPanel"));
    }
};

void window(benchmark::State& state, const QString& query) {
    Window w;
    FolderSearchOperations(w.view->model()).setQuery(query);
    FolderSearchPanel* panel = w.panel();
    const QString searching = localizedString(QStringLiteral("folder-search.searching"));
    double statusMs = 0, longestGapMs = 0;
    qsizetype hits = 0;
    EditorWindowModel& model = w.view->model();
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        // A 1 ms timer on the window's event loop: the longest wait between its ticks is the
        // longest the window could not react.
        qint64 last = 0;
        QTimer ticker;
        ticker.setInterval(1);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            longestGapMs = std::max(longestGapMs, (now - last) / 1e6);
            last = now;
        });
        ticker.start();
        QEventLoop loop;
        bool statusShown = false;
        const auto check = [&] {
            if (!statusShown && panel->statusLabel()->text() == searching) {
                statusShown = true;
                statusMs = std::max(statusMs, clock.nsecsElapsed() / 1e6);
            }
            if (!model.state().folderSearch.isFolderSearchRunning &&
                panel->searchButton()->isEnabled())
                loop.quit();
        };
        // The panel refreshes one turn after each change; look once it has.
        const auto connection = QObject::connect(&model, &EditorWindowModel::changed, [&] {
            QMetaObject::invokeMethod(&loop, check, Qt::QueuedConnection);
        });
        last = clock.nsecsElapsed();
        panel->searchButton()->click();
        loop.exec();
        QObject::disconnect(connection);
        hits = model.state().folderSearch.folderSearchResults.size();
    }
    state.counters["hits"] = double(hits);
    state.counters["status_ms"] = statusMs;
    state.counters["longest_loop_gap_ms"] = longestGapMs;
}

void engine(benchmark::State& state, const QString& query) {
    const QUrl folder = QUrl::fromLocalFile(treePath());
    qsizetype hits = 0;
    for (auto _ : state) {
        const auto results = searchFolder(query, folder, {}, {}, {}, folderSearchResultLimit);
        hits = results.size();
        benchmark::DoNotOptimize(results.data());
    }
    state.counters["hits"] = double(hits);
}

void grep(benchmark::State& state, const QString& query) {
    // Case-insensitive like the panel's default options; the same limit of 500 lines.
    const std::string command = "LC_ALL=C grep -rn -i -F '" + query.toStdString() + "' '" +
                                treePath().toStdString() + "' 2>/dev/null | head -n 500 | wc -l";
    std::string output;
    for (auto _ : state)
        output = bench::runCommand(command);
    state.counters["lines"] = std::atof(output.c_str());
}

void registerAll() {
    for (const auto& [name, query] : {std::pair{"common", kCommon}, std::pair{"absent", kAbsent}}) {
        const QString q = query;
        const std::string n = name;
        benchmark::RegisterBenchmark(("window/folder_search_" + n).c_str(),
                                     [q](benchmark::State& s) { window(s, q); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("engine/folder_search_" + n).c_str(),
                                     [q](benchmark::State& s) { engine(s, q); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("peer/grep_rn_" + n).c_str(),
                                     [q](benchmark::State& s) { grep(s, q); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
}

} // namespace

int main(int argc, char** argv) {
    return bench::runWindowBenchmarks(argc, argv, [] {
        registerAll();
        return bench::RatioPairs{
            {"window/folder_search_common/real_time", "engine/folder_search_common/real_time"},
            {"window/folder_search_common/real_time", "peer/grep_rn_common/real_time"},
            {"window/folder_search_absent/real_time", "engine/folder_search_absent/real_time"},
            {"window/folder_search_absent/real_time", "peer/grep_rn_absent/real_time"},
        };
    });
}
