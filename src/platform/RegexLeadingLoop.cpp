#include "platform/RegexLeadingLoop.h"

#include "platform/RegexSyntax.h"

namespace dunmoss {

namespace {

using namespace regex_syntax;

// A count after an atom: "{n}" or "{n,}".
struct Count {
    int least = 0;
    bool open = false;
    qsizetype end = -1; // after the "}"; -1 when there is no such count
};

Count countAt(QStringView p, qsizetype at) {
    Count count;
    if (at >= p.size() || p[at] != u'{')
        return count;
    qsizetype k = at + 1;
    while (k < p.size() && p[k] >= u'0' && p[k] <= u'9' && count.least <= 100)
        count.least = count.least * 10 + (p[k++].unicode() - u'0');
    if (k == at + 1)
        return count;
    if (k < p.size() && p[k] == u',') {
        count.open = true;
        ++k;
    }
    if (k < p.size() && p[k] == u'}')
        count.end = k + 1;
    return count;
}

// Whether the rest of a pattern, from `at`, keeps a failed attempt's verdict for later starts
// in the same run: no "|" that could bypass the loop, no "\G", no free-spacing flag, and, when
// the loop is in a group (still open at `at` when `groupOpen`), no back-reference that could
// name it and no quantifier on that group.
bool restIsPositionIndependent(QStringView p, qsizetype at, bool loopInGroup, bool groupOpen) {
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
            if (loopInGroup && ((kind >= u'1' && kind <= u'9') || kind == u'k'))
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

// Whether a look-behind means the same in a matcher of its own: nothing in it depends on
// anchors or region edges.
bool isPlainAssertion(QStringView p, qsizetype from, qsizetype to) {
    qsizetype k = from;
    while (k >= 0 && k < to) {
        const QChar c = p[k];
        if (c == u'\\') {
            if (k + 1 < to && QStringView(u"AZzGbB").contains(p[k + 1]))
                return false;
            k = afterEscape(p, k);
        } else if (c == u'[') {
            k = afterSet(p, k);
        } else if (c == u'^' || c == u'$') {
            return false;
        } else {
            ++k;
        }
    }
    return k == to;
}

} // namespace

std::optional<LeadingLoop> analyseLeadingLoop(QStringView pattern, bool caseInsensitive) {
    const QStringView p = pattern;
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
    // A look-behind before the loop, as whole-word searches put there.
    QStringView assertion;
    if (p.sliced(k).startsWith(u"(?<=") || p.sliced(k).startsWith(u"(?<!")) {
        const qsizetype end = afterGroup(p, k);
        if (end < 0 || !isPlainAssertion(p, k + 4, end - 1))
            return std::nullopt;
        assertion = p.sliced(k, end - k);
        k = end;
    }
    // At most one group around the loop: "(", "(?:" or "(?<name>".
    bool inGroup = false;
    if (k < p.size() && p[k] == u'(') {
        inGroup = true;
        const QStringView rest = p.sliced(k);
        if (rest.startsWith(u"(?:")) {
            k += 3;
        } else if (rest.startsWith(u"(?<") && rest.size() > 3 && isAsciiLetter(rest[3])) {
            const qsizetype close = p.indexOf(u'>', k);
            if (close < 0)
                return std::nullopt;
            k = close + 1;
        } else if (rest.startsWith(u"(?")) {
            return std::nullopt; // look-around, atomic and flag groups
        } else {
            ++k;
        }
    }
    // Atoms of one character each, then the loop's.
    const bool folds = caseInsensitive || !flags.isEmpty();
    constexpr int kMostPrefixAtoms = 8;
    QList<QStringView> prefix;
    bool previousLiteral = false;
    qsizetype atomStart = k;
    qsizetype atomEnd = -1;
    qsizetype loopEnd = -1;
    for (;;) {
        const Atom atom = classAtomAt(p, k);
        if (atom.end < 0)
            return std::nullopt;
        if (atom.literal && folds &&
            (previousLiteral || !isFoldSafeLiteral(p[k]) ||
             (atom.end < p.size() && classAtomAt(p, atom.end).literal)))
            return std::nullopt;
        atomStart = k;
        atomEnd = atom.end;
        if (atomEnd < p.size() && (p[atomEnd] == u'*' || p[atomEnd] == u'+')) {
            // A literal loop folds as a string would.
            if (atom.literal && folds)
                return std::nullopt;
            loopEnd = atomEnd + 1;
            break;
        }
        // "x{n}" is n atoms and "x{n,}" n - 1 atoms before the loop "x+".
        if (const Count count = countAt(p, atomEnd); count.end > 0) {
            if (atom.literal && folds)
                return std::nullopt;
            const int copies = count.open ? std::max(count.least - 1, 0) : count.least;
            if (copies + prefix.size() > kMostPrefixAtoms || (!count.open && copies == 0))
                return std::nullopt;
            for (int copy = 0; copy < copies; ++copy)
                prefix.append(p.sliced(k, atomEnd - k));
            if (count.open) {
                loopEnd = count.end;
                break;
            }
            if (count.end < p.size() && isQuantifier(p[count.end]))
                return std::nullopt;
            previousLiteral = atom.literal;
            k = count.end;
            continue;
        }
        if (atomEnd < p.size() && isQuantifier(p[atomEnd]))
            return std::nullopt;
        if (prefix.size() == kMostPrefixAtoms)
            return std::nullopt;
        prefix.append(p.sliced(k, atomEnd - k));
        previousLiteral = atom.literal;
        k = atomEnd;
    }
    // Greedy, lazy or possessive: whether a match exists from a start does not depend on which.
    k = loopEnd;
    if (k < p.size() && (p[k] == u'?' || p[k] == u'+'))
        ++k;
    if (k < p.size() && isQuantifier(p[k]))
        return std::nullopt;
    if (!restIsPositionIndependent(p, k, inGroup, inGroup))
        return std::nullopt;
    LeadingLoop loop;
    for (const QStringView atom : prefix)
        loop.prefixClasses.append(flags.toString() + QStringLiteral("(?:") + atom.toString() +
                                  QStringLiteral(")"));
    loop.loopClass = flags.toString() + QStringLiteral("(?:") +
                     p.sliced(atomStart, atomEnd - atomStart).toString() + QStringLiteral(")");
    if (!assertion.isEmpty())
        loop.assertion = flags.toString() + assertion.toString();
    return loop;
}

} // namespace dunmoss
