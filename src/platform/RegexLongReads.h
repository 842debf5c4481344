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

// The pattern as ICU reads it in pieces: each "\b" and "\B" outside sets and quotes comes after a
// look-behind that reads the character before the position. ICU's generic text path judges a
// boundary at the end of what it may see from wherever it last read, not from the position;
// the look-behind moves its reading there first and always holds. With `commentsAnywhere` a "#"
// may open a comment to the line's end, so one there is not rewritten.
QString withBoundariesReadInPlace(QStringView pattern, bool commentsAnywhere);

} // namespace dunmoss
