#include "platform/RegexAtoms.h"

#include "platform/RegexSyntax.h"

namespace dunmoss::regex_syntax {

// Whether the rest of a pattern, from `at`, keeps a failed attempt's verdict for later starts
// in the same run: no "|" that could bypass the loop, no "\G", no free-spacing flag, no
// back-reference when a group before the rest (still open at `at` when `groupOpen`) captured
// something that depends on where the match began, and no quantifier on a group still open.
bool restIsPositionIndependent(QStringView p, qsizetype at, bool refersBack, bool groupOpen) {
    int depth = groupOpen ? 1 : 0;
    qsizetype k = at;
    while (k < p.size()) {
        const QChar c = p[k];
        if (c == u'\\') {
            if (k + 1 >= p.size())
                return false;
            const QChar kind = p[k + 1];
            if (kind == u'G')
                return false;
            if (refersBack && ((kind >= u'1' && kind <= u'9') || kind == u'k'))
                return false;
            k = afterEscape(p, k);
        } else if (c == u'[') {
            k = afterSet(p, k);
        } else if (c == u'(') {
            if (p.sliced(k).startsWith(u"(?#")) {
                k = afterComment(p, k);
                continue;
            }
            if (!opensWithSafeFlags(p, k))
                return false;
            ++depth;
            ++k;
        } else if (c == u')') {
            if (--depth < 0)
                return false;
            ++k;
            if (groupOpen && depth == 0) {
                groupOpen = false;
                if (k < p.size() && isQuantifier(p[k]))
                    return false;
            }
        } else if (c == u'|' && depth == (groupOpen ? 1 : 0)) {
            return false;
        } else {
            ++k;
        }
        if (k < 0)
            return false;
    }
    return depth == 0;
}

// A zero-width assertion at `at` that captures nothing and refers to no group: where it ends,
// or -1. Its truth at a position depends only on the text, the region and its bounds.
qsizetype afterAssertion(QStringView p, qsizetype at) {
    const QStringView rest = p.sliced(at);
    if (rest.startsWith(u'^') || rest.startsWith(u'$'))
        return at + 1;
    if (rest.startsWith(u"\\b") || rest.startsWith(u"\\B") || rest.startsWith(u"\\A") ||
        rest.startsWith(u"\\Z") || rest.startsWith(u"\\z"))
        return at + 2;
    const bool lookAround = rest.startsWith(u"(?=") || rest.startsWith(u"(?!") ||
                            rest.startsWith(u"(?<=") || rest.startsWith(u"(?<!");
    if (!lookAround)
        return -1;
    const qsizetype end = afterGroup(p, at);
    qsizetype k = at + 1;
    while (k >= 0 && k < end) {
        const QChar c = p[k];
        if (c == u'\\') {
            if (k + 1 < end && QStringView(u"123456789kG").contains(p[k + 1]))
                return -1;
            k = afterEscape(p, k);
        } else if (c == u'[') {
            k = afterSet(p, k);
        } else if (c == u'(') {
            // Only groups that capture nothing: "(?:", "(?=", "(?<!", ...; never "(?<name>".
            const QStringView group = p.sliced(k);
            if (!group.startsWith(u"(?") ||
                (group.startsWith(u"(?<") && group.size() > 3 && isAsciiLetter(group[3])) ||
                group.startsWith(u"(?#") || !opensWithSafeFlags(p, k))
                return -1;
            ++k;
        } else {
            ++k;
        }
    }
    return k == end ? end : -1;
}

GroupOpening groupOpeningAt(QStringView p, qsizetype at) {
    const QStringView rest = p.sliced(at);
    if (!rest.startsWith(u'('))
        return {};
    if (rest.startsWith(u"(?:"))
        return {at + 3, false};
    if (rest.startsWith(u"(?<") && rest.size() > 3 && isAsciiLetter(rest[3])) {
        const qsizetype close = p.indexOf(u'>', at);
        return {close < 0 ? -1 : close + 1, true};
    }
    if (rest.startsWith(u"(?"))
        return {}; // look-around, atomic and flag groups
    return {at + 1, true};
}

// An escaped ASCII punctuation character, "\." or "\-": one literal character.
qsizetype afterEscapedPunctuation(QStringView p, qsizetype at) {
    if (at + 1 >= p.size() || p[at] != u'\\')
        return -1;
    const char16_t c = p[at + 1].unicode();
    const bool punctuation =
        c > 0x20 && c < 0x7F && !isAsciiLetter(QChar(c)) && !(c >= u'0' && c <= u'9');
    return punctuation ? at + 2 : -1;
}

PrefixAtom oneCharacterAt(QStringView p, qsizetype at, bool folds) {
    const Atom atom = classAtomAt(p, at);
    if (atom.end >= 0) {
        if (atom.literal && folds && !isFoldSafeLiteral(p[at]))
            return {};
        return {atom.end, atom.literal, false};
    }
    if (const qsizetype end = afterEscapedPunctuation(p, at); end >= 0)
        return {end, true, false};
    return {};
}

PrefixAtom prefixAtomAt(QStringView p, qsizetype at, bool folds) {
    const GroupOpening opening = groupOpeningAt(p, at);
    if (opening.end < 0)
        return oneCharacterAt(p, at, folds);
    qsizetype k = opening.end;
    for (;;) {
        const PrefixAtom alternative = oneCharacterAt(p, k, folds);
        if (alternative.end < 0 || alternative.end >= p.size())
            return {};
        k = alternative.end;
        if (p[k] == u')')
            return {k + 1, false, opening.captures};
        if (p[k] != u'|')
            return {};
        ++k;
    }
}

namespace {

int numberAt(QStringView p, qsizetype& k) {
    int value = 0;
    while (k < p.size() && p[k] >= u'0' && p[k] <= u'9' && value <= 1000)
        value = value * 10 + (p[k++].unicode() - u'0');
    return value;
}

} // namespace

Count countAt(QStringView p, qsizetype at) {
    Count count;
    if (at >= p.size() || p[at] != u'{')
        return count;
    qsizetype k = at + 1;
    count.least = numberAt(p, k);
    if (k == at + 1)
        return count;
    count.most = count.least;
    if (k < p.size() && p[k] == u',') {
        ++k;
        const qsizetype digits = k;
        count.most = numberAt(p, k);
        if (k == digits)
            count.most = -1;
    }
    if (k < p.size() && p[k] == u'}' && (count.most < 0 || count.most >= count.least))
        count.end = k + 1;
    return count;
}

std::optional<qsizetype> leadingFlagsLength(QStringView p) {
    if (!p.startsWith(u"(?"))
        return 0;
    qsizetype f = 2;
    while (f < p.size() && (isAsciiLetter(p[f]) || p[f] == u'-'))
        ++f;
    if (f == 2 || f >= p.size() || p[f] != u')')
        return 0;
    if (!safeFlags(p.sliced(2, f - 2)))
        return std::nullopt;
    return f + 1;
}

} // namespace dunmoss::regex_syntax
