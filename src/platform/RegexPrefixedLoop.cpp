#include "platform/RegexPrefixedLoop.h"

#include "platform/RegexAtoms.h"
#include "platform/RegexItems.h"
#include "platform/RegexSyntax.h"

#include <unicode/unistr.h>

namespace dunmoss {

namespace {

using namespace regex_syntax;

// Past this many units A is not worth reading: few runs are that long.
constexpr int kMostPrefixUnits = 4000;
constexpr int kMostReadings = 3;

// What one piece of A may take of the text, in units.
struct Extent {
    qsizetype end = -1;
    int least = 0;
    int most = 0;
    bool captures = false;
};

// A count or "?" after a piece: how often it repeats, or nothing (end -1) when there is no
// such count. A possessive count cannot give back and is refused; an open one has most -1.
struct Repeat {
    qsizetype end = -1;
    int least = 1;
    int most = 1;
    bool refused = false;
};

Repeat repeatAt(QStringView p, qsizetype at) {
    Repeat repeat;
    repeat.end = at;
    if (at >= p.size())
        return repeat;
    const QChar c = p[at];
    if (c == u'?' || c == u'*' || c == u'+') {
        repeat.least = c == u'+' ? 1 : 0;
        repeat.most = c == u'?' ? 1 : -1;
        repeat.end = at + 1;
    } else if (c == u'{') {
        const Count count = countAt(p, at);
        if (count.end < 0) {
            repeat.refused = true;
            return repeat;
        }
        repeat.least = count.least;
        repeat.most = count.most;
        repeat.end = count.end;
    } else {
        return repeat;
    }
    if (repeat.end < p.size() && p[repeat.end] == u'+')
        repeat.refused = true;
    else if (repeat.end < p.size() && p[repeat.end] == u'?')
        ++repeat.end;
    if (repeat.end < p.size() && isQuantifier(p[repeat.end]))
        repeat.refused = true;
    return repeat;
}

int literalMostUnits(QChar c, bool folds) {
    if (!folds || isFoldSafeLiteral(c))
        return 1;
    icu::UnicodeString folded(UChar(c.unicode()));
    return 2 * folded.foldCase().length();
}

Extent sequenceAt(QStringView p, qsizetype at, bool folds, int depth);

// One piece without its count: an assertion, a class, a literal or a group of alternatives.
Extent pieceAt(QStringView p, qsizetype at, bool folds, int depth) {
    if (at >= p.size())
        return {};
    if (const qsizetype end = afterAssertion(p, at); end >= 0)
        return {end, 0, 0};
    if (const qsizetype end = afterEscapedPunctuation(p, at); end >= 0)
        return {end, folds ? 0 : 1, 1};
    if (const Atom atom = classAtomAt(p, at); atom.end >= 0) {
        if (!atom.literal)
            return {atom.end, 1, 2};
        return {atom.end, folds ? 0 : 1, literalMostUnits(p[at], folds)};
    }
    const GroupOpening opening = groupOpeningAt(p, at);
    if (opening.end < 0 || depth > 8)
        return {};
    Extent group{-1, -1, 0, opening.captures};
    qsizetype k = opening.end;
    for (;;) {
        const Extent alternative = sequenceAt(p, k, folds, depth + 1);
        if (alternative.end < 0 || alternative.end >= p.size())
            return {};
        group.least =
            group.least < 0 ? alternative.least : std::min(group.least, alternative.least);
        group.most = std::max(group.most, alternative.most);
        group.captures = group.captures || alternative.captures;
        k = alternative.end;
        if (p[k] == u')') {
            group.end = k + 1;
            return group;
        }
        if (p[k] != u'|')
            return {};
        ++k;
    }
}

// Pieces with bounded counts up to a "|" or ")" (or the end).
Extent sequenceAt(QStringView p, qsizetype at, bool folds, int depth) {
    Extent sequence{at, 0, 0};
    qsizetype k = at;
    while (k < p.size() && p[k] != u'|' && p[k] != u')') {
        const Extent piece = pieceAt(p, k, folds, depth);
        if (piece.end < 0)
            return {};
        const Repeat repeat = repeatAt(p, piece.end);
        if (repeat.refused || repeat.most < 0)
            return {};
        sequence.least += piece.least * repeat.least;
        sequence.most += piece.most * repeat.most;
        sequence.captures = sequence.captures || piece.captures;
        if (sequence.most > kMostPrefixUnits)
            return {};
        k = repeat.end;
    }
    sequence.end = k;
    return sequence;
}

} // namespace

std::vector<PrefixedLoop> analysePrefixedLoops(QStringView p, bool caseInsensitive) {
    std::vector<PrefixedLoop> readings;
    const std::optional<qsizetype> flagsLength = leadingFlagsLength(p);
    // ICU joins written halves into one character, which the atoms here do not read.
    if (!flagsLength || writesSurrogateHalf(p))
        return readings;
    qsizetype k = *flagsLength;
    const QString flags = p.first(k).toString();
    const bool folds = caseInsensitive || !flags.isEmpty();
    QString prefix = flags;
    QStringList loopClasses;
    int least = 0;
    int most = 0;
    bool captured = false;
    bool inGroup = false;
    bool pieces = false; // the group around L opens before any piece of A
    while (k < p.size() && int(readings.size()) < kMostReadings) {
        if (const qsizetype end = afterAssertion(p, k); end >= 0) {
            prefix += p.sliced(k, end - k);
            k = end;
            continue;
        }
        // A loop of one character: L, and if the pattern goes on, a loop inside A.
        if (const PrefixAtom atom = prefixAtomAt(p, k, folds); atom.end >= 0) {
            const Repeat repeat = repeatAt(p, atom.end);
            if (repeat.refused)
                return readings;
            if (repeat.most < 0) {
                const bool refersBack = captured || atom.captures || inGroup;
                const QString loopClass = flags + QStringLiteral("(?:") +
                                          p.sliced(k, atom.end - k).toString() +
                                          QStringLiteral(")");
                // A loop in A over the same class takes every run L could skip.
                if (!loopClasses.contains(loopClass) &&
                    restIsPositionIndependent(p, repeat.end, refersBack, inGroup))
                    readings.push_back({prefix, least, most, loopClasses, loopClass});
                prefix += p.sliced(k, repeat.end - k);
                loopClasses.append(loopClass);
                least += repeat.least;
                captured = captured || atom.captures;
                pieces = true;
                k = repeat.end;
                continue;
            }
        }
        const Extent piece = pieceAt(p, k, folds, 0);
        if (piece.end < 0 || piece.end >= p.size()) {
            // The one group around L and the rest: "(", "(?:" or "(?<name>".
            const GroupOpening opening = groupOpeningAt(p, k);
            if (inGroup || pieces || opening.end < 0)
                return readings;
            inGroup = true;
            captured = captured || opening.captures;
            k = opening.end;
            continue;
        }
        const Repeat repeat = repeatAt(p, piece.end);
        if (repeat.refused || repeat.most < 0)
            return readings;
        prefix += p.sliced(k, repeat.end - k);
        least += piece.least * repeat.least;
        most += piece.most * repeat.most;
        captured = captured || piece.captures;
        pieces = true;
        if (most > kMostPrefixUnits)
            return readings;
        k = repeat.end;
    }
    return readings;
}

} // namespace dunmoss
