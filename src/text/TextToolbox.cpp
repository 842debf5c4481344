#include "text/TextToolbox.h"

#include "platform/UnicodeFastCodecs.h"
#include "text/EncodingDetection.h"
#include "text/JsonFormatter.h"
#include "text/LineBlock.h"
#include "text/LineOperations.h"
#include "text/TextCodecs.h"

#include <QSet>
#include <algorithm>

namespace dunmoss {

namespace {

// Character transforms work on the selection, or on the whole text when nothing is selected.
TextRange characterRange(const QString& text, TextRange selection) {
    if (selection.length <= 0)
        return TextRange{0, text.size()};
    return clampedSelection(selection, text.size());
}

// Replaces the range by its transform, or leaves everything as it was when there is none.
TextEdit replaceWhenTransformed(const QString& text, TextRange selection,
                                std::optional<QString> (*transform)(QStringView)) {
    const TextRange range = characterRange(text, selection);
    const std::optional<QString> transformed =
        transform(QStringView(text).sliced(range.location, range.length));
    if (!transformed)
        return TextEdit{text, selection};
    return replaceAndSelect(text, range, *transformed);
}

} // namespace

TextEdit uniqueLines(const QString& text, TextRange selection) {
    return rearrangeLines(text, blockOrWholeText(text, selection), [](QList<QStringView>& lines) {
        QSet<QStringView> seen;
        seen.reserve(lines.size());
        lines.removeIf([&seen](QStringView line) {
            if (seen.contains(line))
                return true;
            seen.insert(line);
            return false;
        });
    });
}

TextEdit reverseLines(const QString& text, TextRange selection) {
    return rearrangeLines(text, blockOrWholeText(text, selection), [](QList<QStringView>& lines) {
        std::reverse(lines.begin(), lines.end());
    });
}

std::optional<QString> extractMatches(const QString& pattern, const QString& text,
                                      IcuRegex::Options options, RegexWorkBound bound) {
    std::optional<IcuRegex> regex;
    try {
        regex.emplace(pattern, options, bound);
    } catch (const RegexError&) {
        return std::nullopt;
    }
    // A run that stops throws: an empty result would claim there is nothing to find.
    IcuRegexMatcher matcher(*regex, text);
    QString found;
    while (matcher.findNext())
        found.append(matcher.matchedText()).append(u'\n');
    return found;
}

TextEdit base64EncodeText(const QString& text, TextRange selection) {
    const TextRange range = characterRange(text, selection);
    const QStringView source = QStringView(text).sliced(range.location, range.length);
    return replaceAndSelect(text, range, base64Encode(utf8Bytes(source)));
}

TextEdit base64DecodeText(const QString& text, TextRange selection) {
    const TextRange range = characterRange(text, selection);
    const QStringView source = QStringView(text).sliced(range.location, range.length).trimmed();
    const std::optional<QByteArray> bytes = base64DecodeStrict(source);
    if (!bytes)
        throw TextToolboxError(TextToolboxError::Kind::InvalidBase64);
    const std::optional<QString> decoded = decodeUtf8Strict(*bytes);
    if (!decoded)
        throw TextToolboxError(TextToolboxError::Kind::InvalidBase64);
    return replaceAndSelect(text, range, normalizeLineEndings(*decoded));
}

TextEdit urlEncodeText(const QString& text, TextRange selection) {
    return replaceWhenTransformed(text, selection, percentEncodeUrlQuery);
}

TextEdit urlDecodeText(const QString& text, TextRange selection) {
    return replaceWhenTransformed(text, selection, [](QStringView source) {
        std::optional<QString> decoded = percentDecodeStrict(source);
        if (decoded)
            decoded = normalizeLineEndings(*decoded);
        return decoded;
    });
}

QString prettyPrintJSON(const QString& text) {
    return reformatJson(text, JsonLayout::Pretty) + u'\n';
}

QString minifyJSON(const QString& text) {
    return reformatJson(text, JsonLayout::Minified);
}

} // namespace dunmoss
