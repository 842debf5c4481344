#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace dunmoss {

// What lets a failed match attempt rule out later starts: the class a pattern's leading loop
// repeats ("\w" in "\w+@", "." in ".*x", "[^,]*;", "[a-z]" in "[a-z]{3,}"), after up to eight
// atoms that each match one character ("[A-Z]" in "[A-Z][a-z]+ed", "\d{4}" in "\d{4}-\w+"),
// optionally inside one group and after inline flags and a look-behind.
struct LeadingLoop {
    // Each matches one character of an atom before the loop, in order, with the inline flags.
    QStringList prefixClasses;
    // Matches one character of the class, with the pattern's inline flags.
    QString loopClass;
    // The look-behind before the loop, or empty: skipping needs it to hold where the attempt
    // failed.
    QString assertion;
};

// Skipping is sound when the rest of the pattern cannot tell where the match began (no
// alternation around the loop, no "\G", no back-reference to the loop's group): then a match
// that starts at a later character of the same run of the class gives one that starts earlier.
// With m atoms before the loop: when the atoms match the m characters from i, the look-behind
// holds at i and the attempt at i fails, take the run of the loop's class from i + m to e. A
// match from j in (i, e - m] has its atoms in [j, j + m) and its loop over [j + m, k); from i
// the atoms take [i, i + m) and the loop [i + m, k), since [i + m, j + m) lies in the run, and
// the rest matches at k as before: so there is none. This holds only while every atom and
// every step of the loop takes exactly one unit, so a run never holds a surrogate or a carriage
// return (a dot that matches line ends takes CR LF as one character), and under case folding
// only single ASCII letters and digits pass as literal atoms ("ss" matches "ß"). Without this,
// a search for ".*zzz" tries every position of a long line and a search for "\w+@" or
// "[A-Z]\w+Error" every position of a long word, each time scanning to its end: quadratic
// work.
//
// Conservative: anything it does not fully understand gives nothing (no skipping). Patterns
// written with comments and free spacing are not analysed.
std::optional<LeadingLoop> analyseLeadingLoop(QStringView pattern, bool caseInsensitive);

} // namespace dunmoss
