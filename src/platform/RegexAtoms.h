#pragma once

#include <QStringView>
#include <optional>

// Pieces of a pattern the run-skipping analyses read: atoms of one character, group openings,
// counts, assertions and whether the rest of a pattern can tell where a match began.
namespace dunmoss::regex_syntax {

// Whether the rest of a pattern, from `at`, keeps a failed attempt's verdict for later starts
// in the same run: no "|" that could bypass the loop, no "\G", no free-spacing flag, no
// back-reference when a group before the rest (still open at `at` when `groupOpen`) captured
// something that depends on where the match began, and no quantifier on a group still open.
bool restIsPositionIndependent(QStringView p, qsizetype at, bool refersBack, bool groupOpen);

// The length of the pattern's leading inline flags, "(?i)", 0 when it has none; nothing when
// they are flags the analyses do not understand.
std::optional<qsizetype> leadingFlagsLength(QStringView p);

// A zero-width assertion at `at` that captures nothing and refers to no group: where it ends,
// or -1. Its truth at a position depends only on the text, the region and its bounds.
qsizetype afterAssertion(QStringView p, qsizetype at);

// Where the opening of a group at `at` ends, "(", "(?:" or "(?<name>", and whether it captures;
// -1 for any other group.
struct GroupOpening {
    qsizetype end = -1;
    bool captures = false;
};

GroupOpening groupOpeningAt(QStringView p, qsizetype at);

// An escaped ASCII punctuation character, "\." or "\-": one literal character.
qsizetype afterEscapedPunctuation(QStringView p, qsizetype at);

// One atom that matches exactly one character: a class, a literal, or a group of such atoms
// as alternatives ("(a|b)", "(?:[0-9]|x)"). Under case folding a literal must be fold-safe.
struct PrefixAtom {
    qsizetype end = -1;
    bool literal = false;
    bool captures = false;
};

PrefixAtom oneCharacterAt(QStringView p, qsizetype at, bool folds);

PrefixAtom prefixAtomAt(QStringView p, qsizetype at, bool folds);

// A count after an atom: "{n}", "{n,}" or "{n,m}".
struct Count {
    int least = 0;
    int most = -1;      // -1 when open
    qsizetype end = -1; // after the "}"; -1 when there is no such count
};

Count countAt(QStringView p, qsizetype at);

} // namespace dunmoss::regex_syntax
