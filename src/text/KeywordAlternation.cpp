#include "text/KeywordAlternation.h"

#include <memory>
#include <unicode/uchar.h>
#include <unicode/uniset.h>
#include <unicode/utf16.h>

namespace dunmoss {

namespace {

// ICU's word characters for "\b" and "\w".
const icu::UnicodeSet& wordCharacters() {
    static const std::unique_ptr<icu::UnicodeSet> set = [] {
        UErrorCode status = U_ZERO_ERROR;
        auto s = std::make_unique<icu::UnicodeSet>(
            icu::UnicodeString(u"[\\p{Alphabetic}\\p{M}\\p{Nd}\\p{Pc}\\u200c\\u200d]"), status);
        s->freeze();
        return s;
    }();
    return *set;
}

// Marks and format characters belong to the character before them.
bool isCombining(UChar32 c) {
    return u_hasBinaryProperty(c, UCHAR_GRAPHEME_EXTEND) || u_charType(c) == U_FORMAT_CHAR;
}

} // namespace

std::optional<KeywordAlternation> KeywordAlternation::fromPass(const HighlightPass& pass) {
    const QString& p = pass.pattern;
    if (pass.options != IcuRegex::NoOptions || pass.group > 1 || !p.startsWith(u"\\b(") ||
        !p.endsWith(u")\\b") || p.size() < 7)
        return std::nullopt;
    KeywordAlternation alternation;
    alternation.m_source = p.sliced(3, p.size() - 6);
    const QStringView inner(alternation.m_source);
    for (QStringView word : inner.tokenize(u'|')) {
        if (word.isEmpty())
            return std::nullopt;
        for (QChar c : word)
            if (!isAsciiLetter(c))
                return std::nullopt;
        alternation.m_words.insert(word);
        alternation.m_longest = std::max(alternation.m_longest, word.size());
    }
    if (alternation.m_words.isEmpty() || alternation.m_longest > 63)
        return std::nullopt;
    for (QStringView word : std::as_const(alternation.m_words)) {
        const int first = letterIndex(word.front());
        alternation.m_lengthsByFirst[size_t(first)] |= quint64(1) << word.size();
        alternation.m_lastByFirst[size_t(first)] |= quint64(1) << letterIndex(word.back());
    }
    return alternation;
}

bool KeywordAlternation::isWordBoundary(QStringView text, qsizetype position, TextRange range) {
    const auto* units = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype lookStart = range.location;
    const qsizetype lookLimit = range.end();
    bool isWord = false;
    if (position < lookLimit) {
        UChar32 c;
        U16_GET(units, lookStart, position, lookLimit, c);
        if (isCombining(c))
            return false;
        isWord = wordCharacters().contains(c);
    }
    bool previousIsWord = false;
    qsizetype i = position;
    while (i > lookStart) {
        UChar32 previous;
        U16_PREV(units, lookStart, i, previous);
        if (!isCombining(previous)) {
            previousIsWord = wordCharacters().contains(previous);
            break;
        }
    }
    return isWord != previousIsWord;
}

} // namespace dunmoss
