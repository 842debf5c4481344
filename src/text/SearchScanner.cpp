#include "text/SearchScanner.h"

#include "platform/UnicodeFastCodecs.h"
#include "text/TextSearch.h"

#include <cstring>
#include <unicode/uniset.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dunmoss {

namespace {

const icu::UnicodeSet& wordCharacters() {
    static const icu::UnicodeSet* set = [] {
        UErrorCode status = U_ZERO_ERROR;
        auto* built = new icu::UnicodeSet(
            icu::UnicodeString(u"[[\\p{L}\\p{M}\\p{N}_]&[^\\p{Han}\\p{Hiragana}\\p{Katakana}"
                               u"\\p{Hangul}]]"),
            status);
        built->freeze();
        return built;
    }();
    return *set;
}

// First index at or after `from` where the needle (two units or longer) starts, or -1. Sixteen
// positions at a time are tested on the needle's first and last unit together, so only rare
// candidates reach the full comparison. Where both units are Latin-1 (neither U+0000 nor U+00FF)
// the text is packed into bytes for the test: a unit outside Latin-1 packs to 0x00 or 0xFF and
// so never passes for one of them.
qsizetype findLiteral(QStringView haystack, qsizetype from, QStringView needle) {
    const char16_t* h = haystack.utf16();
    const char16_t* n = needle.utf16();
    const qsizetype size = haystack.size();
    const qsizetype length = needle.size();
    const char16_t first = n[0];
    const char16_t last = n[length - 1];
    const size_t middleBytes = size_t(length - 2) * sizeof(char16_t);
    qsizetype i = from;
#if defined(__SSE2__)
    const auto load = [h](qsizetype at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + at));
    };
    const auto packsInBytes = [](char16_t unit) { return unit > 0 && unit < 0xFF; };
    const auto check = [&](unsigned mask, qsizetype base) -> qsizetype {
        for (; mask != 0; mask &= mask - 1) {
            const qsizetype at = base + __builtin_ctz(mask);
            if (std::memcmp(h + at + 1, n + 1, middleBytes) == 0)
                return at;
        }
        return -1;
    };
    if (packsInBytes(first) && packsInBytes(last)) {
        const __m128i firsts = _mm_set1_epi8(char(first));
        const __m128i lasts = _mm_set1_epi8(char(last));
        const auto packed = [&](qsizetype at) { return _mm_packus_epi16(load(at), load(at + 8)); };
        for (; i + length - 1 + 16 <= size; i += 16) {
            const auto mask = unsigned(_mm_movemask_epi8(_mm_and_si128(
                _mm_cmpeq_epi8(packed(i), firsts), _mm_cmpeq_epi8(packed(i + length - 1), lasts))));
            if (mask != 0) {
                if (const qsizetype at = check(mask, i); at >= 0)
                    return at;
            }
        }
    } else {
        const __m128i firsts = _mm_set1_epi16(short(first));
        const __m128i lasts = _mm_set1_epi16(short(last));
        for (; i + length - 1 + 8 <= size; i += 8) {
            const __m128i hits = _mm_and_si128(_mm_cmpeq_epi16(load(i), firsts),
                                               _mm_cmpeq_epi16(load(i + length - 1), lasts));
            // One bit per position.
            const auto mask =
                unsigned(_mm_movemask_epi8(_mm_packs_epi16(hits, _mm_setzero_si128())));
            if (mask != 0) {
                if (const qsizetype at = check(mask, i); at >= 0)
                    return at;
            }
        }
    }
#endif
    for (; i + length <= size; ++i) {
        if (h[i] == first && h[i + length - 1] == last &&
            std::memcmp(h + i + 1, n + 1, middleBytes) == 0)
            return i;
    }
    return -1;
}

char16_t foldedAscii(char16_t unit) {
    return unit >= u'A' && unit <= u'Z' ? char16_t(unit | 0x20) : unit;
}

// findLiteral for an ASCII text and a needle of ASCII lower case, ASCII letters matching in
// either case: what the case-insensitive expression finds where every character is ASCII.
qsizetype findFoldedAsciiLiteral(QStringView haystack, qsizetype from, QStringView needle) {
    const char16_t* h = haystack.utf16();
    const char16_t* n = needle.utf16();
    const qsizetype size = haystack.size();
    const qsizetype length = needle.size();
    const char16_t first = n[0];
    const char16_t last = n[length - 1];
    const auto restMatches = [&](qsizetype at) {
        for (qsizetype k = 1; k + 1 < length; ++k)
            if (foldedAscii(h[at + k]) != n[k])
                return false;
        return true;
    };
    qsizetype i = from;
#if defined(__SSE2__)
    const __m128i firsts = _mm_set1_epi16(short(first));
    const __m128i lasts = _mm_set1_epi16(short(last));
    const __m128i beforeA = _mm_set1_epi16(short(u'A' - 1));
    const __m128i afterZ = _mm_set1_epi16(short(u'Z' + 1));
    const __m128i caseBit = _mm_set1_epi16(0x20);
    const auto fold = [&](__m128i units) {
        const __m128i upper =
            _mm_and_si128(_mm_cmpgt_epi16(units, beforeA), _mm_cmplt_epi16(units, afterZ));
        return _mm_or_si128(units, _mm_and_si128(upper, caseBit));
    };
    for (; i + length - 1 + 8 <= size; i += 8) {
        const __m128i a = fold(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i)));
        const __m128i b =
            fold(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i + length - 1)));
        unsigned mask = unsigned(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi16(a, firsts), _mm_cmpeq_epi16(b, lasts))));
        while (mask != 0) {
            const int bit = __builtin_ctz(mask);
            const qsizetype at = i + bit / 2;
            if (restMatches(at))
                return at;
            mask &= ~(3u << bit);
        }
    }
#endif
    for (; i + length <= size; ++i) {
        if (foldedAscii(h[i]) == first && foldedAscii(h[i + length - 1]) == last && restMatches(i))
            return i;
    }
    return -1;
}

// The code point that ends just before `index`, or nothing at the start of the text.
std::optional<char32_t> codePointBefore(QStringView text, qsizetype index) {
    if (index <= 0)
        return std::nullopt;
    const QChar low = text[index - 1];
    if (low.isLowSurrogate() && index >= 2 && text[index - 2].isHighSurrogate())
        return QChar::surrogateToUcs4(text[index - 2], low);
    return low.unicode();
}

std::optional<char32_t> codePointAt(QStringView text, qsizetype index) {
    if (index >= text.size())
        return std::nullopt;
    const QChar high = text[index];
    if (high.isHighSurrogate() && index + 1 < text.size() && text[index + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(high, text[index + 1]);
    return high.unicode();
}

} // namespace

bool isSearchWordCharacter(char32_t codePoint) {
    if (codePoint < 0x80)
        return (codePoint >= u'a' && codePoint <= u'z') ||
               (codePoint >= u'A' && codePoint <= u'Z') ||
               (codePoint >= u'0' && codePoint <= u'9') || codePoint == u'_';
    return wordCharacters().contains(UChar32(codePoint));
}

SearchScanner::SearchScanner(const QString& query, QStringView text,
                             const TextSearchOptions& options)
    : m_text(text), m_regexMode(options.isRegex), m_wholeWord(options.isWholeWord) {
    if (!options.isRegex && options.isCaseSensitive && !query.isEmpty() &&
        hasOnlyPairedSurrogates(query)) {
        m_needleLength = query.size();
        m_singleUnit = query[0].unicode();
        m_needle = query;
        m_literal = true;
        return;
    }
    // Ignoring case, ASCII letters match only each other when every character is ASCII; any
    // other character takes the expression, with Unicode's case folding.
    if (!options.isRegex && !options.isCaseSensitive && !query.isEmpty() &&
        QtPrivate::isAscii(QStringView(query)) && QtPrivate::isAscii(text)) {
        m_needleLength = query.size();
        m_needle = query.toLower();
        m_literal = true;
        m_foldsAscii = true;
        return;
    }
    m_regex.emplace(makeSearchRegex(query, options));
    m_matcher = std::make_unique<IcuRegexMatcher>(*m_regex, text);
}

SearchScanner::~SearchScanner() = default;

void SearchScanner::stopWhenSet(const std::atomic<bool>& stop) {
    stopWhen([&stop] { return stop.load(std::memory_order_relaxed); });
}

void SearchScanner::stopWhen(std::function<bool()> stopRequested) {
    m_stop = std::move(stopRequested);
    // The first call looks at once.
    m_nextsSinceStopCheck = 1023;
    if (m_matcher)
        m_matcher->stopWhen(m_stop);
}

bool SearchScanner::next() {
    // The expression looks at the flag while it works; between matches this does, for the
    // literal path too.
    if (m_stop && ++m_nextsSinceStopCheck >= 1024) {
        m_nextsSinceStopCheck = 0;
        if (m_stop())
            throw RegexError(RegexError::Kind::Cancelled, m_literal ? m_needle : m_regex->pattern(),
                             QString());
    }
    if (m_literal)
        return nextLiteral();
    if (!m_matcher->findNext())
        return false;
    m_range = m_matcher->range();
    return true;
}

bool SearchScanner::nextLiteral() {
    while (m_from <= m_text.size() - m_needleLength) {
        const qsizetype at = m_foldsAscii ? findFoldedAsciiLiteral(m_text, m_from, m_needle)
                             : m_needleLength == 1 ? m_text.indexOf(QChar(m_singleUnit), m_from)
                                                   : findLiteral(m_text, m_from, m_needle);
        if (at < 0) {
            m_from = m_text.size() + 1;
            return false;
        }
        const qsizetype end = at + m_needleLength;
        if (m_wholeWord) {
            const auto before = codePointBefore(m_text, at);
            const auto after = codePointAt(m_text, end);
            if ((before && isSearchWordCharacter(*before)) ||
                (after && isSearchWordCharacter(*after))) {
                // The expression would try again one character later.
                m_from = at + 1;
                continue;
            }
        }
        m_range = TextRange{at, m_needleLength};
        m_from = end;
        return true;
    }
    return false;
}

void SearchScanner::setReplacement(const QString& replacement) {
    if (!m_regexMode) {
        m_literalReplacement = replacement;
        return;
    }
    // A replacement never fails: only an invalid expression is an error for the caller.
    m_template = m_regex->compileTemplate(replacement, IcuRegex::GroupReferences::Lenient);
}

void SearchScanner::appendReplacement(QString& out) const {
    if (!m_regexMode)
        out.append(m_literalReplacement);
    else
        m_matcher->appendReplacement(out, m_template);
}

} // namespace dunmoss
