#pragma once

#include <QtGlobal>
#include <array>
#include <cstdint>

namespace dunmoss {

// The ASCII units a match can begin with, when every match begins with one character of a
// known set (see RegexFirstAtom.h): lets a find jump past the units that cannot start one
// instead of trying each. Every unit that is not ASCII counts as a possible start, so the scan
// never rules on text it does not know.
class RegexStartFilter {
public:
    explicit RegexStartFilter(const std::array<bool, 128>& canStart);

    bool mayStart(char16_t unit) const { return unit >= 0x80 || m_canStart[unit]; }
    // The first index in [from, limit) whose unit may start a match, or limit.
    qsizetype nextCandidate(const char16_t* text, qsizetype from, qsizetype limit) const;
    // False when so much of ASCII may start a match that scanning would rarely pay.
    bool rulesOutEnough() const { return m_startCount <= 96; }

    // Where a find about to try `next` should go on instead, when no match starts in
    // [next, from) either: the next possible start from `from` when it lies far enough ahead to
    // pay for restarting the find, else -1. `scannedTo` keeps the last start found, so a short
    // gap is scanned once.
    qsizetype restartTarget(const char16_t* text, qsizetype next, qsizetype from, qsizetype limit,
                            qsizetype& scannedTo) const;

private:
    static constexpr int kMostRanges = 4;
    std::array<bool, 128> m_canStart;
    int m_startCount = 0;
    // The start units as ranges, for the vector scan; 0 ranges with m_startCount > 0 means too
    // many ranges, scanned one unit at a time.
    int m_rangeCount = 0;
    std::array<char16_t, kMostRanges> m_rangeFirst{};
    std::array<char16_t, kMostRanges> m_rangeSpan{}; // last - first
};

} // namespace dunmoss
