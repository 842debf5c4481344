#pragma once

#include <QtGlobal>
#include <array>
#include <cstdint>
#include <optional>

namespace dunmoss {

// The ASCII units a match can begin with, when every match begins with one character of a
// known set (see RegexFirstAtom.h): lets a find jump past the units that cannot start one
// instead of trying each. When that character loops and a required one of a disjoint set
// follows ("[0-9]+\."), a run of the loop's units not followed by one of those is passed too.
// Every unit that is not ASCII counts as a possible start or follower, so the scan never rules
// on text it does not know.
class RegexStartFilter {
public:
    using UnitSet = std::array<bool, 128>;
    // A follower set that shares a unit with the start set is not used.
    explicit RegexStartFilter(const UnitSet& canStart, const std::optional<UnitSet>& follower = {});

    bool mayStart(char16_t unit) const { return unit >= 0x80 || m_canStart[unit]; }
    bool usesFollower() const { return m_hasFollower; }
    // False when so much of ASCII may start a match that scanning would rarely pay.
    bool rulesOutEnough() const { return m_startCount <= 96; }

    // The first index in [from, limit) whose unit may start a match, or limit.
    qsizetype nextCandidate(const char16_t* text, qsizetype from, qsizetype limit) const;

    // What a run has learnt: no match starts in [scanFrom, start), and every index in
    // [start, startsUntil) passed the scan.
    struct Progress {
        qsizetype scanFrom = 0;
        qsizetype start = 0;
        qsizetype startsUntil = 0;
    };
    // Where a find about to try `next` should go on instead, when no match starts in
    // [next, from) either: the next possible start from `from` when it lies far enough ahead to
    // pay for restarting the find, else -1.
    qsizetype restartTarget(const char16_t* text, qsizetype next, qsizetype from, qsizetype limit,
                            Progress& progress) const;

private:
    static constexpr int kMostRanges = 4;
    UnitSet m_canStart;
    UnitSet m_follows{};
    bool m_hasFollower = false;
    int m_startCount = 0;
    // The start units as ranges, for the vector scan; 0 ranges with m_startCount > 0 means too
    // many ranges, scanned one unit at a time.
    int m_rangeCount = 0;
    std::array<char16_t, kMostRanges> m_rangeFirst{};
    std::array<char16_t, kMostRanges> m_rangeSpan{}; // last - first
};

} // namespace dunmoss
