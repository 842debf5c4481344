// Line tools on a 2,000,000-character document with the whole text selected, through the real
// editor window: the command from the window's record, the tool pipeline, the one undo step,
// the editor view taking the new text, and the window's refresh. Each is paired with the
// command-line tool that does the same job to the same text in a file.
#include "chrome/EditorWindowView.h"
#include "platform/Defaults.h"
#include "window/EditorCommands.h"
#include "window/EditorWindowModel.h"
#include "window/TabUndoRegistry.h"
#include "window/WindowCommandTable.h"
#include "window/WindowDerivedValues.h"

#include "support/BenchWindow.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUndoStack>
#include <benchmark/benchmark.h>
#include <memory>

using namespace dunmoss;

namespace {

constexpr qsizetype kDocumentLength = 2'000'000;

// Code-like lines of about 70 characters: some indented by spaces or a tab, some with trailing
// blanks, in no particular order, so every tool has work on every line.
QString makeDocument() {
    const QStringList indents{QStringLiteral("    "), QStringLiteral("\t"), QString(),
                              QStringLiteral("        "), QStringLiteral("  ")};
    const QStringList bodies{QStringLiteral("let value = compute(index, offset) + total;  "),
                             QStringLiteral("return Request(path: \"/api/items\", retries: 3)"),
                             QStringLiteral("Zebra crossing markers painted at dawn\t "),
                             QStringLiteral("// keep the cache warm for the next run"),
                             QStringLiteral("alpha beta gamma delta epsilon zeta eta theta ")};
    QString text;
    text.reserve(kDocumentLength + 100);
    for (int i = 0; text.size() < kDocumentLength - 80; ++i)
        text += indents.at(i % indents.size()) + QString::number(i % 9973) + u' ' +
                bodies.at((i * 3) % bodies.size()) + u'\n';
    while (text.size() < kDocumentLength)
        text += u'x';
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
              tab.fileURL = QUrl::fromLocalFile(dir.filePath(QStringLiteral("main.c")));
              tab.document.text = document();
              tab.savedSnapshot = document();
              tab.selectedRange = {0, document().size()};
              tab.selectedRanges = {tab.selectedRange};
              s.tabs = {tab};
              s.activeTabID = tab.id;
              s.panels.showWelcome = false;
          }) {}
    QUndoStack* undoStack() const {
        return model().undoRegistry().undoStackForTab(activeTab(model().state()).id);
    }
};

void windowTool(benchmark::State& state, EditorCommandField field) {
    Window window;
    const EditorCommands commands = window.view->commandTable().makeWindowCommands();
    int steps = 0;
    for (auto _ : state) {
        invokeCommand(commands, field);
        window.view->refreshNow();
        QApplication::processEvents();
        state.PauseTiming();
        // One step, or none for a tool with nothing to do (moving every line at once).
        steps = std::max(steps, window.undoStack()->count());
        // Back to the original text and whole-text selection for the next run.
        if (window.undoStack()->count() > 0)
            window.undoStack()->undo();
        window.undoStack()->clear();
        window.view->refreshNow();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["undoSteps"] = steps;
}

// The same command with the window hidden: the tool, its undo step and the text storage, without
// the editor view's layout and painting.
void modelTool(benchmark::State& state, EditorCommandField field) {
    Window window;
    window.view->hide();
    const EditorCommands commands = window.view->commandTable().makeWindowCommands();
    for (auto _ : state) {
        invokeCommand(commands, field);
        state.PauseTiming();
        window.undoStack()->undo();
        window.undoStack()->clear();
        state.ResumeTiming();
    }
}

// The peer reads the same text from a file and writes its result to another.
void peerTool(benchmark::State& state, const QString& program, const QStringList& arguments) {
    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("in.txt"));
    QFile file(input);
    file.open(QIODevice::WriteOnly);
    file.write(document().toUtf8());
    file.close();
    for (auto _ : state) {
        QProcess process;
        process.setStandardInputFile(input);
        process.setStandardOutputFile(dir.filePath(QStringLiteral("out.txt")));
        process.start(program, arguments);
        if (!process.waitForFinished(60'000) || process.exitCode() != 0) {
            state.SkipWithError("peer failed");
            break;
        }
    }
}

// The three slowest of the fourteen tools in a sweep of all of them (the others take between
// 2 and 120 ms; moving every line at once is a no-op).
void BM_Window_toggleLineComment(benchmark::State& s) {
    windowTool(s, &EditorCommands::toggleLineComment);
}
void BM_Model_toggleLineComment(benchmark::State& s) {
    modelTool(s, &EditorCommands::toggleLineComment);
}
void BM_Peer_sed_lineComment(benchmark::State& s) {
    peerTool(s, QStringLiteral("sed"), {QStringLiteral("s|^|// |")});
}
void BM_Window_indentSelection(benchmark::State& s) {
    windowTool(s, &EditorCommands::indentSelection);
}
void BM_Model_indentSelection(benchmark::State& s) {
    modelTool(s, &EditorCommands::indentSelection);
}
void BM_Peer_sed_indent(benchmark::State& s) {
    peerTool(s, QStringLiteral("sed"), {QStringLiteral("s/^/    /")});
}
void BM_Window_uppercaseSelection(benchmark::State& s) {
    windowTool(s, &EditorCommands::uppercaseSelection);
}
void BM_Model_uppercaseSelection(benchmark::State& s) {
    modelTool(s, &EditorCommands::uppercaseSelection);
}
void BM_Peer_tr_uppercase(benchmark::State& s) {
    peerTool(s, QStringLiteral("tr"), {QStringLiteral("[:lower:]"), QStringLiteral("[:upper:]")});
}

BENCHMARK(BM_Window_toggleLineComment)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Model_toggleLineComment)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Peer_sed_lineComment)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Window_indentSelection)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Model_indentSelection)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Peer_sed_indent)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Window_uppercaseSelection)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Model_uppercaseSelection)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Peer_tr_uppercase)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    return bench::runWindowBenchmarks(argc, argv, [] {
        return bench::RatioPairs{
            {"BM_Window_toggleLineComment/real_time", "BM_Peer_sed_lineComment/real_time"},
            {"BM_Window_indentSelection/real_time", "BM_Peer_sed_indent/real_time"},
            {"BM_Window_uppercaseSelection/real_time", "BM_Peer_tr_uppercase/real_time"},
        };
    });
}
