#pragma once

#include "platform/RegexStartFilter.h"
#include "text/SearchWorkMeter.h"

#include <QStringView>

namespace dunmoss {

// Whether an expression that jumps to its possible starts finds few of them in what a search
// has passed of a text. Only there does its one run over the rest pass units as fast as its
// jumps: where most units may start a match ("[A-Z]" ignoring case over prose), the run tries
// each of them, as a run without the jumps does. The count goes on as the search moves on,
// each unit read once, and stops for good once the starts are many in what was passed: the
// stretches then weigh what they do for any expression.
class PossibleStartDensity {
public:
    // Fewer possible starts than one in this many units passed are rare: trying one, with the
    // restart of ICU's find that jumps to it, costs about what passing this many units does.
    static constexpr qsizetype kRareSpacing = 64;

    // The filter and text must outlive this.
    PossibleStartDensity(const RegexStartFilter& filter, QStringView text)
        : m_filter(filter), m_text(text) {}

    // Whether the possible starts in the first `passed` units are rare; `passed` only grows
    // from one call to the next. What is read goes on the meter (false on a stop).
    bool rareBefore(qsizetype passed, SearchWorkMeter& meter);

private:
    const RegexStartFilter& m_filter;
    QStringView m_text;
    qsizetype m_countedTo = 0;
    qsizetype m_starts = 0;
    bool m_many = false;
};

} // namespace dunmoss
