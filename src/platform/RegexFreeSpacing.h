#pragma once

#include <QStringView>
#include <vector>

namespace dunmoss::regex_syntax {

// A pattern read as ICU reads it, following free spacing ("x") where it is in force: from an
// inline flag group on to the end of the group around it, inside a "(?x:...)" scope, and not
// after a "(?-x)". Where it is in force, white space is passed over and "#" opens a comment to
// the line's end, in sets too; elsewhere "#" is itself.
struct FreeSpacingReading {
    // Where each "\b" and "\B" outside sets, quotes and comments begins.
    std::vector<qsizetype> boundaries;
    // Whether an inline flag group turns free spacing on somewhere.
    bool turnedOn = false;
};

// `freeSpacing`: whether it is in force from the start (the pattern's options).
FreeSpacingReading readFreeSpacing(QStringView pattern, bool freeSpacing);

} // namespace dunmoss::regex_syntax
