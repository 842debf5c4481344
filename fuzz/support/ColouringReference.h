#pragma once

// The matches of a colouring pass as a plain ICU search with its whole pattern finds them: what
// each fast path must find, for the tests and the fuzz target. Quadratic on unclosed strings and
// blocks, so only for short texts.
#include "platform/IcuRegex.h"
#include "text/SyntaxHighlightRules.h"

#include <vector>

namespace dunmoss::reference {

inline std::vector<TextRange> referenceMatches(const HighlightPass& pass, QStringView text,
                                               TextRange range) {
    std::vector<TextRange> found;
    const IcuRegex regex(pass.pattern, pass.options);
    IcuRegexMatcher matcher(regex, text, range);
    while (matcher.findNext())
        found.push_back(matcher.group(pass.group));
    return found;
}

// What a fast path with forEachMatch(text, range, mark) marks.
template <typename Scan>
std::vector<TextRange> scannedMatches(const Scan& scan, QStringView text, TextRange range) {
    std::vector<TextRange> found;
    scan.forEachMatch(text, range, [&](qsizetype l, qsizetype n) { found.push_back({l, n}); });
    return found;
}

} // namespace dunmoss::reference
