#pragma once

#include "platform/TextRange.h"
#include "text/SyntaxHighlightRules.h"

#include <QStringView>
#include <optional>

namespace dunmoss {

// A fast path for the key passes "Q(?:\\.|[^Q\\])*Q\s*:" (Q a quote character): a quoted
// string with backslash escapes, then blanks and a colon; and for the value passes
// ":\s*(Q(?:\\.|[^Q\\])*Q)" (group 1): a colon, blanks and such a string, which is the match.
// ICU tries the pattern at every quote (or colon); one that is not a key fails, and so does each
// escaped quote inside it, each after scanning on to the same closing quote (quadratic in a long
// string full of escaped quotes). An escaped quote inside a scanned string always ends at that
// string's end, so the scan goes on from there, and every character is looked at about once.
class QuotedKeyScan {
public:
    // None when the pass has another shape, options or group.
    static std::optional<QuotedKeyScan> fromPass(const HighlightPass& pass);

    // Calls mark(location, length) for every match inside the range, in text order; the
    // range's ends count as the ends of the text, as in a matcher with opaque bounds.
    template <typename Mark> void forEachMatch(QStringView text, TextRange range, Mark mark) const {
        if (m_isValue)
            forEachValue(text, range, mark);
        else
            forEachKey(text, range, mark);
    }

private:
    template <typename Mark> void forEachKey(QStringView text, TextRange range, Mark mark) const {
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

    template <typename Mark> void forEachValue(QStringView text, TextRange range, Mark mark) const {
        const qsizetype end = limitOf(text, range);
        // A string opened at a quote in (unclosedFrom, unclosedTo) stops where the string
        // opened at unclosedFrom stopped: that quote was escaped inside it.
        qsizetype unclosedFrom = -1, unclosedTo = -1;
        qsizetype i = range.location;
        while (i < end) {
            const qsizetype colon = text.first(end).indexOf(u':', i);
            if (colon < 0)
                return;
            i = colon + 1;
            qsizetype open = colon + 1;
            while (open < end && isBlank(text[open]))
                ++open;
            if (open >= end || text[open] != m_quote || (open > unclosedFrom && open < unclosedTo))
                continue;
            const qsizetype close = closingQuote(text, open, end);
            if (close < 0) {
                unclosedFrom = open;
                unclosedTo = -close;
                continue;
            }
            mark(open, close + 1 - open);
            i = close + 1;
        }
    }

    static qsizetype limitOf(QStringView text, TextRange range);
    static bool isBlank(QChar c);
    // The quote that ends the string opened at `open`, or minus the position after where the
    // string's body stopped without one.
    qsizetype closingQuote(QStringView text, qsizetype open, qsizetype end) const;

    QChar m_quote;
    bool m_isValue = false;
};

} // namespace dunmoss
