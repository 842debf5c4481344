#pragma once

#include "text/TextSearch.h"

#include <QString>
#include <array>
#include <optional>

namespace dunmoss {

using AsciiTable = std::array<bool, 128>;

// What a search query's own text proves about where its matches can lie, so
// that a search need only run the expression where one can be. Every claim is
// proved from the pattern's syntax; what the analysis does not fully understand
// proves nothing. It reads escapes, groups and flags as the line automaton does
// (platform/RegexItems.h): whatever it gives up on, the automaton gives up on too.
struct QueryPrefilter {
    // The whole query was read; false when something in it proves nothing at all.
    bool understood = false;
    // A stretch of ASCII characters that every match contains; empty when none is
    // known. When `folds` it is in lower case and is looked for ignoring ASCII
    // case, and every stretch of text holding a character beyond ASCII must be
    // taken as a possible match too: case folding lets such characters stand for
    // ASCII ones (K for "k", ſ for "s", ß for "ss", ﬀ for "ff").
    QString literal;
    bool folds = false;
    // No match takes in a line feed, so the matches over a whole text are those
    // over its lines, each searched in place with the text around it visible to
    // look-around.
    bool staysOnLine = false;
    // Every match ends where an occurrence of the literal ends (in text of ASCII
    // alone, when it folds): nothing but assertions follows the literal in the
    // pattern. And a run that stops after an occurrence finds there what a run
    // over the whole line finds: no part is possessive or atomic, which could
    // take in more past the occurrence.
    bool endsWithLiteral = false;
    // The ASCII characters that the part of a match before the literal may take
    // in, when the pattern tells: a match (in text of ASCII alone, when it folds)
    // starts after the last other character before the occurrence of the literal
    // that stands for the pattern's last run of it. When every match ends with
    // the literal, that is the occurrence the match ends with.
    std::optional<AsciiTable> takenBeforeLiteral;
    // Every match starts where the text does: "\A", or "^" without "m", stands unrepeated in
    // the pattern's own sequence, which has no alternatives.
    bool startsAtTextStart = false;
};

// The prefilter of a query searched with these options, as makeSearchRegex
// compiles it. The query must compile.
QueryPrefilter analyseQueryPrefilter(const QString& query, const TextSearchOptions& options);

} // namespace dunmoss
