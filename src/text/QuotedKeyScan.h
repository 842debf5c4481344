#pragma once

#include "platform/TextRange.h"
#include "text/SyntaxHighlightRules.h"

#include <QStringView>
#include <optional>

namespace dunmoss {

// A fast path for the key passes "Q(?:\\.|[^Q\\])*Q\s*:" (Q a quote character): a quoted
// string with backslash escapes, then blanks and a colon. ICU tries the pattern at every quote;
// one that is not a key fails, and so does each escaped quote inside it, each after scanning on
// to the same closing quote (quadratic in a long string full of escaped quotes). An escaped
// quote inside a scanned string always ends at that string's end, so the scan goes on from
// there, and every character is looked at about once.
class QuotedKeyScan {
public:
    // None when the pass has another shape, options or group.
    static std::optional<QuotedKeyScan> fromPass(const HighlightPass& pass);

    // Calls mark(location, length) for every match inside the range, in text order; the
    // range's ends count as the ends of the text, as in a matcher with opaque bounds.
    template <typename Mark> void forEachMatch(QStringView text, TextRange range, Mark mark) const {
        const qsizetype end = limitOf(text, range);
        qsizetype i = range.location;
        while (i < end) {
            const qsizetype open = text.first(end).indexOf(m_quote, i);
            if (open < 0)
                return;
            const qsizetype close = closingQuote(text, open, end);
            if (close < 0) {
                // Stopped at a backslash before a line end or at the range's end: every quote
                // up to there stops there as well.
                i = -close;
                continue;
            }
            qsizetype colon = close + 1;
            while (colon < end && isBlank(text[colon]))
                ++colon;
            if (colon < end && text[colon] == u':') {
                mark(open, colon + 1 - open);
                i = colon + 1;
            } else {
                i = close; // the closing quote may open a key
            }
        }
    }

private:
    static qsizetype limitOf(QStringView text, TextRange range);
    static bool isBlank(QChar c);
    // The quote that ends the string opened at `open`, or minus the position after where the
    // string's body stopped without one.
    qsizetype closingQuote(QStringView text, qsizetype open, qsizetype end) const;

    QChar m_quote;
};

} // namespace dunmoss
