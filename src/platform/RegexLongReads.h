#pragma once

#include <QStringView>

namespace dunmoss {

// Whether one attempt of the pattern may read far through the text without saving a
// backtracking state, where ICU's work tick never comes: a back-reference (compared unit by
// unit, again for every length its group gives back) to a group that may take in more than 256
// units (eight for each character item, which folding may stretch), an atomic group or possessive
// loop (read once, never given back), a loop inside a look-around, or a count of a thousand or
// more. A run of such a pattern reads its text in metered pieces instead (see IcuRegexMatcher),
// unless each of those reads stays on its line and every line is short (below). Conservative: a
// pattern it does not understand, or one written with comments and spaces, counts as such.
bool mayReadFarWithoutTicks(QStringView pattern);

// The longest line a run of a pattern whose far reads stay on their lines may read over the
// whole text at once. ICU calls back at each position a find tries and every 10,000 saved
// states; a far read made after a saved state then reads at most a line (and the feed that ends
// it), so between two calls back it reads at most 10,000 lines of this length for each far read
// of the pattern: about ten million units, a few milliseconds. A 1,024-unit line holds a long
// paragraph or the widest line of code; a longer one is read in pieces.
inline constexpr qsizetype kLongestLineReadWhole = 1024;

// Whether every far read of the pattern (its back-references' groups, atomic groups and
// possessive loops, the loops inside its look-arounds and its counts in the thousands) can never
// take in a line feed, given whether a dot takes one in and whether letters fold; what a set or
// a class escape takes in is asked of ICU. A look-around repeated by a count of two or more is
// read again from the same place without a saved state between, so it counts as reading on.
// Conservative: free spacing, a flag it does not know, "\X", "\R", a back-reference to a
// group not yet closed or anything it does not understand is "no".
bool farReadsStayOnLine(QStringView pattern, bool dotAll, bool folds);

// Whether no line of the text (units between line feeds) is longer than `units`. Reads back
// from a window's end to the last feed in it, so over short lines it reads few units, and
// never reads a unit twice.
bool linesAtMost(QStringView text, qsizetype units);

// The pattern as ICU reads it in pieces: each "\b" and "\B" outside sets, quotes and comments
// comes after a look-behind that reads the character before the position. ICU's generic text path
// judges a boundary at the end of what it may see from wherever it last read, not from the
// position; the look-behind moves its reading there first and always holds. Free spacing, in
// force from the start with `freeSpacing` or where inline flags set it, decides which "#" opens a
// comment (see readFreeSpacing).
QString withBoundariesReadInPlace(QStringView pattern, bool freeSpacing);

} // namespace dunmoss
