#include "platform/RegexLeadingLoop.h"

#include "platform/RegexAtoms.h"
#include "platform/RegexItems.h"
#include "platform/RegexSyntax.h"

namespace dunmoss {

namespace {

using namespace regex_syntax;

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
    // Leading inline flags, "(?i)".
    const std::optional<qsizetype> flagsLength = leadingFlagsLength(p);
    if (!flagsLength)
        return std::nullopt;
    qsizetype k = *flagsLength;
    const QStringView flags = p.first(k);
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
    // ICU joins written halves into one character, which the atoms here do not read.
    if (writesSurrogateHalf(pattern))
        return std::nullopt;
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
