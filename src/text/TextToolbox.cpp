#include "text/TextToolbox.h"

#include "platform/UnicodeFastCodecs.h"
#include "text/JsonFormatter.h"
#include "text/LineOperations.h"
#include "text/TextCodecs.h"

#include <QSet>
#include <algorithm>

namespace dunmoss {

namespace {

// Toolbox patterns are ours, but a huge unbroken run can still make them backtrack for long.
constexpr int kExtractionTimeLimit = 10000;

TextRange characterRange(const QString& text, TextRange selection) {
    if (selection.length <= 0)
        return TextRange{0, text.size()};
    const qsizetype start = std::clamp<qsizetype>(selection.location, 0, text.size());
    return TextRange{start, std::min(selection.length, text.size() - start)};
}

TextRange lineBasedRange(const QString& text, TextRange selection) {
    if (selection.length <= 0)
        return TextRange{0, text.size()};
    return selectedLineRange(text, selection);
}

TextEdit replaceRange(const QString& text, TextRange range, const QString& replacement) {
    QString changed = text;
    changed.replace(range.location, range.length, replacement);
    return TextEdit{std::move(changed), TextRange{range.location, replacement.size()}};
}

template <typename Reorder>
TextEdit transformLines(const QString& text, TextRange selection, Reorder reorder) {
    const TextRange range = lineBasedRange(text, selection);
    const QStringView block = QStringView(text).sliced(range.location, range.length);
    const bool endsWithLineFeed = block.endsWith(u'\n');
    QList<QStringView> lines = block.split(u'\n');
    if (endsWithLineFeed)
        lines.removeLast();
    lines = reorder(std::move(lines));
    QString joined;
    joined.reserve(block.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            joined.append(u'\n');
        joined.append(lines[i]);
    }
    if (endsWithLineFeed)
        joined.append(u'\n');
    return replaceRange(text, range, joined);
}

} // namespace

TextEdit uniqueLines(const QString& text, TextRange selection) {
    return transformLines(text, selection, [](QList<QStringView> lines) {
        QSet<QStringView> seen;
        QList<QStringView> kept;
        kept.reserve(lines.size());
        for (QStringView line : lines) {
            if (!seen.contains(line)) {
                seen.insert(line);
                kept.append(line);
            }
        }
        return kept;
    });
}

TextEdit reverseLines(const QString& text, TextRange selection) {
    return transformLines(text, selection, [](QList<QStringView> lines) {
        std::reverse(lines.begin(), lines.end());
        return lines;
    });
}

std::optional<QString> extractMatches(const QString& pattern, const QString& text,
                                      IcuRegex::Options options) {
    try {
        const IcuRegex regex(pattern, options, kExtractionTimeLimit);
        IcuRegexMatcher matcher(regex, text);
        QString found;
        while (matcher.findNext())
            found.append(matcher.matchedText()).append(u'\n');
        return found;
    } catch (const RegexError&) {
        return std::nullopt;
    }
}

TextEdit base64EncodeText(const QString& text, TextRange selection) {
    const TextRange range = characterRange(text, selection);
    const QStringView source = QStringView(text).sliced(range.location, range.length);
    return replaceRange(text, range, base64Encode(utf8Bytes(source)));
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
    return replaceRange(text, range, *decoded);
}

TextEdit urlEncodeText(const QString& text, TextRange selection) {
    const TextRange range = characterRange(text, selection);
    const auto encoded =
        percentEncodeUrlQuery(QStringView(text).sliced(range.location, range.length));
    if (!encoded)
        return TextEdit{text, selection};
    return replaceRange(text, range, *encoded);
}

TextEdit urlDecodeText(const QString& text, TextRange selection) {
    const TextRange range = characterRange(text, selection);
    const auto decoded =
        percentDecodeStrict(QStringView(text).sliced(range.location, range.length));
    if (!decoded)
        return TextEdit{text, selection};
    return replaceRange(text, range, *decoded);
}

QString prettyPrintJSON(const QString& text) {
    return reformatJson(text, JsonLayout::Pretty) + u'\n';
}

QString minifyJSON(const QString& text) {
    return reformatJson(text, JsonLayout::Minified);
}

} // namespace dunmoss
