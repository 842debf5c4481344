// Many files at once into one shown window: a drop of 400 files and a session file of 3,000
// files, each of a few lines. The time runs from the request to the last tab shown: the files
// are read on a pool thread while the window's event loop turns, then shown in order. The
// background writer's share of the one session save at the end is waited for untimed and reported
// as "writer_ms".
#include "chrome/EditorWindowView.h"
#include "session/SessionFiles.h"
#include "session/SessionWriter.h"
#include "window/DocumentOpening.h"
#include "window/EditorWindowModel.h"
#include "window/IncomingFiles.h"

#include "support/BenchWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <benchmark/benchmark.h>

using namespace dunmoss;

namespace {

QList<QUrl> writeFiles(const QTemporaryDir& dir, int count) {
    QDir().mkpath(dir.filePath(QStringLiteral("files")));
    QList<QUrl> urls;
    for (int i = 0; i < count; ++i) {
        const QString path = dir.filePath(QStringLiteral("files/file%1.txt").arg(i));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray("line one of file ") + QByteArray::number(i) + "\nline two\n");
        urls.append(QUrl::fromLocalFile(path));
    }
    return urls;
}

void restoredWindow(EditorWindowState& state, const QTemporaryDir&) {
    state.decisions.didRestoreSession = true;
}

// Turns the event loop until every file asked for is shown, then once more for the refresh.
void waitForOpening(const bench::BenchWindow& window) {
    while (window.model().opening().isOpening())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    window.settle();
}

void waitForWriter(benchmark::State& state) {
    QElapsedTimer writer;
    writer.start();
    SessionWriter::shared().waitUntilIdle();
    state.counters["writer_ms"] = double(writer.elapsed());
}

void BM_Drop400Files(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        bench::BenchWindow window(restoredWindow);
        const QList<QUrl> urls = writeFiles(window.dir, 400);
        state.ResumeTiming();
        IncomingFiles(window.model()).openDroppedURLs(urls);
        waitForOpening(window);
        state.PauseTiming();
        state.counters["tabs"] = double(window.model().state().tabs.size());
        waitForWriter(state);
        state.ResumeTiming();
    }
}

void BM_SessionFileOf3000Files(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        bench::BenchWindow window(restoredWindow);
        EditorSessionFile sessionFile;
        for (const QUrl& url : writeFiles(window.dir, 3000))
            sessionFile.files.append(url.toLocalFile());
        const QString path = window.dir.filePath(QStringLiteral("many.dunmosssession.json"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(encodeSessionFile(sessionFile));
        file.close();
        state.ResumeTiming();
        SessionFiles(window.model()).openSessionFileAt(path);
        waitForOpening(window);
        state.PauseTiming();
        state.counters["tabs"] = double(window.model().state().tabs.size());
        waitForWriter(state);
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_Drop400Files)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SessionFileOf3000Files)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) {
    return bench::runWindowBenchmarks(argc, argv, [] { return bench::RatioPairs{}; });
}
