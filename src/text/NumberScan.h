#pragma once

#include "platform/TextRange.h"
#include "text/KeywordAlternation.h"
#include "text/SyntaxHighlightRules.h"

#include <QStringView>
#include <optional>

namespace dunmoss {

// A fast path for the number passes "\b[0-9]+(?:\.[0-9]+)?\b" and
// "-?\b[0-9]+(?:\.[0-9]+)?(?:[eE][+-]?[0-9]+)?\b": ICU tries them at every position of the text
// and runs its matcher at each one that may start a number, which a text of many numbers pays for
// on every key. Here only a digit (or a minus before one) is tried, with the same choices in the
// same order as the expression's backtracking, so the matches are the same.
class NumberScan {
public:
    // None when the pass has another pattern, options or group.
    static std::optional<NumberScan> fromPass(const HighlightPass& pass);

    // Calls mark(location, length) for every match inside the range, in text order; the
    // range's ends count as the ends of the text, as in a matcher with opaque bounds.
    template <typename Mark> void forEachMatch(QStringView text, TextRange range, Mark mark) const {
        const qsizetype end = range.end();
        qsizetype i = range.location;
        while (i < end) {
            const bool minus = m_minus && text[i] == u'-' && i + 1 < end && isDigit(text[i + 1]);
            if (!minus && !isDigit(text[i])) {
                ++i;
                continue;
            }
            const qsizetype matched = matchAt(text, range, i);
            if (matched < 0) {
                ++i;
                continue;
            }
            mark(i, matched - i);
            i = matched;
        }
    }

private:
    static bool isDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }
    // Where a match starting at `start` ends, or -1.
    qsizetype matchAt(QStringView text, TextRange range, qsizetype start) const;

    bool m_minus = false;    // "-?" first
    bool m_exponent = false; // "(?:[eE][+-]?[0-9]+)?" after the fraction
};

} // namespace dunmoss
