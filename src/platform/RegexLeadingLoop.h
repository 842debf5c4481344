#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace dunmoss {

// For a pattern that begins with a loop over one character class ("\w+@", ".*x", "[^,]*;",
// optionally inside one group and after inline flags), a pattern matching one character of that
// class, written with the same inline flags.
//
// Skipping is sound when the rest of the pattern cannot tell where the match began (no
// alternation at the top, no "\G", no back-reference to the loop's group): then a match that
// starts at a later character of the same run of the class gives a match that starts earlier,
// so an attempt that fails at a character of the class fails at every later character of that
// run. Without this, a search for ".*zzz" tries every position of a long line and a search
// for "\w+@" every position of a long word, each time scanning to its end: quadratic work.
//
// Conservative: anything it does not fully understand gives nothing (no skipping). Patterns
// written with comments and free spacing are not analysed.
std::optional<QString> leadingLoopClass(QStringView pattern, bool caseInsensitive);

} // namespace dunmoss
