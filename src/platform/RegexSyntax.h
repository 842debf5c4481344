#pragma once

#include <QChar>
#include <QStringView>

// Reading the shape of an ICU pattern without compiling it, for the analyses that speed up a
// run. Every helper is conservative: what it does not understand ends as -1 or "no".
namespace dunmoss::regex_syntax {

bool isQuantifier(QChar c);
bool isAsciiLetter(QChar c);

// Index after an escape starting at the backslash `at`, or -1 when it is malformed. "\Q"
// quotes up to "\E" (or the end); "\p{...}", "\N{...}" and "\x{...}" end at their brace.
qsizetype afterEscape(QStringView p, qsizetype at);
// Index after the set whose "[" is at `at`, or -1. A "]" right after "[" or "[^" is literal.
qsizetype afterSet(QStringView p, qsizetype at);
// Index after the group whose "(" is at `at`, or -1.
qsizetype afterGroup(QStringView p, qsizetype at);

// Inline flags ICU accepts that do not change how the pattern is written.
bool safeFlags(QStringView flags);
// Index after the comment "(?#...)" whose "(" is at `at`, or -1 when it is not closed.
qsizetype afterComment(QStringView p, qsizetype at);
// Whether the group whose "(" is at `at` sets no inline flag but safe ones ("(?i)", "(?-m:").
bool opensWithSafeFlags(QStringView p, qsizetype at);

// An atom that matches exactly one character: where it ends (-1 when it is none) and whether it
// is a literal character rather than a class.
struct Atom {
    qsizetype end = -1;
    bool literal = false;
};
Atom classAtomAt(QStringView p, qsizetype at);

// Under case folding a literal may match several characters ("ß" matches "ss") and adjacent
// literals one ("ss" matches "ß"); a lone printable ASCII character matches exactly one, and a
// string of them a stretch of the text no longer than itself (only letters are the folds of
// other characters, and each of those is one unit).
bool isFoldSafeLiteral(QChar c);

} // namespace dunmoss::regex_syntax
