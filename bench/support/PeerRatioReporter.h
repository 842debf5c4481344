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
        // With repetitions the median stands for the benchmark; otherwise the single run.
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                m_medians[run.run_name.str()] = run.GetAdjustedRealTime();
            else if (run.run_type == Run::RT_Iteration)
                m_times[run.run_name.str()] = run.GetAdjustedRealTime();
        }
    }

    // Pairs of (ours, peer) benchmark names.
    void printRatios(const std::vector<std::pair<std::string, std::string>>& pairs) const {
        std::printf("\nRatios (our real time / peer real time; below 1 means faster):\n");
        for (const auto& [ours, peer] : pairs) {
            const double a = timeOf(ours);
            const double b = timeOf(peer);
            if (a <= 0 || b <= 0)
                continue;
            std::printf("  %-40s vs %-40s %.3f\n", ours.c_str(), peer.c_str(), a / b);
        }
    }

private:
    double timeOf(const std::string& name) const {
        if (const auto it = m_medians.find(name); it != m_medians.end())
            return it->second;
        if (const auto it = m_times.find(name); it != m_times.end())
            return it->second;
        return 0;
    }

    std::map<std::string, double> m_times;
    std::map<std::string, double> m_medians;
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
