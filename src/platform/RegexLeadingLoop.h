#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace dunmoss {

// What lets a failed match attempt rule out later starts: the class a pattern's leading loop
// repeats ("\w" in "\w+@", "." in ".*x", "[^,]*;", "[a-z]" in "[a-z]{3,}"), after up to eight
// atoms that each match one character ("[A-Z]" in "[A-Z][a-z]+ed", "\d{4}" in "\d{4}-\w+",
// "Err" in "Err\w+", "(a|b)" in "(a|b)\w+") and up to eight optional ones ("-?" in "-?\d+\.",
// "\d{1,3}"), optionally inside one group and after inline flags and zero-width assertions
// ("\b", "^", look-ahead, look-behind).
struct LeadingLoop {
    // Each matches one character of a required atom before the loop, in order, with the inline
    // flags.
    QStringList prefixClasses;
    // How many optional one-character atoms lie among them.
    int optionalAtoms = 0;
    // Matches one character of the class, with the pattern's inline flags.
    QString loopClass;
    // The assertions before the atoms, or empty: skipping needs them to hold where the attempt
    // failed.
    QString assertion;
    // A bounded loop, "x{n,m}": its most steps, and the pattern after it on its own. -1 and
    // empty for a loop without bound.
    int loopMost = -1;
    QString rest;
};

// Skipping is sound when the rest of the pattern cannot tell where the match began (no
// alternation around the loop, no "\G", no back-reference to a group before the rest): then a
// match that starts at a later character of the same run of the class gives one that starts
// earlier.
//
// Let S(q) say that the loop, from q, and the rest after it match. Within a run [q, e) of the
// loop's class, S(q') for q' in [q, e] gives S(q): from q the loop takes [q, q') as well, and at
// least as many steps as from q', and the rest matches where it did. So S fails on all of
// [q, e] when it fails at q.
//
// Now take b required atoms, a optional ones and assertions before them. When the assertions
// hold at i, the required atoms match the b characters from i, one each, and the attempt at i
// fails, then S fails at i + b (the optional atoms may all be left out), hence on [i + b, e]
// for the run [i + b, e) of the loop's class. A match from j in (i, e - b - a] ends its atoms
// at some q <= j + b + a <= e (no atom takes more than one unit) with S(q). And q >= i + b:
// were it less, the atoms from j would lie within [i + 1, i + b), whose units each fold to one
// character, so each required atom would take one unit and q >= j + b. So S(q) fails: there
// is no such match.
//
// A bounded loop, "x{n,m}", takes at most m steps, so S no longer carries over a whole run.
// When the run [i + b, e) is no longer than m, every end the loop reaches from q in
// [i + b, e] was reachable from i + b, where the rest failed at each: the same start is
// ruled out. In a longer run the rest failed at [i + b + n, i + b + m]; checked on its own at
// the positions after that up to the first k where it matches (or up to e), it rules out every
// j in (i, e - b - a] with j + b + a + m < k, since the loop from such a j ends before k.
//
// This holds only while every atom and every step of the loop takes at most one unit, and the
// characters checked at i exactly one: a run never holds a surrogate or a carriage return (a
// dot that matches line ends takes CR LF as one character), and a unit checked against an atom
// folds to one character ("\w" matches "ß", which folds to "ss"). Under case folding,
// adjacent literals match as a string ("ss" matches "ß"); a literal of ASCII letters, digits
// and punctuation matches a stretch of the text no longer than itself, since every character
// folds to at least one and no character outside ASCII folds to ASCII digits or punctuation.
// A literal under a quantifier matches one character at a time, each of one unit, as a class
// would. Other literals ("ß" matches "ss") are not used under folding. An optional atom
// must be one the match may leave out ("?", "??", "{0,n}", never "?+"). Without this, a search
// for ".*zzz" tries every position of a long line and a search for "\w+@" or "[A-Z]\w+Error"
// every position of a long word, each time scanning to its end: quadratic work.
//
// Conservative: anything it does not fully understand gives nothing (no skipping). Patterns
// written with comments and free spacing are not analysed.
std::optional<LeadingLoop> analyseLeadingLoop(QStringView pattern, bool caseInsensitive);

} // namespace dunmoss
