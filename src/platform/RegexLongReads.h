#pragma once

#include <QStringView>

namespace dunmoss {

// Whether one attempt of the pattern may read far through the text without saving a
// backtracking state, where ICU's work tick never comes: a back-reference (compared unit by
// unit, again for every length its group gives back), an atomic group or possessive loop (read
// once, never given back), a loop inside a look-around, or a count of a thousand or more. A run of
// such a pattern reads its text in metered pieces instead (see IcuRegexMatcher). Conservative: a
// pattern it does not understand, or one written with comments and spaces, counts as such.
bool mayReadFarWithoutTicks(QStringView pattern);

} // namespace dunmoss
