// Folder search of a literal and of a regular expression over a large real tree (by default
// /usr/include, or DUNMOSS_BENCH_TREE) with the include filter "*.h" and no hit limit, against
// GNU grep -rn and ripgrep over the same files in the same run. A peer that is not installed is
// left out.
#include "support/PeerCommand.h"
#include "text/FolderSearch.h"

#include <QDir>
#include <QFileInfo>
#include <benchmark/benchmark.h>
#include <climits>

using namespace dunmoss;

namespace {

const QString kInclude = QStringLiteral("*.h");
const QString kLiteral = QStringLiteral("include");
const QString kRegex = QStringLiteral("[0-9]+\\.[0-9]+");

QString treePath() {
    const QByteArray chosen = qgetenv("DUNMOSS_BENCH_TREE");
    return chosen.isEmpty() ? QStringLiteral("/usr/include") : QString::fromLocal8Bit(chosen);
}

void ours(benchmark::State& state, const QString& query, const TextSearchOptions& options) {
    const QUrl folder = QUrl::fromLocalFile(treePath());
    qsizetype hits = 0;
    for (auto _ : state) {
        const auto results = searchFolder(query, folder, {kInclude}, {}, options, INT_MAX);
        hits = results.size();
        benchmark::DoNotOptimize(results.data());
    }
    state.counters["hits"] = double(hits);
}

bool installed(const char* tool) {
    return bench::runCommand(std::string("command -v ") + tool + " >/dev/null 2>&1 && echo yes")
               .rfind("yes", 0) == 0;
}

void registerAll() {
    const std::string tree = bench::shellQuoted(treePath());
    const std::string glob = bench::shellQuoted(kInclude);
    struct Case {
        const char* name;
        QString query;
        bool isRegex;
        bool isCaseSensitive;
        std::string grep;
        std::string rg;
    };
    const Case cases[] = {
        {"literal", kLiteral, false, true, "grep -rn -F " + bench::shellQuoted(kLiteral),
         "rg -n --no-ignore -F " + bench::shellQuoted(kLiteral)},
        {"literal_ignoring_case", kLiteral, false, false,
         "grep -rn -i -F " + bench::shellQuoted(kLiteral),
         "rg -n -i --no-ignore -F " + bench::shellQuoted(kLiteral)},
        {"regex", kRegex, true, true, "grep -rn -E " + bench::shellQuoted(kRegex),
         "rg -n --no-ignore " + bench::shellQuoted(kRegex)},
    };
    const bool hasGrep = installed("grep");
    const bool hasRg = installed("rg");
    for (const Case& c : cases) {
        const QString query = c.query;
        const TextSearchOptions options{c.isRegex, c.isCaseSensitive, false};
        benchmark::RegisterBenchmark(
            (std::string("ours/folder_search_") + c.name).c_str(),
            [query, options](benchmark::State& s) { ours(s, query, options); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        if (hasGrep) {
            const std::string command = c.grep + " --include=" + glob + " " + tree + " | wc -l";
            benchmark::RegisterBenchmark((std::string("peer/grep_rn_") + c.name).c_str(),
                                         [command](benchmark::State& s) {
                                             bench::runPeer(s, "LC_ALL=C " + command, "lines");
                                         })
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
        if (hasRg) {
            const std::string command = c.rg + " -g " + glob + " " + tree + " | wc -l";
            benchmark::RegisterBenchmark((std::string("peer/rg_") + c.name).c_str(),
                                         [command](benchmark::State& s) {
                                             bench::runPeer(s, "LC_ALL=C " + command, "lines");
                                         })
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    registerAll();
    bench::PeerRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios(
        {{"ours/folder_search_literal/real_time", "peer/grep_rn_literal/real_time"},
         {"ours/folder_search_literal/real_time", "peer/rg_literal/real_time"},
         {"ours/folder_search_literal_ignoring_case/real_time",
          "peer/grep_rn_literal_ignoring_case/real_time"},
         {"ours/folder_search_literal_ignoring_case/real_time",
          "peer/rg_literal_ignoring_case/real_time"},
         {"ours/folder_search_regex/real_time", "peer/grep_rn_regex/real_time"},
         {"ours/folder_search_regex/real_time", "peer/rg_regex/real_time"}});
    benchmark::Shutdown();
    return 0;
}
