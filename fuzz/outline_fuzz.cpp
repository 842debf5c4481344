// Feeds a text (UTF-8, or raw UTF-16 units when the first byte is odd) to the outline of every
// language, to the quoted key and value colouring rules, to every string and comment rule and to
// every number rule, and checks them against a plain ICU search with the whole patterns: skipping
// runs of blanks, the one-pass key and value scan, the delimited-span scan and the number scan
// must never change an item or a match.
#include "support/ColouringReference.h"
#include "support/OutlineReference.h"
#include "text/DelimitedSpanScan.h"
#include "text/DocumentOutline.h"
#include "text/NumberScan.h"
#include "text/QuotedKeyScan.h"
#include "text/SyntaxHighlightRules.h"

#include <QString>
#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace dunmoss;

namespace {

// The reference is cubic in a run of blanks: keep texts short.
constexpr qsizetype kLongest = 400;

QString textFrom(const uint8_t* data, size_t size) {
    if (size == 0)
        return {};
    if (data[0] & 1) {
        QString text;
        for (size_t i = 1; i + 1 < size; i += 2)
            text += QChar(char16_t(data[i] | (data[i + 1] << 8)));
        return text.left(kLongest);
    }
    return QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1))
        .left(kLongest);
}

bool sameItems(const QList<DocumentOutlineItem>& a, const QList<DocumentOutlineItem>& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i].title != b[i].title || a[i].detail != b[i].detail || a[i].line != b[i].line ||
            a[i].range != b[i].range)
            return false;
    return true;
}

// A region from the text's own length, so ranges vary with the input.
TextRange regionOf(const QString& text) {
    const qsizetype start = text.size() / 7;
    return {start, text.size() - start - text.size() / 11};
}

void checkQuotedKeys(const QString& text) {
    for (const qsizetype pass : {0, 1}) { // the key and the string value rules
        const HighlightPass& rule = highlightPasses(EditorLanguage::Json).at(pass);
        const std::optional<QuotedKeyScan> scan = QuotedKeyScan::fromPass(rule);
        if (!scan)
            abort();
        for (const TextRange range : {TextRange{0, text.size()}, regionOf(text)})
            if (reference::scannedMatches(*scan, text, range) !=
                reference::referenceMatches(rule, text, range))
                abort();
    }
}

// Every pass a fast path of this kind takes must match as the plain search does.
template <typename Scan> void checkScansOfEveryPass(const QString& text) {
    for (const QList<HighlightPass>* passes : allHighlightPassLists())
        for (const HighlightPass& pass : *passes)
            if (const auto scan = Scan::fromPass(pass))
                for (const TextRange range : {TextRange{0, text.size()}, regionOf(text)})
                    if (reference::scannedMatches(*scan, text, range) !=
                        reference::referenceMatches(pass, text, range))
                        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = textFrom(data, size);
    for (EditorLanguage language :
         {EditorLanguage::PlainText, EditorLanguage::Swift, EditorLanguage::Markdown,
          EditorLanguage::Python, EditorLanguage::Json, EditorLanguage::Javascript,
          EditorLanguage::Html, EditorLanguage::Css, EditorLanguage::Yaml, EditorLanguage::Go})
        if (!sameItems(extractOutline(text, language), reference::referenceOutline(text, language)))
            abort();
    checkQuotedKeys(text);
    checkScansOfEveryPass<DelimitedSpanScan>(text);
    checkScansOfEveryPass<NumberScan>(text);
    return 0;
}
