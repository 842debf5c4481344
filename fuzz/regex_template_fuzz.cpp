// Feeds arbitrary text to the replacement-template parser as a template for a fixed pattern.
// A lenient template never fails and never inserts half a surrogate pair; a template the strict
// parser accepts expands exactly as ICU's own appendReplacement expands it, in both modes, once
// escapes naming surrogates are written as the character they insert (ICU would insert the lone
// half).
#include "platform/IcuRegex.h"

#include <QString>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <unicode/regex.h>

using namespace dunmoss;

namespace {

const QString kPattern = QStringLiteral("(?<word>\\w+)=(\\d)?(x)?(y)?(z)?(a)?(b)?(c)?(d)?(e)?(f)?");
const QString kText = QStringLiteral("  key=7 rest");

// ICU's expansion of the template for the first match, or nothing when ICU refuses it.
std::optional<QString> icuExpansion(const QString& templ) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError{};
    const icu::UnicodeString pattern(reinterpret_cast<const UChar*>(kPattern.utf16()),
                                     int32_t(kPattern.size()));
    std::unique_ptr<icu::RegexPattern> compiled(
        icu::RegexPattern::compile(pattern, 0, parseError, status));
    const icu::UnicodeString input(reinterpret_cast<const UChar*>(kText.utf16()),
                                   int32_t(kText.size()));
    std::unique_ptr<icu::RegexMatcher> matcher(compiled->matcher(input, status));
    if (U_FAILURE(status) || !matcher->find(status))
        std::abort();
    const int32_t start = matcher->start(status);
    icu::UnicodeString out;
    matcher->appendReplacement(
        out,
        icu::UnicodeString(reinterpret_cast<const UChar*>(templ.utf16()), int32_t(templ.size())),
        status);
    if (U_FAILURE(status))
        return std::nullopt;
    return QString(reinterpret_cast<const QChar*>(out.getBuffer()) + start, out.length() - start);
}

bool isHex(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The "\uhhhh" or "\Uhhhhhhhh" escape at `at` (the backslash): its value, or nothing when it
// is not one with all its digits.
std::optional<char32_t> escapeAt(const QString& templ, qsizetype at, qsizetype& digits) {
    if (at + 1 >= templ.size() || templ[at] != u'\\' ||
        (templ[at + 1] != u'u' && templ[at + 1] != u'U'))
        return std::nullopt;
    digits = templ[at + 1] == u'u' ? 4 : 8;
    char32_t value = 0;
    for (qsizetype k = 0; k < digits; ++k) {
        const qsizetype i = at + 2 + k;
        if (i >= templ.size() || !isHex(templ[i]))
            return std::nullopt;
        value = value * 16 + char32_t(QString(templ[i]).toUInt(nullptr, 16));
    }
    return value;
}

// The template with every escape naming a surrogate replaced by an escape of what it inserts:
// the pair's character when a high half is followed by a low one, U+FFFD otherwise.
QString withSurrogateEscapesResolved(const QString& templ) {
    QString out;
    qsizetype i = 0;
    while (i < templ.size()) {
        if (templ[i] != u'\\') {
            out.append(templ[i++]);
            continue;
        }
        qsizetype digits = 0;
        const std::optional<char32_t> value = escapeAt(templ, i, digits);
        if (!value) {
            // Not a complete escape: copied as typed up to and including what ICU swallows.
            qsizetype end = i + 2;
            if (i + 1 < templ.size() && (templ[i + 1] == u'u' || templ[i + 1] == u'U')) {
                const qsizetype most = templ[i + 1] == u'u' ? 4 : 8;
                qsizetype read = 0;
                while (read < most && end < templ.size() && isHex(templ[end]))
                    ++end, ++read;
                if (read < most && end < templ.size())
                    end += templ[end].isHighSurrogate() && end + 1 < templ.size() &&
                                   templ[end + 1].isLowSurrogate()
                               ? 2
                               : 1;
            }
            end = std::min(end, templ.size());
            out.append(templ.mid(i, end - i));
            i = end;
            continue;
        }
        i += 2 + digits;
        char32_t inserted = *value;
        if (QChar::isLowSurrogate(*value)) {
            inserted = 0xFFFD;
        } else if (QChar::isHighSurrogate(*value)) {
            inserted = 0xFFFD;
            qsizetype lowDigits = 0;
            if (i < templ.size() && templ[i].isLowSurrogate()) {
                inserted = QChar::surrogateToUcs4(char16_t(*value), templ[i++].unicode());
            } else if (const auto low = escapeAt(templ, i, lowDigits);
                       low && QChar::isLowSurrogate(*low)) {
                inserted = QChar::surrogateToUcs4(char16_t(*value), char16_t(*low));
                i += 2 + lowDigits;
            }
        }
        out.append(QStringLiteral("\\U%1").arg(uint(inserted), 8, 16, QLatin1Char('0')));
    }
    return out;
}

bool hasLoneSurrogate(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString templ = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    static const IcuRegex regex(kPattern);
    IcuRegexMatcher matcher(regex, kText);
    if (!matcher.findNext())
        std::abort();

    // Lenient parsing throws nothing at all.
    const QString lenient =
        matcher.replacement(regex.compileTemplate(templ, IcuRegex::GroupReferences::Lenient));
    std::optional<QString> strict;
    try {
        strict = matcher.replacement(regex.compileTemplate(templ));
    } catch (const RegexError&) {
    }
    if (hasLoneSurrogate(lenient))
        std::abort();
    const std::optional<QString> icu = icuExpansion(withSurrogateEscapesResolved(templ));
    if (strict.has_value() != icu.has_value() ||
        (strict && (*strict != *icu || lenient != *strict)))
        std::abort();
    return 0;
}
