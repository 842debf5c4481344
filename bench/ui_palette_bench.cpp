// The workspace listing of a large real tree (/usr/share, else /usr/include) against `find`
// walking the same depth, and the palette's per-keystroke work with that tree as the workspace:
// the 32 commands and every listed file filtered for each prefix of a typed word, through the
// palette sheet (query write, window state change, the list of at most 80 rows).
#include "chrome/EditorWindowView.h"
#include "chrome/NavigationViews.h"
#include "platform/Defaults.h"
#include "text/WorkspaceTree.h"
#include "tools/QuickOpen.h"
#include "tools/QuickOpenPanel.h"
#include "tools/WorkspaceListing.h"
#include "window/EditorWindowModel.h"
#include "window/WindowCommandTable.h"

#include "support/PeerRatioReporter.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QThread>
#include <benchmark/benchmark.h>
#include <memory>

using namespace dunmoss;

namespace {

QString largeTree() {
    // DUNMOSS_BENCH_TREE chooses another tree.
    if (const QString chosen = qEnvironmentVariable("DUNMOSS_BENCH_TREE"); !chosen.isEmpty())
        return chosen;
    for (const char* candidate : {"/usr/share", "/usr/include"})
        if (QDir(QString::fromLatin1(candidate)).exists())
            return QString::fromLatin1(candidate);
    return QDir::homePath();
}

int countItems(const QList<WorkspaceItem>& items) {
    int count = 0;
    for (const WorkspaceItem& item : items)
        count += 1 + (item.children ? countItems(*item.children) : 0);
    return count;
}

void listWorkspace(benchmark::State& state) {
    const QUrl root = QUrl::fromLocalFile(largeTree());
    int count = 0;
    for (auto _ : state) {
        const QList<WorkspaceItem> items = loadWorkspaceTree(root, 0);
        count = countItems(items);
        benchmark::DoNotOptimize(items);
    }
    state.counters["entries"] = count;
}

void findWalk(benchmark::State& state) {
    const std::string command =
        "find " + largeTree().toStdString() + " -mindepth 1 -maxdepth 6 -not -name '.*' | wc -l";
    for (auto _ : state)
        benchmark::DoNotOptimize(bench::runCommand(command));
}

struct PaletteWindow {
    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;
    std::unique_ptr<EditorWindowView> view;
    QuickOpenPanel* palette = nullptr;
    int files = 0;

    PaletteWindow() {
        defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("s.ini")));
        EditorWindowView::Options options;
        options.defaults = defaults.get();
        options.processArguments = {QStringLiteral("bench")};
        view = std::make_unique<EditorWindowView>(options);
        EditorWindowModel& model = view->model();
        model.update([](EditorWindowState& state) {
            state.workspace.workspaceRootURL = QUrl::fromLocalFile(largeTree());
        });
        WorkspaceListing::of(model).refreshWorkspace();
        while (WorkspaceListing::of(model).isListing()) {
            QCoreApplication::processEvents();
            QThread::msleep(5);
        }
        files = int(flattenWorkspaceItems(model.state().workspace.workspaceItems).size());
        view->commandTable().makeWindowCommands().quickOpen();
        view->refreshNow();
        palette = view->findChild<NavigationViews*>()->quickOpenPanel();
    }
};

// Types the word one character at a time into the open palette, as a person would.
void typeIntoPalette(benchmark::State& state, const QString& word) {
    // Kept to the end of the process: the window must not outlive the application object.
    static PaletteWindow& window = *new PaletteWindow;
    for (auto _ : state) {
        for (int length = 1; length <= word.size(); ++length)
            window.palette->queryEdited(word.left(length));
        window.palette->queryEdited(QString());
    }
    state.counters["files"] = window.files;
    state.counters["keystrokes"] = word.size() + 1;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RegisterBenchmark("ours/list_workspace", listWorkspace)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("peer/find_walk", findWalk)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    // A word found in many paths, and one found nowhere (every file is looked at).
    benchmark::RegisterBenchmark("ours/palette_type_config", [](benchmark::State& s) {
        typeIntoPalette(s, "config");
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ours/palette_type_no_match", [](benchmark::State& s) {
        typeIntoPalette(s, "qqxzv");
    })->Unit(benchmark::kMillisecond);
    bench::PeerRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios({{"ours/list_workspace/real_time", "peer/find_walk/real_time"}});
    benchmark::Shutdown();
    return 0;
}
