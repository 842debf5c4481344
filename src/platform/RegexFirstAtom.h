#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace dunmoss {

// The one-character atom every match of a pattern begins with ("[0-9]" in "[0-9]+\.[0-9]+",
// "\w" in "\b\w+@"), as a pattern of its own with the inline flags before it; and when the
// atom loops with "+" and the next atom is as required ("\." and "@" there), that one too.
struct FirstAtoms {
    QString first;
    QString follower; // empty when there is none
};
//
// Zero-width assertions may come before it ("^", "\b", look-around, as whole-word searches put
// there), and groups may be open around it, but nothing may let a match begin elsewhere: no "?",
// "*" or "{" on the atom or on a group around it, no "|" beside it, and no "\G", whose meaning a
// restarted find would change. Under case folding only an ASCII literal passes ("ß" matches
// "ss"). Conservative: anything it does not fully understand gives nothing. Patterns written
// with comments and free spacing are not analysed.
std::optional<FirstAtoms> analyseFirstAtoms(QStringView pattern, bool caseInsensitive);

} // namespace dunmoss
