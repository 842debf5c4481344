// The line diff of two 2,000-line texts against GNU diff on the same texts written to files.
#include "support/PeerRatioReporter.h"
#include "text/LineDiff.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace dunmoss;

namespace {

constexpr int kLines = 2000;

struct Pair {
    QString left;
    QString right;
    QString leftPath;
    QString rightPath;
};

QString randomLine(QRandomGenerator& random) {
    QString line = QStringLiteral("    value_%1 = compute(%2, %3);")
                       .arg(random.bounded(5000))
                       .arg(random.bounded(100))
                       .arg(random.bounded(100));
    return line;
}

// The right side changes, inserts or drops about one line in ten.
const Pair& texts() {
    static QTemporaryDir dir;
    static const Pair pair = [] {
        QRandomGenerator random(17);
        QStringList left, right;
        for (int i = 0; i < kLines; ++i)
            left.append(randomLine(random));
        for (const QString& line : left) {
            const int roll = random.bounded(30);
            if (roll == 0)
                right.append(randomLine(random));
            else if (roll == 1)
                continue;
            else if (roll == 2)
                right.append(line), right.append(randomLine(random));
            else
                right.append(line);
        }
        while (right.size() > kLines)
            right.removeLast();
        Pair p{left.join(u'\n') + u'\n', right.join(u'\n') + u'\n', dir.filePath("left.txt"),
               dir.filePath("right.txt")};
        for (const auto& [path, text] :
             {std::pair{p.leftPath, p.left}, std::pair{p.rightPath, p.right}}) {
            QFile out(path);
            out.open(QIODevice::WriteOnly);
            out.write(text.toUtf8());
        }
        return p;
    }();
    return pair;
}

void oursDiff(benchmark::State& state) {
    const Pair& pair = texts();
    qsizetype rows = 0;
    for (auto _ : state) {
        const auto result =
            pairChangedRows(diffLines(splitCompareLines(pair.left), splitCompareLines(pair.right)));
        rows = result.size();
        benchmark::DoNotOptimize(result.data());
    }
    state.counters["rows"] = double(rows);
}

void peerDiff(benchmark::State& state) {
    const Pair& pair = texts();
    const std::string command = "LC_ALL=C diff '" + pair.leftPath.toStdString() + "' '" +
                                pair.rightPath.toStdString() + "' | wc -l";
    std::string output;
    for (auto _ : state)
        output = bench::runCommand(command);
    state.counters["output_lines"] = std::atof(output.c_str());
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RegisterBenchmark("ours/diff_2000_lines", oursDiff)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("peer/gnu_diff_2000_lines", peerDiff)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    bench::PeerRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios({{"ours/diff_2000_lines", "peer/gnu_diff_2000_lines/real_time"}});
    benchmark::Shutdown();
    return 0;
}
