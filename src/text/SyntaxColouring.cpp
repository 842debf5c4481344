#include "text/SyntaxColouring.h"

#include "text/BlankLedSearch.h"
#include "text/DelimitedSpanScan.h"
#include "text/KeywordAlternation.h"
#include "text/NumberScan.h"
#include "text/QuotedKeyScan.h"
#include "text/SyntaxRegexCache.h"

#include <algorithm>
#include <vector>

namespace dunmoss {

namespace {

// One byte per unit of the range: the role plus one in the low bits (0: none), bold above.
constexpr quint8 kRoleMask = 0x0f;
constexpr quint8 kBoldBit = 0x10;

// The rules "^\s*" + rest (multi-line) whose rest can only begin at a character that is not
// blank, found by BlankLedSearch: its rest, else nothing.
std::optional<QString> blankLedRest(const HighlightPass& pass) {
    static const QString yamlKey = QStringLiteral(R"re(^\s*([A-Za-z0-9_\.\-]+)\s*:)re");
    if (pass.options == IcuRegex::AnchorsMatchLines && pass.pattern == yamlKey)
        return pass.pattern.mid(4);
    return std::nullopt;
}

void applyPass(QStringView text, TextRange range, const HighlightPass& pass,
               std::vector<quint8>& styles) {
    const auto colour = [&](qsizetype location, qsizetype length) {
        const quint8 code = quint8(int(*pass.role) + 1);
        auto first = styles.begin() + (location - range.location);
        std::for_each(first, first + length, [code](quint8& s) { s = (s & ~kRoleMask) | code; });
    };
    if (const auto keywords = KeywordAlternation::fromPass(pass); keywords && pass.role) {
        keywords->forEachMatch(text, range, colour);
        return;
    }
    if (const auto numbers = NumberScan::fromPass(pass); numbers && pass.role) {
        numbers->forEachMatch(text, range, colour);
        return;
    }
    if (const auto keys = QuotedKeyScan::fromPass(pass); keys && pass.role) {
        keys->forEachMatch(text, range, colour);
        return;
    }
    if (const auto spans = DelimitedSpanScan::fromPass(pass); spans && pass.role) {
        spans->forEachMatch(text, range, colour);
        return;
    }
    const std::optional<QString> rest = blankLedRest(pass);
    const std::optional<IcuRegex> regex = cachedRegex(rest.value_or(pass.pattern), pass.options);
    if (!regex || pass.group > regex->captureGroupCount())
        return;
    const quint8 code = pass.role ? quint8(int(*pass.role) + 1) : 0;
    try {
        IcuRegexMatcher matcher(*regex, text, range);
        std::optional<BlankLedSearch> search;
        if (rest)
            search.emplace(matcher, text, true);
        for (;;) {
            TextRange hit;
            if (search) {
                const qsizetype start = search->findNext();
                if (start < 0)
                    break;
                hit = pass.group == 0 ? TextRange{start, matcher.range().end() - start}
                                      : matcher.group(pass.group);
            } else {
                if (!matcher.findNext())
                    break;
                hit = matcher.group(pass.group);
            }
            if (hit.isNotFound() || hit.length < 1)
                continue;
            auto first = styles.begin() + (hit.location - range.location);
            auto last = first + hit.length;
            if (pass.isBold())
                std::for_each(first, last, [](quint8& s) { s |= kBoldBit; });
            else
                std::for_each(first, last, [code](quint8& s) { s = (s & ~kRoleMask) | code; });
        }
    } catch (const RegexError&) {
        // A run that exhausts the matcher's stack keeps what it coloured so far.
    }
}

SyntaxStyle decoded(quint8 code) {
    SyntaxStyle style;
    if (code & kRoleMask)
        style.role = SyntaxColorRole((code & kRoleMask) - 1);
    style.bold = code & kBoldBit;
    return style;
}

} // namespace

QList<SyntaxStyleRun> syntaxStyleRuns(QStringView text, TextRange range, EditorLanguage language) {
    return syntaxStyleRuns(text, range, highlightPasses(language));
}

QList<SyntaxStyleRun> syntaxStyleRuns(QStringView text, TextRange range,
                                      const QList<HighlightPass>& passes) {
    if (text.size() > kColouringPassLimit || passes.isEmpty())
        return {};
    const qsizetype start = std::clamp<qsizetype>(range.location, 0, text.size());
    const qsizetype end = std::clamp<qsizetype>(range.location + range.length, start, text.size());
    const TextRange clamped{start, end - start};
    if (clamped.length == 0)
        return {};
    std::vector<quint8> styles(size_t(clamped.length), 0);
    for (const HighlightPass& pass : passes)
        applyPass(text, clamped, pass, styles);

    QList<SyntaxStyleRun> runs;
    qsizetype i = 0;
    const qsizetype n = clamped.length;
    while (i < n) {
        const quint8 code = styles[size_t(i)];
        qsizetype j = i + 1;
        while (j < n && styles[size_t(j)] == code)
            ++j;
        if (code)
            runs.append({start + i, j - i, decoded(code)});
        i = j;
    }
    return runs;
}

TextRange lineRangeAround(QStringView text, qsizetype location, qsizetype length,
                          qsizetype margin) {
    const qsizetype total = text.size();
    if (total == 0)
        return {0, 0};
    const qsizetype loc =
        location == TextRange::notFound().location ? 0 : std::clamp<qsizetype>(location, 0, total);
    const qsizetype m = std::clamp<qsizetype>(margin, 0, total);
    const qsizetype len = std::clamp<qsizetype>(length, 0, total - loc);
    const qsizetype widenedStart = std::max<qsizetype>(loc - m, 0);
    const qsizetype widenedEnd = std::min<qsizetype>(loc + len + m, total);

    const qsizetype start = widenedStart == 0 ? 0 : text.first(widenedStart).lastIndexOf(u'\n') + 1;
    // The line holding the last unit of the range (or the position itself when empty).
    const qsizetype last = widenedEnd > widenedStart ? widenedEnd - 1 : widenedStart;
    qsizetype end = total;
    if (last < total) {
        const qsizetype feed = text.indexOf(u'\n', last);
        end = feed < 0 ? total : feed + 1;
    }
    end = std::min(std::max(start, end), total);
    return {start, end - start};
}

} // namespace dunmoss
