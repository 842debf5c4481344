// Feeds arbitrary text to the replacement-template parser as a template for a fixed pattern.
// A lenient template never fails; a template the strict parser accepts expands exactly as ICU's
// own appendReplacement expands it, in both modes.
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
    const std::optional<QString> icu = icuExpansion(templ);
    if (strict.has_value() != icu.has_value() ||
        (strict && (*strict != *icu || lenient != *strict)))
        std::abort();
    return 0;
}
