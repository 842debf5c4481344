#pragma once

#include <QtGlobal>

namespace dunmoss {

// The line breaks of a text as it stood before they were turned into LF, for choosing the line
// ending it is saved with.
struct LineBreakCounts {
    qsizetype carriageReturns = 0;
    qsizetype lineFeeds = 0;
    qsizetype pairs = 0; // CR immediately followed by LF

    LineBreakCounts& operator+=(const LineBreakCounts& other) {
        carriageReturns += other.carriageReturns;
        lineFeeds += other.lineFeeds;
        pairs += other.pairs;
        return *this;
    }
    friend bool operator==(const LineBreakCounts&, const LineBreakCounts&) = default;
};

} // namespace dunmoss
