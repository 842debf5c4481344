// Feeds arbitrary bytes to the toolbox's JSON reformatter, its Base64 and percent decoders and
// its e-mail extraction. Pretty-printing what minifying a pretty-printed document gives must
// reproduce it exactly; extraction must list exactly ICU's own matches.
#include "text/JsonFormatter.h"
#include "text/TextCodecs.h"
#include "text/TextToolbox.h"

#include <QString>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <unicode/regex.h>

using namespace dunmoss;

namespace {

// ICU's matches of a pattern, case-insensitive, each followed by a line feed.
QString icuExtraction(const QString& pattern, const QString& text) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError{};
    std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(
        icu::UnicodeString(reinterpret_cast<const UChar*>(pattern.utf16()),
                           int32_t(pattern.size())),
        UREGEX_CASE_INSENSITIVE, parseError, status));
    const icu::UnicodeString input(reinterpret_cast<const UChar*>(text.utf16()),
                                   int32_t(text.size()));
    std::unique_ptr<icu::RegexMatcher> matcher(compiled->matcher(input, status));
    QString found;
    while (matcher->find(status)) {
        const int32_t start = matcher->start(status);
        found.append(text.sliced(start, matcher->end(status) - start)).append(u'\n');
    }
    if (U_FAILURE(status))
        std::abort();
    return found;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));

    try {
        const QString pretty = prettyPrintJSON(text);
        const QString minified = minifyJSON(pretty);
        if (prettyPrintJSON(minified) != pretty || minifyJSON(minified) != minified)
            std::abort();
    } catch (const JsonError&) {
    }

    if (const auto bytes = base64DecodeStrict(text)) {
        // Strict decoding accepts only canonical lengths; encoding again gives the same size.
        if (base64Encode(*bytes).size() != text.size())
            std::abort();
    }
    try {
        base64DecodeText(text, TextRange{0, 0});
    } catch (const TextToolboxError&) {
    }

    if (const auto decoded = percentDecodeStrict(text)) {
        // Whatever decodes must encode and decode back to itself.
        const auto encoded = percentEncodeUrlQuery(*decoded);
        if (!encoded || percentDecodeStrict(*encoded) != *decoded)
            std::abort();
    }
    urlDecodeText(text, TextRange{0, text.size()});

    // A fuzzer-sized text never reaches the work bound.
    if (extractMatches(kEmailExtractionPattern, text, IcuRegex::CaseInsensitive) !=
        icuExtraction(kEmailExtractionPattern, text))
        std::abort();
    return 0;
}
