// Feeds arbitrary bytes to the toolbox's JSON reformatter and its Base64 and percent decoders.
// Pretty-printing what minifying a pretty-printed document gives must reproduce it exactly.
#include "text/JsonFormatter.h"
#include "text/TextCodecs.h"
#include "text/TextToolbox.h"

#include <QString>
#include <cstdint>
#include <cstdlib>

using namespace dunmoss;

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
    return 0;
}
