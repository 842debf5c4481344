#pragma once

// Running a peer tool's command line once per iteration, its output's leading number kept as a
// counter (a line or byte count piped through wc, say).
#include "PeerRatioReporter.h"

#include <QString>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <string>

namespace dunmoss::bench {

inline void runPeer(benchmark::State& state, const std::string& command,
                    const char* counter = "output") {
    std::string output;
    for (auto _ : state)
        output = runCommand(command);
    state.counters[counter] = std::atof(output.c_str());
}

// A path or pattern in single quotes for the shell.
inline std::string shellQuoted(const QString& text) {
    return "'" + text.toStdString() + "'";
}

} // namespace dunmoss::bench
