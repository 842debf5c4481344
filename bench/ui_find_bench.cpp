// Find all and replace all on a 5,000,000-character document through the window: the find bar's
// operation, the search center's lists and recorded run (with the stored runs rewritten) and the
// window's refresh with the editor and the search center on screen. The engine alone on the
// same text is the baseline, so the ratio shows what the window adds. The run store is measured
// with the largest runs a recording can hold.
#include "KeyTyping.h"
#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "chrome/EditorWindowView.h"
#include "chrome/WindowLayout.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "platform/Defaults.h"
#include "search/FindReplace.h"
#include "search/FindStepRunner.h"
#include "search/SearchCenter.h"
#include "search/SearchCenterRunStore.h"
#include "session/SessionWriter.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include "support/BenchWindow.h"

#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

using namespace dunmoss;

namespace {

constexpr qsizetype kDocumentLength = 5'000'000;

// Log-like lines of 70 characters; "served" occurs about 1.4 times a line (100,000 times).
QString makeDocument() {
    const QString unit = QStringLiteral("request served in 12 ms path=/api/items ");
    QString line;
    while (line.size() < 69)
        line += unit;
    line.truncate(69);
    line += QLatin1Char('\n');
    QString text;
    text.reserve(kDocumentLength);
    while (text.size() + line.size() <= kDocumentLength)
        text += line;
    text += QString(kDocumentLength - text.size(), QLatin1Char('x'));
    return text;
}

const QString& document() {
    static const QString text = makeDocument();
    return text;
}

struct Window : bench::BenchWindow {
    Window()
        : BenchWindow([](EditorWindowState& s, const QTemporaryDir& dir) {
              EditorTab tab = untitledTab();
              tab.fileURL = QUrl::fromLocalFile(dir.filePath(QStringLiteral("log.txt")));
              tab.document.text = document();
              tab.savedSnapshot = tab.document.text;
              s.tabs = {tab};
              s.activeTabID = tab.id;
              s.panels.showWelcome = false;
              s.find.showFindBar = true;
          }) {
        // What a command costs in all: it ends here before returning, however long it takes.
        FindStepRunner::of(model()).waitMilliseconds = 600'000;
    }
};

TextSearchOptions options(bool regex) {
    return TextSearchOptions{regex, false, false};
}

// Mark all keeps every match (about 143,000 here) in the lists, the search center and its run.
void BM_WindowMarkAll_Literal(benchmark::State& state) {
    Window window;
    FindReplace find(window.model());
    find.setFindQuery(QStringLiteral("served"));
    for (auto _ : state) {
        find.markAllMatchesAsBookmarks();
        window.settle();
    }
    state.counters["listed"] =
        double(window.model().state().searchCenter.searchCenterDocumentResults.size());
}

void engineFindAll(benchmark::State& state, const QString& query, bool regex) {
    const QString& text = document();
    for (auto _ : state) {
        const TextSearchMatches matches =
            findAllMatches(query, text, options(regex), kFindAllListLimit);
        benchmark::DoNotOptimize(matches.totalCount);
    }
}

void windowFindAll(benchmark::State& state, const QString& query, bool regex) {
    Window window;
    FindReplace find(window.model());
    find.setFindQuery(query);
    find.setFindOptions(options(regex));
    for (auto _ : state) {
        find.findAllInActiveTab();
        window.settle();
    }
    state.counters["matches"] = double(window.model().state().find.findResultsTotalCount);
}

void engineReplaceAll(benchmark::State& state, const QString& query, const QString& with,
                      bool regex) {
    const QString& text = document();
    for (auto _ : state) {
        const TextReplaceAllResult result = replaceAllMatches(query, with, text, options(regex));
        benchmark::DoNotOptimize(result.count);
    }
}

// Each iteration replaces one way and the next the other way back, so every iteration does the
// same work on a 5,000,000-character text, with the editor showing it.
void windowReplaceAll(benchmark::State& state, bool regex) {
    Window window;
    FindReplace find(window.model());
    find.setFindOptions(options(regex));
    bool forward = true;
    for (auto _ : state) {
        find.setFindQuery(forward ? QStringLiteral("served") : QStringLiteral("SERVED"));
        find.setReplaceText(forward ? QStringLiteral("SERVED") : QStringLiteral("served"));
        find.replaceAllFindMatches();
        window.settle();
        forward = !forward;
    }
    state.counters["length"] = double(activeTab(window.model().state()).document.text.size());
}

QList<SearchCenterResult> largeRun(qsizetype count) {
    QList<SearchCenterResult> results;
    results.reserve(count);
    const QUuid tab = QUuid::createUuid();
    for (qsizetype i = 0; i < count; ++i) {
        SearchCenterResult r;
        r.id = QStringLiteral("current:%1:%2:6:%3:9")
                   .arg(tab.toString(QUuid::WithoutBraces))
                   .arg(i * 70 + 8)
                   .arg(i + 1);
        r.groupID = QStringLiteral("/home/user/logs/service/log.txt");
        r.groupTitle = QStringLiteral("log.txt");
        r.groupSubtitle = QStringLiteral("/home/user/logs/service");
        r.tabID = tab;
        r.fileURL = QUrl::fromLocalFile(r.groupID);
        r.range = TextRange{i * 70 + 8, 6};
        r.line = i + 1;
        r.column = 9;
        r.preview = QStringLiteral(
            "request served in 12 ms path=/api/items request served in 12 ms path=/");
        results.append(std::move(r));
    }
    return results;
}

// Recording one more run hands all ten stored runs of `perRun` results each to the background
// writer: the time is the main thread's; the writer keeps only the newest pending runs.
void recordRun(benchmark::State& state) {
    const qsizetype perRun = state.range(0);
    QTemporaryDir dir;
    Defaults defaults(dir.filePath(QStringLiteral("s.ini")));
    EditorWindowModel model(defaults,
                            EditorWindowModel::Options{true, {QStringLiteral("bench")}, {}});
    SearchCenter center(model);
    const QList<SearchCenterResult> results = largeRun(perRun);
    for (int i = 0; i < kSearchCenterRunLimit; ++i)
        center.recordSearchCenterRun(SearchCenterScope::CurrentDocument, QString::number(i),
                                     results);
    int counter = 0;
    for (auto _ : state)
        center.recordSearchCenterRun(SearchCenterScope::CurrentDocument,
                                     QStringLiteral("q%1").arg(counter++), results);
    SessionWriter::shared().waitUntilIdle();
    defaults.synchronize();
    state.counters["storedBytes"] = double(QFileInfo(searchCenterRunsPath(defaults)).size());
    state.counters["settingsBytes"] = double(QFileInfo(defaults.filePath()).size());
}

// A keystroke in the editor while the search center lists this document's matches: the find
// refresh searches the whole text again (listing 2,000) on every edit. Without the search
// center on show the same keystroke is the baseline.
void keystroke(benchmark::State& state, bool centerShown) {
    Window window;
    if (centerShown) {
        FindReplace find(window.model());
        find.setFindQuery(QStringLiteral("served"));
        find.findAllInActiveTab();
    }
    window.settle();
    ShortcutTextView* view =
        window.view->windowLayout().editorArea()->primaryPane()->editorView()->textView();
    view->setFocus();
    int counter = 0;
    for (auto _ : state) {
        bench::typeOneKey(view, counter);
        window.settle();
    }
    state.counters["listed"] =
        double(window.model().state().searchCenter.searchCenterDocumentResults.size());
}

void BM_Keystroke_SearchCenterShown(benchmark::State& s) {
    keystroke(s, true);
}
void BM_Keystroke_SearchCenterHidden(benchmark::State& s) {
    keystroke(s, false);
}

// The JSON text alone, without the file write.
void encodeRuns(benchmark::State& state) {
    QList<SearchCenterRun> runs;
    for (int i = 0; i < kSearchCenterRunLimit; ++i)
        runs.append(SearchCenterRun{QUuid::createUuid(), SearchCenterScope::CurrentDocument,
                                    QString::number(i), largeRun(state.range(0)),
                                    QDateTime::currentDateTimeUtc()});
    for (auto _ : state)
        benchmark::DoNotOptimize(encodeSearchCenterRuns(runs).size());
}

void BM_EngineFindAll_Literal(benchmark::State& s) {
    engineFindAll(s, QStringLiteral("served"), false);
}
void BM_WindowFindAll_Literal(benchmark::State& s) {
    windowFindAll(s, QStringLiteral("served"), false);
}
void BM_EngineFindAll_Regex(benchmark::State& s) {
    engineFindAll(s, QStringLiteral("serv\\w+"), true);
}
void BM_WindowFindAll_Regex(benchmark::State& s) {
    windowFindAll(s, QStringLiteral("serv\\w+"), true);
}
void BM_EngineReplaceAll_Literal(benchmark::State& s) {
    engineReplaceAll(s, QStringLiteral("served"), QStringLiteral("SERVED"), false);
}
void BM_WindowReplaceAll_Literal(benchmark::State& s) {
    windowReplaceAll(s, false);
}
void BM_EngineReplaceAll_Regex(benchmark::State& s) {
    engineReplaceAll(s, QStringLiteral("served"), QStringLiteral("SERVED"), true);
}
void BM_WindowReplaceAll_Regex(benchmark::State& s) {
    windowReplaceAll(s, true);
}

} // namespace

BENCHMARK(BM_EngineFindAll_Literal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowFindAll_Literal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineFindAll_Regex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowFindAll_Regex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowMarkAll_Literal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineReplaceAll_Literal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowReplaceAll_Literal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineReplaceAll_Regex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowReplaceAll_Regex)->Unit(benchmark::kMillisecond);
// Ten runs of find all's 2,000 listed results, and of 20,000 and 100,000 results (mark all,
// select all and open documents keep every match).
BENCHMARK(BM_Keystroke_SearchCenterShown)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Keystroke_SearchCenterHidden)->Unit(benchmark::kMillisecond);
BENCHMARK(encodeRuns)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(recordRun)->Arg(2000)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    return bench::runWindowBenchmarks(argc, argv, [] {
        return bench::RatioPairs{
            {"BM_WindowFindAll_Literal", "BM_EngineFindAll_Literal"},
            {"BM_WindowFindAll_Regex", "BM_EngineFindAll_Regex"},
            {"BM_WindowReplaceAll_Literal", "BM_EngineReplaceAll_Literal"},
            {"BM_WindowReplaceAll_Regex", "BM_EngineReplaceAll_Regex"},
            {"BM_Keystroke_SearchCenterShown", "BM_Keystroke_SearchCenterHidden"},
        };
    });
}
