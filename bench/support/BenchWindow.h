#pragma once

// What the ui_ benchmarks share: a shown editor window with its settings in a temporary folder,
// and a main that runs the benchmarks offscreen and prints the ratios of their pairs.
#include "chrome/EditorWindowView.h"
#include "platform/Defaults.h"
#include "platform/PaintingThreads.h"
#include "window/EditorWindowModel.h"

#include "PeerRatioReporter.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace dunmoss::bench {

struct BenchWindow {
    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;
    std::unique_ptr<EditorWindowView> view;

    // `setUp` fills the window's first state; file names go in `dir`.
    explicit BenchWindow(
        const std::function<void(EditorWindowState&, const QTemporaryDir& dir)>& setUp) {
        defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("s.ini")));
        EditorWindowView::Options options;
        options.defaults = defaults.get();
        options.processArguments = {QStringLiteral("bench")};
        view = std::make_unique<EditorWindowView>(options);
        view->model().update([&](EditorWindowState& s) { setUp(s, dir); });
        view->resize(1060, 720);
        view->show();
        settle();
    }
    EditorWindowModel& model() const { return view->model(); }
    void settle() const {
        view->refreshNow();
        QApplication::processEvents();
    }
};

// Pairs of (ours, peer) benchmark names.
using RatioPairs = std::vector<std::pair<std::string, std::string>>;

// The main of a ui_ benchmark: `registerAll` runs once the application exists and returns the
// pairs whose ratios are printed at the end (none printed when it returns none).
inline int runWindowBenchmarks(int argc, char** argv,
                               const std::function<RatioPairs()>& registerAll) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    leaveThreadsForPainting();
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    const RatioPairs pairs = registerAll();
    PeerRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (!pairs.empty())
        reporter.printRatios(pairs);
    benchmark::Shutdown();
    return 0;
}

} // namespace dunmoss::bench
