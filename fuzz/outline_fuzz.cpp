// Feeds a text (UTF-8, or raw UTF-16 units when the first byte is odd) to the outline of every
// language and to the quoted-key colouring rule, and checks both against a plain ICU search with
// the whole patterns: skipping runs of blanks and the one-pass key scan must never change an
// item or a match.
#include "support/OutlineReference.h"
#include "text/DocumentOutline.h"
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

void checkQuotedKeys(const QString& text) {
    const HighlightPass& key = highlightPasses(EditorLanguage::Json).first();
    const std::optional<QuotedKeyScan> scan = QuotedKeyScan::fromPass(key);
    if (!scan)
        abort();
    // A region from the text's own length, so ranges vary with the input.
    const qsizetype start = text.size() / 7;
    const TextRange range{start, text.size() - start - text.size() / 11};
    std::vector<TextRange> fast;
    scan->forEachMatch(text, range, [&](qsizetype l, qsizetype n) { fast.push_back({l, n}); });
    std::vector<TextRange> slow;
    const IcuRegex regex(key.pattern);
    IcuRegexMatcher matcher(regex, text, range);
    while (matcher.findNext())
        slow.push_back(matcher.range());
    if (fast != slow)
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
    return 0;
}
