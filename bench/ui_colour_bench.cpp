// Syntax colouring end to end (the language passes plus the layout formats of every block) on a
// 64,000- and a 1,000,000-character C++ file and a 1,000,000-character JSON file, against
// KSyntaxHighlighting's command-line highlighter on the same files in the same run (skipped
// when it is not installed). "view" cases colour what an editor view restyles (the whole text
// up to 64,000 units, else the visible lines widened by 16,384 each side); "whole" cases colour
// every character, as the peer does. Also: outline extraction of a 1,000,000-character file
// against universal-ctags.
// Typing in a coloured 64,000-character view is timed in ui_keystroke_bench.
#include "editor/CodeEditorCoordinator.h"
#include "editor/CodeEditorView.h"
#include "editor/PassSyntaxHighlighting.h"
#include "editor/ShortcutTextView.h"
#include "editor/TextStorageRegistry.h"
#include "support/BenchWindow.h"
#include "text/DocumentOutline.h"
#include "text/SyntaxColouring.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QUndoStack>
#include <benchmark/benchmark.h>
#include <memory>

using namespace dunmoss;

namespace {

QString cppText(qsizetype length) {
    const QString chunk = QStringLiteral(
        "#include <vector>\n"
        "/* Sums the values below a limit,\n   skipping negative ones. */\n"
        "static int sumBelow(const std::vector<int>& values, int limit) {\n"
        "    int total = 0; // running sum\n"
        "    for (int value : values) {\n"
        "        if (value < 0 || value > limit)\n"
        "            continue;\n"
        "        total += value * 2 + 0x1F;\n"
        "    }\n"
        "    const char* label = \"total: \\\"sum\\\"\";\n"
        "    return total;\n"
        "}\n\n"
        "class Counter {\npublic:\n    explicit Counter(int start) : m_count(start) {}\n"
        "    int next() { return ++m_count; }\nprivate:\n    int m_count = 42;\n};\n\n");
    QString text;
    text.reserve(length);
    while (text.size() + chunk.size() <= length)
        text += chunk;
    text += QString(length - text.size(), u' ');
    return text;
}

QString jsonText(qsizetype length) {
    QString text = QStringLiteral("[\n");
    int i = 0;
    const QString tail = QStringLiteral("{}]\n");
    while (true) {
        const QString item =
            QStringLiteral("  {\"id\": %1, \"name\": \"item %1\", \"price\": -%1.25e2, \"tags\": "
                           "[\"a\", \"b\"], \"active\": true, \"parent\": null},\n")
                .arg(i++);
        if (text.size() + item.size() + tail.size() > length)
            break;
        text += item;
    }
    text += tail;
    text += QString(length - text.size(), u' ');
    return text;
}

struct Fixture {
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/dunmoss-colour-bench-XXXXXX")};
    QString cpp64k = cppText(64'000);
    QString cpp1M = cppText(1'000'000);
    QString json1M = jsonText(1'000'000);
    QString path(const char* name) const { return dir.path() + u'/' + QLatin1String(name); }
    Fixture() {
        write("sample64k.cpp", cpp64k);
        write("sample1M.cpp", cpp1M);
        write("sample1M.json", json1M);
        write("empty.cpp", QString());
    }
    void write(const char* name, const QString& text) const {
        QFile file(path(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void clearFormats(QTextDocument* document) {
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        if (block.layout())
            block.layout()->clearFormats();
}

// A view as a window shows it, coloured again from scratch in every iteration.
void viewColouring(benchmark::State& state, const QString& text, EditorLanguage language) {
    TextStorageRegistry registry;
    QUndoStack undo;
    QString bound = text;
    TextRange range{0, 0};
    QList<TextRange> ranges{range};
    CodeEditorProps props;
    props.text = {[&] { return bound; }, [&](const QString& v) { bound = v; }};
    props.selectedRange = {[&] { return range; }, [&](const TextRange& v) { range = v; }};
    props.selectedRanges = {[&] { return ranges; }, [&](const QList<TextRange>& v) { ranges = v; }};
    props.documentID = QUuid::createUuid();
    props.documentUndoManager = &undo;
    props.textStorageRegistry = &registry;
    props.language = language;
    props.theme = EditorTheme::Light;
    CodeEditorView view(props);
    view.resize(1000, 700);
    view.show();
    QApplication::processEvents();
    SyntaxHighlighting& engine = view.coordinator().highlighting();
    QTextDocument* document = view.textView()->document();
    for (auto _ : state) {
        state.PauseTiming();
        clearFormats(document);
        state.ResumeTiming();
        engine.applyHighlighting();
    }
}

// Every character coloured: the passes over the whole text and the formats of every block.
void wholeColouring(benchmark::State& state, const QString& text, EditorLanguage language) {
    QPlainTextEdit edit;
    edit.setLineWrapMode(QPlainTextEdit::NoWrap);
    edit.setPlainText(text);
    edit.resize(1000, 700);
    QTextDocument* document = edit.document();
    const TextRange all{0, text.size()};
    for (auto _ : state) {
        state.PauseTiming();
        clearFormats(document);
        state.ResumeTiming();
        applyStyleRuns(*document, all, syntaxStyleRuns(text, all, language), EditorTheme::Light,
                       QApplication::palette());
    }
}

bool havePeer(const char* program) {
    return !bench::runCommand(std::string("command -v ") + program + " 2>/dev/null").empty();
}

void peerCommand(benchmark::State& state, const char* program, const std::string& command) {
    if (!havePeer(program)) {
        state.SkipWithError((std::string(program) + " is not installed").c_str());
        return;
    }
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("the peer failed");
            break;
        }
}

std::string highlighter(const QString& file, const char* syntax) {
    return "kate-syntax-highlighter -f ansi -b -s " + std::string(syntax) + " -o /dev/null '" +
           file.toStdString() + "' 2>/dev/null";
}

void registerAll() {
    Fixture& f = fixture();
    const auto ms = benchmark::kMillisecond;
    benchmark::RegisterBenchmark(
        "ours/cpp_64k/view",
        [&f](benchmark::State& s) { viewColouring(s, f.cpp64k, EditorLanguage::Cpp); })
        ->Unit(ms)
        ->UseRealTime();
    benchmark::RegisterBenchmark("peer/cpp_64k",
                                 [&f](benchmark::State& s) {
                                     peerCommand(s, "kate-syntax-highlighter",
                                                 highlighter(f.path("sample64k.cpp"), "C++"));
                                 })
        ->Unit(ms)
        ->UseRealTime();
    benchmark::RegisterBenchmark(
        "ours/cpp_1M/view",
        [&f](benchmark::State& s) { viewColouring(s, f.cpp1M, EditorLanguage::Cpp); })
        ->Unit(ms)
        ->UseRealTime();
    benchmark::RegisterBenchmark(
        "ours/cpp_1M/whole",
        [&f](benchmark::State& s) { wholeColouring(s, f.cpp1M, EditorLanguage::Cpp); })
        ->Unit(ms)
        ->UseRealTime();
    benchmark::RegisterBenchmark("peer/cpp_1M",
                                 [&f](benchmark::State& s) {
                                     peerCommand(s, "kate-syntax-highlighter",
                                                 highlighter(f.path("sample1M.cpp"), "C++"));
                                 })
        ->Unit(ms)
        ->UseRealTime();
    benchmark::RegisterBenchmark(
        "ours/json_1M/view",
        [&f](benchmark::State& s) { viewColouring(s, f.json1M, EditorLanguage::Json); })
        ->Unit(ms)
        ->UseRealTime();
    benchmark::RegisterBenchmark(
        "ours/json_1M/whole",
        [&f](benchmark::State& s) { wholeColouring(s, f.json1M, EditorLanguage::Json); })
        ->Unit(ms)
        ->UseRealTime();
    benchmark::RegisterBenchmark("peer/json_1M",
                                 [&f](benchmark::State& s) {
                                     peerCommand(s, "kate-syntax-highlighter",
                                                 highlighter(f.path("sample1M.json"), "JSON"));
                                 })
        ->Unit(ms)
        ->UseRealTime();
    // The peer's start-up alone, for reading the small-file ratios.
    benchmark::RegisterBenchmark("peer/empty_file",
                                 [&f](benchmark::State& s) {
                                     peerCommand(s, "kate-syntax-highlighter",
                                                 highlighter(f.path("empty.cpp"), "C++"));
                                 })
        ->Unit(ms)
        ->UseRealTime();

    // Each pass of the generic rules alone over the 64,000-character file.
    const QList<HighlightPass>& passes = highlightPasses(EditorLanguage::Cpp);
    for (qsizetype i = 0; i < passes.size(); ++i) {
        const std::string name = "part/generic_pass_" + std::to_string(i + 1) + "/cpp_64k";
        benchmark::RegisterBenchmark(name.c_str(), [&f, pass = passes[i]](benchmark::State& s) {
            for (auto _ : s)
                benchmark::DoNotOptimize(
                    syntaxStyleRuns(f.cpp64k, TextRange{0, f.cpp64k.size()}, {pass}));
        })->Unit(benchmark::kMicrosecond);
    }
    benchmark::RegisterBenchmark("ours/outline_1M/cpp",
                                 [&f](benchmark::State& s) {
                                     for (auto _ : s)
                                         benchmark::DoNotOptimize(
                                             extractOutline(f.cpp1M, EditorLanguage::Cpp));
                                 })
        ->Unit(ms)
        ->UseRealTime();
    benchmark::RegisterBenchmark("ours/outline_1M/plain_text_all",
                                 [&f](benchmark::State& s) {
                                     for (auto _ : s)
                                         benchmark::DoNotOptimize(
                                             extractOutline(f.cpp1M, EditorLanguage::PlainText));
                                 })
        ->Unit(ms)
        ->UseRealTime();
    // Selector lines and no brace at all: every line start scans on to the text's end.
    benchmark::RegisterBenchmark("ours/outline_200k/css_without_braces", [](benchmark::State& s) {
        QString text;
        while (text.size() < 200'000)
            text += QStringLiteral("a.item > span:hover,\n");
        for (auto _ : s)
            benchmark::DoNotOptimize(extractOutline(text, EditorLanguage::Css));
    })->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("peer/outline_1M/ctags",
                                 [&f](benchmark::State& s) {
                                     peerCommand(s, "ctags",
                                                 "ctags -f /dev/null --languages=C++ '" +
                                                     f.path("sample1M.cpp").toStdString() +
                                                     "' 2>/dev/null");
                                 })
        ->Unit(ms)
        ->UseRealTime();
}

} // namespace

int main(int argc, char** argv) {
    return bench::runWindowBenchmarks(argc, argv, [] {
        registerAll();
        return bench::RatioPairs{
            {"ours/cpp_64k/view/real_time", "peer/cpp_64k/real_time"},
            {"ours/cpp_1M/view/real_time", "peer/cpp_1M/real_time"},
            {"ours/cpp_1M/whole/real_time", "peer/cpp_1M/real_time"},
            {"ours/json_1M/view/real_time", "peer/json_1M/real_time"},
            {"ours/json_1M/whole/real_time", "peer/json_1M/real_time"},
            {"ours/outline_1M/cpp/real_time", "peer/outline_1M/ctags/real_time"},
            {"ours/outline_1M/plain_text_all/real_time", "peer/outline_1M/ctags/real_time"},
        };
    });
}
