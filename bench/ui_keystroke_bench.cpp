// The per-keystroke path of the code-editing view on a 2,000,000-character document: a typed
// character reaching the storage, the typing undo step, the text and selection bindings (with a
// window that re-applies its state to the view after every write), the ruler's line index and
// bracket matching; with and without painting the view and its ruler. A 900,000-character case
// shows bracket matching at work (it is off above 1,000,000), a C++ text just under the 64,000
// units that are coloured whole after every keystroke (and the same text uncoloured), and the
// parts are timed alone.
#include "KeyTyping.h"
#include "editor/CodeEditorCoordinator.h"
#include "editor/CodeEditorView.h"
#include "editor/LineNumberRulerView.h"
#include "editor/ShortcutTextView.h"
#include "editor/TextStorageRegistry.h"
#include "text/BracketMatching.h"
#include "text/LineStartIndex.h"

#include "support/BenchWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QUndoStack>
#include <benchmark/benchmark.h>
#include <memory>

using namespace dunmoss;

namespace {

// Code-like lines of about 70 characters; the first character opens a parenthesis that the
// last one closes, so a caret after it makes bracket matching scan the whole text.
QString makeDocument(qsizetype length) {
    const QString line =
        QStringLiteral("    if (value[index] > limit) { total += compute(value, index); }\n");
    QString text;
    text.reserve(length + line.size());
    text += u'(';
    while (text.size() + line.size() < length - 1)
        text += line;
    while (text.size() < length - 1)
        text += u'x';
    text += u')';
    return text;
}

// A tab as the window holds it, re-applied to the view after every binding write.
struct BoundTab {
    QUuid id = QUuid::createUuid();
    QString text;
    TextRange range{0, 0};
    QList<TextRange> ranges{TextRange{0, 0}};
    QUndoStack undo;
    TextStorageRegistry registry;
    std::unique_ptr<CodeEditorView> view;
    bool echo = true;
    EditorLanguage language = EditorLanguage::PlainText;

    CodeEditorProps props() {
        CodeEditorProps p;
        p.text = {[this] { return text; },
                  [this](const QString& v) {
                      text = v;
                      if (echo && view)
                          view->update(props());
                  }};
        p.selectedRange = {[this] { return range; },
                           [this](const TextRange& v) {
                               range = v;
                               ranges = {v};
                           }};
        p.selectedRanges = {[this] { return ranges; },
                            [this](const QList<TextRange>& v) {
                                ranges = v;
                                range = v.value(0);
                            }};
        p.documentID = id;
        p.documentUndoManager = &undo;
        p.textStorageRegistry = &registry;
        p.wordWrap = false;
        p.showInvisibles = true;
        p.language = language;
        return p;
    }

    BoundTab(qsizetype length, qsizetype caret,
             EditorLanguage colouring = EditorLanguage::PlainText)
        : language(colouring) {
        text = makeDocument(length);
        range = {caret, 0};
        ranges = {range};
        view = std::make_unique<CodeEditorView>(props());
        view->resize(1000, 700);
        view->show();
        QApplication::processEvents();
    }
};

using dunmoss::bench::typeOneKey;

void keystroke(benchmark::State& state, qsizetype length, qsizetype caret, bool paint,
               EditorLanguage language = EditorLanguage::PlainText) {
    BoundTab tab(length, caret, language);
    ShortcutTextView* text = tab.view->textView();
    int counter = 0;
    for (auto _ : state) {
        typeOneKey(text, counter);
        if (paint) {
            text->viewport()->repaint();
            tab.view->ruler()->repaint();
        }
    }
    if (tab.text.size() != length + counter)
        state.SkipWithError("the binding missed a keystroke");
    state.counters["brackets_marked"] =
        double(tab.view->coordinator().bracketHighlightRanges.size());
}

void registerAll() {
    benchmark::RegisterBenchmark("keystroke/2M/binding+ruler+brackets", [](benchmark::State& s) {
        keystroke(s, 2'000'000, 1'000'000, false);
    })->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("keystroke/2M/with_paint", [](benchmark::State& s) {
        keystroke(s, 2'000'000, 1'000'000, true);
    })->Unit(benchmark::kMicrosecond);
    // Up to 64,000 units the whole text is coloured again after every keystroke.
    benchmark::RegisterBenchmark(
        "keystroke/64k/cpp_coloured_with_paint",
        [](benchmark::State& s) { keystroke(s, 63'000, 32'000, true, EditorLanguage::Cpp); })
        ->Unit(benchmark::kMicrosecond)
        ->Iterations(900); // stays at most 64,000 long
    benchmark::RegisterBenchmark("keystroke/64k/plain_with_paint",
                                 [](benchmark::State& s) { keystroke(s, 63'000, 32'000, true); })
        ->Unit(benchmark::kMicrosecond)
        ->Iterations(900);
    // Typing just before the opening parenthesis keeps it at the caret, so every keystroke
    // scans to its partner at the end of the text.
    benchmark::RegisterBenchmark("keystroke/900k/bracket_scan_whole_text", [](benchmark::State& s) {
        keystroke(s, 900'000, 0, false);
    })->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("part/line_index_rebuild_2M", [](benchmark::State& state) {
        const QString text = makeDocument(2'000'000);
        LineStartIndex index;
        for (auto _ : state) {
            index.reset(text);
            benchmark::DoNotOptimize(index.lineCount());
        }
    })->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("part/bracket_match_900k", [](benchmark::State& state) {
        const QString text = makeDocument(900'000);
        for (auto _ : state)
            benchmark::DoNotOptimize(bracketHighlightRanges(text, TextRange{0, 0}));
    })->Unit(benchmark::kMicrosecond);
}

} // namespace

int main(int argc, char** argv) {
    return bench::runWindowBenchmarks(argc, argv, [] {
        registerAll();
        return bench::RatioPairs{};
    });
}
