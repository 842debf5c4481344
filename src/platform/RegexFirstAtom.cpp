#include "platform/RegexFirstAtom.h"

#include "platform/RegexItems.h"
#include "platform/RegexSyntax.h"

namespace dunmoss {

using namespace regex_syntax;

namespace {

// Index after inline flags "(?ims-w)" at `at`, or -1 when there are none or they are unsafe.
qsizetype afterInlineFlags(QStringView p, qsizetype at) {
    if (!p.sliced(at).startsWith(u"(?"))
        return -1;
    qsizetype f = at + 2;
    while (f < p.size() && (isAsciiLetter(p[f]) || p[f] == u'-'))
        ++f;
    if (f == at + 2 || f >= p.size() || p[f] != u')' || !safeFlags(p.sliced(at + 2, f - at - 2)))
        return -1;
    return f + 1;
}

// A zero-width assertion at `at` that needs no look at what follows it: where it ends, or -1.
qsizetype afterAssertion(QStringView p, qsizetype at) {
    const QStringView rest = p.sliced(at);
    if (rest.startsWith(u'^') || rest.startsWith(u'$'))
        return at + 1;
    if (rest.startsWith(u"\\b") || rest.startsWith(u"\\B") || rest.startsWith(u"\\A"))
        return at + 2;
    if (rest.startsWith(u"(?=") || rest.startsWith(u"(?!") || rest.startsWith(u"(?<=") ||
        rest.startsWith(u"(?<!"))
        return afterGroup(p, at);
    return -1;
}

// Index after a capturing or non-capturing group's opening at `at`, or -1.
qsizetype afterGroupOpening(QStringView p, qsizetype at) {
    const QStringView rest = p.sliced(at);
    if (!rest.startsWith(u'('))
        return -1;
    if (rest.startsWith(u"(?:"))
        return at + 3;
    if (rest.startsWith(u"(?<") && rest.size() > 3 && isAsciiLetter(rest[3])) {
        const qsizetype close = p.indexOf(u'>', at);
        return close < 0 ? -1 : close + 1;
    }
    return rest.startsWith(u"(?") ? -1 : at + 1;
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

// Where a one-character atom at `at` that no quantifier makes optional ends, or -1. Under case
// folding only an ASCII literal passes.
qsizetype requiredAtomAt(QStringView p, qsizetype at, bool folds) {
    if (at >= p.size())
        return -1;
    Atom atom = classAtomAt(p, at);
    if (atom.end < 0)
        atom = {afterEscapedPunctuation(p, at), true};
    if (atom.end < 0 || (atom.literal && folds && p[at].unicode() >= 0x80))
        return -1;
    if (atom.end < p.size() && (p[atom.end] == u'?' || p[atom.end] == u'*' || p[atom.end] == u'{'))
        return -1;
    return atom.end;
}

// Whether the rest of the pattern, from `at` with `open` groups still open around the atom,
// keeps the atom required: no "|" at their depth or above, no quantifier that lets one of them
// be skipped, no "\G", no free spacing.
bool restKeepsAtomRequired(QStringView p, qsizetype at, int open) {
    int depth = open;
    qsizetype k = at;
    while (k >= 0 && k < p.size()) {
        const QChar c = p[k];
        if (c == u'\\') {
            if (k + 1 < p.size() && p[k + 1] == u'G')
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
            --depth;
            ++k;
            if (depth < 0)
                return false;
            if (depth < open) {
                // A group around the atom closed: "+" keeps it required, others may skip it.
                open = depth;
                if (k < p.size() && (p[k] == u'?' || p[k] == u'*' || p[k] == u'{'))
                    return false;
            }
        } else if (c == u'|' && depth <= open) {
            return false;
        } else {
            ++k;
        }
    }
    return k >= 0 && depth == 0;
}

} // namespace

std::optional<FirstAtoms> analyseFirstAtoms(QStringView pattern, bool caseInsensitive) {
    const QStringView p = pattern;
    // ICU joins written halves into one character, which a quantifier after the low half then
    // makes optional whole.
    if (p.contains(u"\\G") || writesSurrogateHalf(p))
        return std::nullopt;
    QString flags;
    int open = 0;
    qsizetype k = 0;
    // Flags, assertions and group openings, in any order, before the atom.
    for (;;) {
        if (const qsizetype end = afterInlineFlags(p, k); end >= 0) {
            flags += p.sliced(k, end - k);
            k = end;
        } else if (const qsizetype end = afterAssertion(p, k); end >= 0) {
            k = end;
        } else if (const qsizetype end = afterGroupOpening(p, k); end >= 0) {
            ++open;
            k = end;
        } else {
            break;
        }
    }
    const bool folds = caseInsensitive || flags.contains(u'i');
    const qsizetype firstEnd = requiredAtomAt(p, k, folds);
    if (firstEnd < 0 || !restKeepsAtomRequired(p, firstEnd, open))
        return std::nullopt;
    const auto asPattern = [&flags, p](qsizetype from, qsizetype to) {
        return flags + QStringLiteral("(?:") + p.sliced(from, to - from).toString() +
               QStringLiteral(")");
    };
    FirstAtoms atoms{asPattern(k, firstEnd), QString()};
    // "x+y", "x+?y", "x++y".
    if (firstEnd < p.size() && p[firstEnd] == u'+') {
        qsizetype next = firstEnd + 1;
        if (next < p.size() && (p[next] == u'?' || p[next] == u'+'))
            ++next;
        if (const qsizetype followerEnd = requiredAtomAt(p, next, folds); followerEnd >= 0)
            atoms.follower = asPattern(next, followerEnd);
    }
    return atoms;
}

} // namespace dunmoss
