#pragma once

// Console output plus, at the end, the ratio of each of our benchmarks to its peer run in the
// same process: "ours/peer < 1" means we are faster.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace dunmoss::bench {

class PeerRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                m_times[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
    }

    // Pairs of (ours, peer) benchmark names.
    void printRatios(const std::vector<std::pair<std::string, std::string>>& pairs) const {
        std::printf("\nRatios (our real time / peer real time; below 1 means faster):\n");
        for (const auto& [ours, peer] : pairs) {
            const auto a = m_times.find(ours);
            const auto b = m_times.find(peer);
            if (a == m_times.end() || b == m_times.end() || b->second <= 0)
                continue;
            std::printf("  %-48s vs %-40s %.3f\n", ours.c_str(), peer.c_str(),
                        a->second / b->second);
        }
    }

private:
    std::map<std::string, double> m_times;
};

// Runs a shell command and returns its standard output.
inline std::string runCommand(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t read;
        while ((read = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, read);
        pclose(pipe);
    }
    return output;
}

} // namespace dunmoss::bench
