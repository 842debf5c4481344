#include "platform/RegexLeadingLoop.h"

#include "platform/RegexSyntax.h"

namespace dunmoss {

namespace {

using namespace regex_syntax;

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

// Where the opening of a group at `at` ends, "(", "(?:" or "(?<name>", and whether it captures;
// -1 for any other group.
struct GroupOpening {
    qsizetype end = -1;
    bool captures = false;
};

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

// One atom that matches exactly one character: a class, a literal, or a group of such atoms
// as alternatives ("(a|b)", "(?:[0-9]|x)"). Under case folding a literal must be fold-safe.
struct PrefixAtom {
    qsizetype end = -1;
    bool literal = false;
    bool captures = false;
};

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

// A count after an atom: "{n}", "{n,}" or "{n,m}".
struct Count {
    int least = 0;
    int most = -1;      // -1 when open
    qsizetype end = -1; // after the "}"; -1 when there is no such count
};

int numberAt(QStringView p, qsizetype& k) {
    int value = 0;
    while (k < p.size() && p[k] >= u'0' && p[k] <= u'9' && value <= 1000)
        value = value * 10 + (p[k++].unicode() - u'0');
    return value;
}

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

// The rest of a pattern from `at` as a pattern of its own, without the ")" that closes the group
// around the loop when `groupOpen`; empty when that ")" is not found.
QString restOnItsOwn(QStringView p, qsizetype at, bool groupOpen) {
    if (!groupOpen)
        return p.sliced(at).toString();
    int depth = 0;
    qsizetype k = at;
    while (k >= 0 && k < p.size()) {
        const QChar c = p[k];
        if (c == u'\\') {
            k = afterEscape(p, k);
        } else if (c == u'[') {
            k = afterSet(p, k);
        } else if (c == u')' && depth == 0) {
            return p.sliced(at, k - at).toString() + p.sliced(k + 1).toString();
        } else {
            depth += c == u'(' ? 1 : c == u')' ? -1 : 0;
            ++k;
        }
    }
    return {};
}

// With `boundedLoop` >= 0, that count with a finite most, "x{n,m}", is the loop rather than n
// atoms and m - n optional ones.
std::optional<LeadingLoop> analyse(QStringView p, bool caseInsensitive, int boundedLoop) {
    qsizetype k = 0;
    QStringView flags;
    // Leading inline flags, "(?i)".
    if (p.startsWith(u"(?")) {
        qsizetype f = 2;
        while (f < p.size() && (isAsciiLetter(p[f]) || p[f] == u'-'))
            ++f;
        if (f > 2 && f < p.size() && p[f] == u')') {
            if (!safeFlags(p.sliced(2, f - 2)))
                return std::nullopt;
            flags = p.sliced(0, f + 1);
            k = f + 1;
        }
    }
    // Assertions before the atoms, as whole-word searches put there, and at most one group
    // around the loop: "(", "(?:" or "(?<name>".
    QString assertion;
    bool inGroup = false;
    bool captured = false;
    for (;;) {
        if (const qsizetype end = afterAssertion(p, k); end >= 0) {
            assertion += p.sliced(k, end - k);
            k = end;
            continue;
        }
        if (inGroup || k >= p.size() || p[k] != u'(')
            break;
        const GroupOpening opening = groupOpeningAt(p, k);
        // A group of alternatives is an atom, not the group around the loop.
        if (opening.end < 0 || prefixAtomAt(p, k, false).end >= 0)
            break;
        inGroup = true;
        captured = opening.captures;
        k = opening.end;
    }
    // Atoms of one character each, then the loop's.
    const bool folds = caseInsensitive || !flags.isEmpty();
    constexpr int kMostPrefixAtoms = 8;
    QList<QStringView> prefix;
    int optional = 0;
    qsizetype atomStart = k;
    qsizetype atomEnd = -1;
    qsizetype loopEnd = -1;
    int loopMost = -1;
    int finiteCounts = 0;
    for (;;) {
        const PrefixAtom atom = prefixAtomAt(p, k, folds);
        if (atom.end < 0)
            return std::nullopt;
        captured = captured || atom.captures;
        atomStart = k;
        atomEnd = atom.end;
        const QStringView atomText = p.sliced(atomStart, atomEnd - atomStart);
        const QChar next = atomEnd < p.size() ? p[atomEnd] : QChar();
        if (next == u'*' || next == u'+') {
            loopEnd = atomEnd + 1;
            break;
        }
        if (next == u'?') {
            // May be left out, unless possessive.
            if (atomEnd + 1 < p.size() && p[atomEnd + 1] == u'+')
                return std::nullopt;
            if (++optional > kMostPrefixAtoms)
                return std::nullopt;
            k = atomEnd + 1;
            if (k < p.size() && p[k] == u'?')
                ++k;
            continue;
        }
        // "x{n,m}" is n atoms and m - n optional ones, "x{n,}" n - 1 atoms before the loop "x+".
        if (const Count count = countAt(p, atomEnd); count.end > 0) {
            if (count.most > 0 && finiteCounts++ == boundedLoop) {
                // Possessive, it may not give back what it took: not skipped.
                if (count.end < p.size() && p[count.end] == u'+')
                    return std::nullopt;
                loopEnd = count.end;
                loopMost = count.most;
                break;
            }
            const int copies = count.most < 0 ? std::max(count.least - 1, 0) : count.least;
            if (copies + prefix.size() > kMostPrefixAtoms)
                return std::nullopt;
            for (int copy = 0; copy < copies; ++copy)
                prefix.append(atomText);
            if (count.most < 0) {
                loopEnd = count.end;
                break;
            }
            optional += count.most - count.least;
            if (optional > kMostPrefixAtoms || count.most == 0)
                return std::nullopt;
            k = count.end;
            if (k < p.size() && p[k] == u'?' && count.most > count.least)
                ++k;
            if (k < p.size() && isQuantifier(p[k]))
                return std::nullopt;
            continue;
        }
        if (atomEnd < p.size() && isQuantifier(p[atomEnd]))
            return std::nullopt;
        if (prefix.size() == kMostPrefixAtoms)
            return std::nullopt;
        prefix.append(atomText);
        k = atomEnd;
    }
    // Greedy, lazy or possessive: whether a match exists from a start does not depend on which.
    k = loopEnd;
    if (k < p.size() && (p[k] == u'?' || p[k] == u'+'))
        ++k;
    if (k < p.size() && isQuantifier(p[k]))
        return std::nullopt;
    // A bounded loop's rest is matched on its own, where a back-reference would count its
    // groups differently.
    if (!restIsPositionIndependent(p, k, inGroup || captured || loopMost >= 0, inGroup))
        return std::nullopt;
    LeadingLoop loop;
    if (loopMost >= 0) {
        const QString rest = restOnItsOwn(p, k, inGroup);
        if (rest.isEmpty())
            return std::nullopt;
        loop.loopMost = loopMost;
        loop.rest = flags.toString() + rest;
    }
    for (const QStringView atom : prefix)
        loop.prefixClasses.append(flags.toString() + QStringLiteral("(?:") + atom.toString() +
                                  QStringLiteral(")"));
    loop.optionalAtoms = optional;
    loop.loopClass = flags.toString() + QStringLiteral("(?:") +
                     p.sliced(atomStart, atomEnd - atomStart).toString() + QStringLiteral(")");
    if (!assertion.isEmpty())
        loop.assertion = flags.toString() + assertion;
    return loop;
}

} // namespace

std::optional<LeadingLoop> analyseLeadingLoop(QStringView pattern, bool caseInsensitive) {
    if (auto loop = analyse(pattern, caseInsensitive, -1))
        return loop;
    // The last count that can be the loop leaves the least of the pattern to check on its own.
    std::optional<LeadingLoop> found;
    for (int count = 0; count < 4; ++count) {
        if (auto loop = analyse(pattern, caseInsensitive, count))
            found = std::move(loop);
    }
    return found;
}

} // namespace dunmoss
