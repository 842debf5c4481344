// Find-all and replace-all over a 5,000,000-character text, literal and regular expression,
// against GNU grep and sed reading the same text from a file.
#include "support/PeerRatioReporter.h"
#include "text/TextSearch.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace dunmoss;

namespace {

constexpr qsizetype kTextLength = 5000000;

const QString& corpus() {
    static const QString text = [] {
        const char* words[] = {"alpha", "beta", "gamma", "delta",  "lorem", "ipsum", "dolor",
                               "sit",   "amet", "quick", "brown",  "fox",   "jumps", "over",
                               "lazy",  "dog",  "v1.2",  "x=3.14", "error", "value"};
        QRandomGenerator random(42);
        QString built;
        built.reserve(kTextLength + 100);
        qsizetype lineLength = 0;
        while (built.size() < kTextLength) {
            const char* word = words[random.bounded(int(std::size(words)))];
            built.append(QLatin1String(word));
            lineLength += qsizetype(strlen(word));
            if (lineLength > 70) {
                built.append(u'\n');
                lineLength = 0;
            } else {
                built.append(u' ');
                ++lineLength;
            }
        }
        built.truncate(kTextLength);
        return built;
    }();
    return text;
}

const QString& corpusPath() {
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath(QStringLiteral("corpus.txt"));
        QFile out(file);
        out.open(QIODevice::WriteOnly);
        out.write(corpus().toUtf8());
        return file;
    }();
    return path;
}

const QString kLiteral = QStringLiteral("lorem");
const QString kRegex = QStringLiteral("[0-9]+\\.[0-9]+");

void findAll(benchmark::State& state, const QString& query, bool isRegex) {
    const QString& text = corpus();
    const TextSearchOptions options{isRegex, true, false};
    qsizetype total = 0;
    for (auto _ : state) {
        const auto found = findAllMatches(query, text, options);
        total = found.totalCount;
        benchmark::DoNotOptimize(found.results.data());
    }
    state.counters["matches"] = double(total);
}

void replaceAll(benchmark::State& state, const QString& query, bool isRegex) {
    const QString& text = corpus();
    const TextSearchOptions options{isRegex, true, false};
    for (auto _ : state) {
        const auto replaced = replaceAllMatches(query, QStringLiteral("<$0>"), text, options);
        benchmark::DoNotOptimize(replaced.text.constData());
    }
}

void peer(benchmark::State& state, const std::string& command) {
    const std::string full = "LC_ALL=C " + command;
    std::string output;
    for (auto _ : state)
        output = bench::runCommand(full);
    state.counters["output"] = std::atof(output.c_str());
}

std::string quoted(const QString& path) {
    return "'" + path.toStdString() + "'";
}

void registerAll() {
    const std::string file = quoted(corpusPath());
    benchmark::RegisterBenchmark("ours/find_all_literal", [](benchmark::State& s) {
        findAll(s, kLiteral, false);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(
        "peer/grep_o_literal",
        [file](benchmark::State& s) { peer(s, "grep -o -F lorem " + file + " | wc -l"); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("ours/find_all_regex", [](benchmark::State& s) {
        findAll(s, kRegex, true);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("peer/grep_o_regex",
                                 [file](benchmark::State& s) {
                                     peer(s, "grep -o -E '[0-9]+\\.[0-9]+' " + file + " | wc -l");
                                 })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("ours/replace_all_literal", [](benchmark::State& s) {
        replaceAll(s, kLiteral, false);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(
        "peer/sed_literal",
        [file](benchmark::State& s) { peer(s, "sed 's/lorem/<$0>/g' " + file + " | wc -c"); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("ours/replace_all_regex", [](benchmark::State& s) {
        replaceAll(s, kRegex, true);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("peer/sed_regex",
                                 [file](benchmark::State& s) {
                                     peer(s,
                                          "sed -E 's/[0-9]+\\.[0-9]+/<&>/g' " + file + " | wc -c");
                                 })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    registerAll();
    bench::PeerRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios({{"ours/find_all_literal", "peer/grep_o_literal/real_time"},
                          {"ours/find_all_regex", "peer/grep_o_regex/real_time"},
                          {"ours/replace_all_literal", "peer/sed_literal/real_time"},
                          {"ours/replace_all_regex", "peer/sed_regex/real_time"}});
    benchmark::Shutdown();
    return 0;
}
