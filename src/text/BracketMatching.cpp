#include "text/BracketMatching.h"

namespace dunmoss {

namespace {

struct BracketPair {
    char16_t open;
    char16_t close;
};
constexpr BracketPair kPairs[] = {{u'(', u')'}, {u'[', u']'}, {u'{', u'}'}};

} // namespace

std::optional<qsizetype> matchingBracketLocation(qsizetype index, QStringView text) {
    if (index < 0 || index >= text.size())
        return std::nullopt;
    const char16_t c = text[index].unicode();
    for (const auto& pair : kPairs) {
        if (c != pair.open && c != pair.close)
            continue;
        // Forward from an opening bracket, backward from a closing one; only this kind counts.
        const bool forward = c == pair.open;
        const char16_t partner = forward ? pair.close : pair.open;
        const qsizetype step = forward ? 1 : -1;
        qsizetype depth = 0;
        for (qsizetype i = index; i >= 0 && i < text.size(); i += step) {
            const char16_t u = text[i].unicode();
            if (u == c)
                ++depth;
            else if (u == partner && --depth == 0)
                return i;
        }
        return std::nullopt;
    }
    return std::nullopt;
}

QList<TextRange> bracketHighlightRanges(QStringView text, TextRange selection) {
    const qsizetype length = text.size();
    if (length == 0 || length > kBracketMatchingMaxLength || selection.length != 0 ||
        selection.isNotFound())
        return {};
    const qsizetype caret = selection.location;
    for (const qsizetype at : {caret, caret - 1}) {
        if (at < 0 || at >= length)
            continue;
        if (const auto partner = matchingBracketLocation(at, text))
            return {TextRange{at, 1}, TextRange{*partner, 1}};
    }
    return {};
}

} // namespace dunmoss
