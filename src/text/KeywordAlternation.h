#pragma once

#include "platform/TextRange.h"
#include "text/SyntaxHighlightRules.h"

#include <QSet>
#include <QStringView>
#include <array>
#include <optional>

namespace dunmoss {

// A fast path for the case-sensitive keyword passes "\b(word|word|...)\b" whose words are ASCII
// letters: such a match is always a whole run of ASCII letters that is one of the words, with
// ICU's word boundary at both ends. Looking runs up in a set finds the same matches as ICU's
// alternation, which tries every word at every word start, in a tenth of the time.
class KeywordAlternation {
public:
    // None when the pass has another shape, options, or group.
    static std::optional<KeywordAlternation> fromPass(const HighlightPass& pass);

    // Calls mark(location, length) for every match inside the range, in text order; the
    // range's ends count as the ends of the text, as in a matcher with opaque bounds.
    template <typename Mark> void forEachMatch(QStringView text, TextRange range, Mark mark) const {
        const qsizetype end = range.end();
        qsizetype i = range.location;
        while (i < end) {
            if (!isAsciiLetter(text[i])) {
                ++i;
                continue;
            }
            const qsizetype start = i;
            while (i < end && isAsciiLetter(text[i]))
                ++i;
            const int first = letterIndex(text[start]);
            if (i - start <= m_longest && (m_lengthsByFirst[first] >> (i - start) & 1) &&
                (m_lastByFirst[first] >> letterIndex(text[i - 1]) & 1) &&
                m_words.contains(text.sliced(start, i - start)) &&
                isWordBoundary(text, start, range) && isWordBoundary(text, i, range))
                mark(start, i - start);
        }
    }

    // ICU's "\b" (without Unicode word boundaries) at a position, seen within the range.
    static bool isWordBoundary(QStringView text, qsizetype position, TextRange range);

private:
    static bool isAsciiLetter(QChar c) {
        const char16_t u = c.unicode();
        return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
    }

    // 0-25 for a to z, 26-51 for A to Z.
    static int letterIndex(QChar c) {
        const char16_t u = c.unicode();
        return u >= u'a' ? u - u'a' : u - u'A' + 26;
    }

    QSet<QStringView> m_words;
    // The lengths and the last letters of the words, by their first letter: most runs of
    // letters are ruled out by these before they are hashed, which costs more than all else.
    std::array<quint64, 52> m_lengthsByFirst{};
    std::array<quint64, 52> m_lastByFirst{};
    QString m_source; // the views above point into it
    qsizetype m_longest = 0;
};

} // namespace dunmoss
