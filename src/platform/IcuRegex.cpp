#include "platform/IcuRegex.h"

#include "platform/HexDigit.h"
#include "platform/Localization.h"

#include <algorithm>
#include <optional>
#include <unicode/regex.h>
#include <unicode/utext.h>
#include <unicode/utypes.h>

namespace dunmoss {

namespace {

const UChar* uchars(QStringView text) {
    return reinterpret_cast<const UChar*>(text.utf16());
}

QString errorName(UErrorCode status) {
    return QString::fromLatin1(u_errorName(status));
}

uint32_t icuFlags(IcuRegex::Options options) {
    uint32_t flags = 0;
    if (options & IcuRegex::CaseInsensitive)
        flags |= UREGEX_CASE_INSENSITIVE;
    if (options & IcuRegex::AllowCommentsAndWhitespace)
        flags |= UREGEX_COMMENTS;
    if (options & IcuRegex::IgnoreMetacharacters)
        flags |= UREGEX_LITERAL;
    if (options & IcuRegex::DotMatchesLineSeparators)
        flags |= UREGEX_DOTALL;
    if (options & IcuRegex::AnchorsMatchLines)
        flags |= UREGEX_MULTILINE;
    if (options & IcuRegex::UseUnixLineSeparators)
        flags |= UREGEX_UNIX_LINES;
    if (options & IcuRegex::UseUnicodeWordBoundaries)
        flags |= UREGEX_UWORD;
    return flags;
}

// The decimal digit (any script, as ICU takes them after "$") at an index: its value and
// length in units, or a value of -1.
std::pair<int, qsizetype> digitAt(QStringView text, qsizetype i) {
    if (i >= text.size())
        return {-1, 0};
    char32_t cp = text[i].unicode();
    qsizetype units = 1;
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        cp = QChar::surrogateToUcs4(text[i], text[i + 1]);
        units = 2;
    }
    if (QChar::category(cp) != QChar::Number_DecimalDigit)
        return {-1, 0};
    return {QChar::digitValue(cp), units};
}

// "\uhhhh" or "\Uhhhhhhhh" starting at the letter. ICU reads hexadecimal digits up to the
// first one that is not; a valid escape inserts its code point, an invalid one inserts nothing
// and swallows what was read, including that first non-digit.
struct UnicodeEscape {
    std::optional<char32_t> value;
    qsizetype consumed = 0;
};

UnicodeEscape unicodeEscape(QStringView templ, qsizetype at) {
    const qsizetype digits = templ[at] == u'u' ? 4 : 8;
    char32_t value = 0;
    qsizetype read = 0;
    while (read < digits) {
        const qsizetype index = at + 1 + read;
        if (index >= templ.size())
            return {std::nullopt, 1 + read};
        const int digit = hexDigitValue(templ[index].unicode());
        if (digit < 0) {
            // The character swallowed is a whole code point, both halves of a surrogate pair.
            const bool pair = templ[index].isHighSurrogate() && index + 1 < templ.size() &&
                              templ[index + 1].isLowSurrogate();
            return {std::nullopt, 1 + read + (pair ? 2 : 1)};
        }
        value = value * 16 + char32_t(digit);
        ++read;
    }
    if (value > 0x10FFFF)
        return {std::nullopt, 1 + digits};
    return {value, 1 + digits};
}

void appendCodePoint(QString& out, char32_t value) {
    if (QChar::requiresSurrogates(value)) {
        out.append(QChar(QChar::highSurrogate(value)));
        out.append(QChar(QChar::lowSurrogate(value)));
    } else {
        out.append(QChar(char16_t(value)));
    }
}

} // namespace

RegexError::RegexError(Kind kind, QString pattern, QString icuMessage, qsizetype offset)
    : m_kind(kind), m_pattern(std::move(pattern)), m_icuMessage(std::move(icuMessage)),
      m_offset(offset) {
    m_what = (m_icuMessage + QStringLiteral(": ") + m_pattern).toStdString();
}

QString RegexError::localizedDescription() const {
    switch (m_kind) {
    case Kind::InvalidPattern:
        if (m_offset >= 0)
            return localizedString(QStringLiteral("regex.invalid-at.format"))
                .arg(m_pattern, m_icuMessage)
                .arg(m_offset);
        return localizedString(QStringLiteral("regex.invalid.format")).arg(m_pattern, m_icuMessage);
    case Kind::InvalidTemplate:
        return localizedString(QStringLiteral("regex.template-invalid.format"))
            .arg(m_pattern, m_icuMessage);
    case Kind::TimedOut:
        return localizedString(QStringLiteral("regex.timeout.format")).arg(m_pattern);
    case Kind::MatchFailed:
        break;
    }
    return localizedString(QStringLiteral("regex.failed.format")).arg(m_pattern, m_icuMessage);
}

IcuRegex::IcuRegex(const QString& pattern, Options options, int timeLimit)
    : m_source(pattern), m_options(options), m_timeLimit(timeLimit) {
    UParseError parseError{};
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString source(uchars(pattern), int32_t(pattern.size()));
    std::unique_ptr<icu::RegexPattern> compiled(
        icu::RegexPattern::compile(source, icuFlags(options), parseError, status));
    if (U_FAILURE(status) || !compiled) {
        const qsizetype offset = parseError.line <= 1 && parseError.offset >= 0
                                     ? qsizetype(parseError.offset)
                                     : qsizetype(-1);
        throw RegexError(RegexError::Kind::InvalidPattern, pattern, errorName(status), offset);
    }
    std::unique_ptr<icu::RegexMatcher> probe(compiled->matcher(status));
    if (U_FAILURE(status) || !probe)
        throw RegexError(RegexError::Kind::InvalidPattern, pattern, errorName(status));
    m_groupCount = probe->groupCount();
    m_compiled = std::move(compiled);
}

RegexTemplate IcuRegex::compileTemplate(QStringView templ, GroupReferences references) const {
    RegexTemplate result;
    QString literal;
    auto flushLiteral = [&] {
        if (!literal.isEmpty()) {
            result.m_pieces.push_back({literal, -1});
            literal.clear();
        }
    };
    const qsizetype length = templ.size();
    qsizetype i = 0;
    // "${name}" from the brace on: the group's number, or 0 for a malformed or unknown name.
    auto namedGroup = [&]() -> int {
        ++i;
        QString name;
        while (i < length) {
            const QChar n = templ[i++];
            if (n == u'}') {
                UErrorCode status = U_ZERO_ERROR;
                const icu::UnicodeString icuName(uchars(name), int32_t(name.size()));
                const int group = m_compiled->groupNumberFromName(icuName, status);
                return U_SUCCESS(status) && group > 0 ? group : 0;
            }
            // The characters ICU accepts in a group name here.
            if (!(n >= u'A' && n <= u'Z') && !(n >= u'a' && n <= u'z') && !(n >= u'1' && n <= u'9'))
                return 0;
            name.append(n);
        }
        return 0;
    };
    while (i < length) {
        const QChar c = templ[i];
        if (c == u'\\') {
            ++i;
            if (i >= length)
                break; // a trailing backslash inserts nothing
            if (templ[i] == u'u' || templ[i] == u'U') {
                const UnicodeEscape escape = unicodeEscape(templ, i);
                if (escape.value)
                    appendCodePoint(literal, *escape.value);
                i += escape.consumed;
                continue;
            }
            literal.append(templ[i]);
            ++i;
            continue;
        }
        if (c != u'$') {
            literal.append(c);
            ++i;
            continue;
        }
        const qsizetype dollar = i++;
        // A reference that names no group: an error as in ICU, or, when lenient, a "$" that
        // stays as typed.
        auto unnamed = [&](UErrorCode status) {
            if (references == GroupReferences::Strict)
                throw RegexError(RegexError::Kind::InvalidTemplate, templ.toString(),
                                 errorName(status));
            literal.append(u'$');
            i = dollar + 1;
        };
        int group = 0;
        if (i < length && templ[i] == u'{') {
            group = namedGroup();
            if (group == 0) {
                unnamed(U_REGEX_INVALID_CAPTURE_GROUP_NAME);
                continue;
            }
        } else if (const auto first = digitAt(templ, i); first.first >= 0) {
            if (first.first > m_groupCount) {
                if (references == GroupReferences::Strict)
                    throw RegexError(RegexError::Kind::InvalidTemplate, templ.toString(),
                                     errorName(U_INDEX_OUTOFBOUNDS_ERROR));
                i += first.second; // a group the pattern does not have inserts nothing
                continue;
            }
            // Take digits while the number still names a group.
            for (auto digit = first; digit.first >= 0; digit = digitAt(templ, i)) {
                const int value = group * 10 + digit.first;
                if (value > m_groupCount)
                    break;
                group = value;
                i += digit.second;
            }
        } else {
            unnamed(U_REGEX_INVALID_CAPTURE_GROUP_NAME);
            continue;
        }
        flushLiteral();
        result.m_pieces.push_back({QString(), group});
    }
    flushLiteral();
    return result;
}

QString IcuRegex::escapedPattern(QStringView literal) {
    static const QString special = QStringLiteral("\\*?+[](){}^$|./-#&~ \t\n\r");
    QString out;
    out.reserve(literal.size() * 2);
    for (const QChar c : literal) {
        if (special.contains(c)) {
            if (c == u'\t')
                out.append(QStringLiteral("\\t"));
            else if (c == u'\n')
                out.append(QStringLiteral("\\n"));
            else if (c == u'\r')
                out.append(QStringLiteral("\\r"));
            else
                out.append(u'\\').append(c);
        } else {
            out.append(c);
        }
    }
    return out;
}

QString IcuRegex::escapedTemplate(QStringView literal) {
    QString out;
    out.reserve(literal.size() + 8);
    for (const QChar c : literal) {
        if (c == u'\\' || c == u'$')
            out.append(u'\\');
        out.append(c);
    }
    return out;
}

std::vector<TextRange> IcuRegex::matchRanges(QStringView text) const {
    std::vector<TextRange> ranges;
    IcuRegexMatcher matcher(*this, text);
    while (matcher.findNext())
        ranges.push_back(matcher.range());
    return ranges;
}

IcuRegexMatcher::IcuRegexMatcher(const IcuRegex& regex, QStringView text)
    : IcuRegexMatcher(regex, text, TextRange{0, text.size()}) {}

IcuRegexMatcher::IcuRegexMatcher(const IcuRegex& regex, QStringView text, TextRange region,
                                 bool transparentBounds, bool anchoringBounds)
    : m_text(text), m_pattern(regex.m_source), m_groupCount(regex.m_groupCount) {
    UErrorCode status = U_ZERO_ERROR;
    m_matcher.reset(regex.m_compiled->matcher(status));
    if (U_FAILURE(status) || !m_matcher)
        throwFor(status);
    // The matcher keeps a shallow clone of this UText: it reads the QString's own buffer.
    UText utext = UTEXT_INITIALIZER;
    utext_openUChars(&utext, uchars(text), text.size(), &status);
    m_matcher->reset(&utext);
    utext_close(&utext);
    if (U_FAILURE(status))
        throwFor(status);
    const qsizetype start = std::clamp<qsizetype>(region.location, 0, text.size());
    const qsizetype limit = std::clamp<qsizetype>(region.end(), start, text.size());
    if (start != 0 || limit != text.size())
        m_matcher->region(start, limit, status);
    m_matcher->useTransparentBounds(transparentBounds);
    m_matcher->useAnchoringBounds(anchoringBounds);
    if (regex.m_timeLimit > 0)
        m_matcher->setTimeLimit(regex.m_timeLimit, status);
    if (U_FAILURE(status))
        throwFor(status);
}

IcuRegexMatcher::~IcuRegexMatcher() = default;

void IcuRegexMatcher::throwFor(int status) const {
    const auto code = UErrorCode(status);
    throw RegexError(code == U_REGEX_TIME_OUT ? RegexError::Kind::TimedOut
                                              : RegexError::Kind::MatchFailed,
                     m_pattern, errorName(code));
}

bool IcuRegexMatcher::findNext() {
    UErrorCode status = U_ZERO_ERROR;
    const bool found = m_matcher->find(status);
    if (U_FAILURE(status))
        throwFor(status);
    return found;
}

TextRange IcuRegexMatcher::range() const {
    return group(0);
}

TextRange IcuRegexMatcher::group(int number) const {
    UErrorCode status = U_ZERO_ERROR;
    const int64_t start = m_matcher->start64(number, status);
    const int64_t end = m_matcher->end64(number, status);
    if (U_FAILURE(status) || start < 0)
        return TextRange::notFound();
    return TextRange{qsizetype(start), qsizetype(end - start)};
}

QStringView IcuRegexMatcher::matchedText() const {
    const TextRange r = range();
    return m_text.sliced(r.location, r.length);
}

void IcuRegexMatcher::appendReplacement(QString& out, const RegexTemplate& templ) const {
    for (const RegexTemplate::Piece& piece : templ.m_pieces) {
        if (piece.group < 0) {
            out.append(piece.text);
            continue;
        }
        const TextRange r = group(piece.group);
        if (!r.isNotFound())
            out.append(m_text.sliced(r.location, r.length));
    }
}

QString IcuRegexMatcher::replacement(const RegexTemplate& templ) const {
    QString out;
    appendReplacement(out, templ);
    return out;
}

} // namespace dunmoss
