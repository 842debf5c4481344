#pragma once

#include "platform/IcuRegex.h"

#include <QStringView>

namespace dunmoss {

// The matches of a multi-line pattern "^\s*" followed by a rest, in the order and at the places
// ICU's own search finds them, without its cost over runs of blank lines. ICU tries every line
// start inside such a run, and from each "\s*" backtracks over the rest of the run (twice over
// when optional parts and another "\s*" follow: cubic). Every line start of one run reaches the
// same first non-blank character; when the rest can only match from there (it begins with a
// character that is not blank, or with optional parts and blanks before one), one attempt there
// decides for all of them, and a match starts at the first of them.
class BlankLedSearch {
public:
    // `rest` is a fresh matcher of the rest over the text, with the region and bounds the whole
    // pattern would have had.
    BlankLedSearch(IcuRegexMatcher& rest, QStringView text, bool anchoringBounds);

    // The start of the next match (the rest's matcher holds its end and groups), or -1.
    qsizetype findNext();

private:
    // The first position at or after `from` where ICU's search tries a "^" pattern: where "^"
    // also matches without a line terminator before it, and after each line terminator except
    // between CR and LF.
    qsizetype nextLineStart(qsizetype from) const;

    IcuRegexMatcher& m_rest;
    QStringView m_text;
    qsizetype m_anchorStart;
    qsizetype m_end;
    qsizetype m_from;
};

} // namespace dunmoss
