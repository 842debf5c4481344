#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace dunmoss {

// What lets a failed match attempt rule out later starts: the class a pattern's leading loop
// repeats ("\w" in "\w+@", "." in ".*x", "[^,]*;"), optionally inside one group and after
// inline flags and a look-behind.
struct LeadingLoop {
    // Matches one character of the class, with the pattern's inline flags.
    QString loopClass;
    // The look-behind before the loop, or empty: skipping needs it to hold where the attempt
    // failed.
    QString assertion;
};

// Skipping is sound when the rest of the pattern cannot tell where the match began (no
// alternation around the loop, no "\G", no back-reference to the loop's group): then a match
// that starts at a later character of the same run of the class gives one that starts earlier,
// so an attempt that fails at a character of the class (where the look-behind holds) fails at
// every later character of that run. Without this, a search for ".*zzz" tries every position
// of a long line and a search for "\w+@" every position of a long word, each time scanning to
// its end: quadratic work.
//
// Conservative: anything it does not fully understand gives nothing (no skipping). Patterns
// written with comments and free spacing are not analysed.
std::optional<LeadingLoop> analyseLeadingLoop(QStringView pattern, bool caseInsensitive);

} // namespace dunmoss
