#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <vector>

namespace dunmoss {

// A pattern read as A L R: a prefix A of any length and shape the analysis understands
// ("(ab|c)", "(ab)?", "\s*", ten one-character atoms, "é" or "straße" under case folding),
// a loop L over one character of a class without bound ("\w+", "[a-z]*", "x{2,}"), and a rest
// R that cannot tell where the match began (as for the leading loop, RegexLeadingLoop.h).
struct PrefixedLoop {
    // A on its own, with the pattern's inline flags and the assertions before it.
    QString prefix;
    // Every match of A takes at least `leastUnits` units and, leaving out its loops, at most
    // `mostUnits`.
    int leastUnits = 0;
    int mostUnits = 0;
    // One character of each loop inside A ("\s" in "\s*"), with the inline flags.
    QStringList prefixLoopClasses;
    // One character of L, with the inline flags.
    QString loopClass;
};

// Why a failed attempt rules out later starts. Let S(q) say that L, from q, and R match; S
// fails on all of [q, e] when it fails at q and [q, e) is a run of L's class (the proof in
// RegexLeadingLoop.h, which needs only that every unit of the run is one whole character of
// the class: no surrogate, no carriage return).
//
// No match starts at i, and A matches [i, q0) with q0 in such a run [s, e): since R keeps no
// record of A (no back-reference to A's groups, no "\G"), the attempt at i tried L R from q0,
// so S fails on [q0, e]. A match from a later j would be A over [j, q), then S(q). Now
// q >= j + leastUnits, and when j >= s and no unit of [s, e) is in the class of a loop inside
// A, each such loop starts before e (its start is at most j + mostUnits < e) on a unit it
// cannot take, so it takes nothing and q <= j + mostUnits. For j in
// [max(s, q0 - leastUnits), e - mostUnits - 1] (up to e - mostUnits when A has no loop)
// q lies in [q0, e], where S fails: no match starts there.
//
// The bounds on A's units: a class or a dot takes one character, one or two units (a
// supplementary character, or CR LF for a dot that matches line ends); a literal takes one
// unit, or under case folding a stretch whose folding is its own, at most two units per
// character of its folding (none when it folds together with its neighbours: "ss" matches
// "ß"), and a printable ASCII literal at most one. Groups take their longest and shortest
// alternative, counts multiply.
//
// Each loop of one character at the top of A (or inside the one group around L, as whole-word
// searches put it) may be L, so a pattern gives up to three readings; a reading checks at run
// time whether the text lets it rule anything out. Conservative: anything it does not fully
// understand (back-references, atomic and possessive parts, "\X", "\R", flag groups, free
// spacing) gives no reading.
std::vector<PrefixedLoop> analysePrefixedLoops(QStringView pattern, bool caseInsensitive);

} // namespace dunmoss
