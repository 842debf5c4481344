#include "platform/RegexSyntax.h"

namespace dunmoss::regex_syntax {

namespace {

// Index after the "}" that closes a brace at `at`, or -1.
qsizetype afterBrace(QStringView p, qsizetype at) {
    const qsizetype close = p.indexOf(u'}', at);
    return close < 0 ? -1 : close + 1;
}

} // namespace

bool isQuantifier(QChar c) {
    return c == u'*' || c == u'+' || c == u'?' || c == u'{';
}

bool isAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

qsizetype afterEscape(QStringView p, qsizetype at) {
    if (at + 1 >= p.size())
        return -1;
    const QChar kind = p[at + 1];
    if (kind == u'Q') {
        const qsizetype end = p.indexOf(u"\\E", at + 2);
        return end < 0 ? p.size() : end + 2;
    }
    if ((kind == u'p' || kind == u'P' || kind == u'N' || kind == u'x') && at + 2 < p.size() &&
        p[at + 2] == u'{')
        return afterBrace(p, at + 2);
    if (kind.isHighSurrogate() && at + 2 < p.size() && p[at + 2].isLowSurrogate())
        return at + 3;
    return at + 2;
}

qsizetype afterSet(QStringView p, qsizetype at) {
    qsizetype k = at + 1;
    if (k < p.size() && p[k] == u'^')
        ++k;
    if (k < p.size() && p[k] == u']')
        ++k;
    while (k < p.size()) {
        const QChar c = p[k];
        if (c == u']')
            return k + 1;
        if (c == u'\\')
            k = afterEscape(p, k);
        else if (c == u'[')
            k = afterSet(p, k);
        else
            ++k;
        if (k < 0)
            return -1;
    }
    return -1;
}

bool safeFlags(QStringView flags) {
    for (const QChar c : flags) {
        if (c != u'i' && c != u'm' && c != u's' && c != u'w' && c != u'-')
            return false;
    }
    return true;
}

qsizetype afterComment(QStringView p, qsizetype at) {
    const qsizetype close = p.indexOf(u')', at);
    return close < 0 ? -1 : close + 1;
}

bool opensWithSafeFlags(QStringView p, qsizetype at) {
    if (!p.sliced(at).startsWith(u"(?"))
        return true;
    qsizetype f = at + 2;
    while (f < p.size() && (isAsciiLetter(p[f]) || p[f] == u'-'))
        ++f;
    return safeFlags(p.sliced(at + 2, f - at - 2));
}

Atom classAtomAt(QStringView p, qsizetype at) {
    if (at >= p.size())
        return {};
    const QChar c = p[at];
    if (c == u'.')
        return {at + 1};
    if (c == u'[')
        return {afterSet(p, at)};
    if (c == u'\\') {
        if (at + 1 >= p.size())
            return {};
        const QChar kind = p[at + 1];
        if (QStringView(u"wWdDsShH").contains(kind))
            return {at + 2};
        if (kind == u'p' || kind == u'P') {
            if (at + 2 < p.size() && p[at + 2] == u'{')
                return {afterBrace(p, at + 2)};
            return {at + 2 < p.size() && isAsciiLetter(p[at + 2]) ? at + 3 : -1};
        }
        return {};
    }
    // One unit of the text: supplementary characters never take part in a skip.
    if (QStringView(u"^$|?*+(){}]#").contains(c) || c.isSpace() || c.isSurrogate())
        return {};
    return {at + 1, true};
}

bool isFoldSafeLiteral(QChar c) {
    return c > u' ' && c < u'\x7F';
}

qsizetype afterGroup(QStringView p, qsizetype at) {
    int depth = 0;
    qsizetype k = at;
    while (k >= 0 && k < p.size()) {
        const QChar c = p[k];
        if (c == u'\\') {
            k = afterEscape(p, k);
        } else if (c == u'[') {
            k = afterSet(p, k);
        } else {
            if (c == u'(')
                ++depth;
            else if (c == u')' && --depth == 0)
                return k + 1;
            ++k;
        }
    }
    return -1;
}

} // namespace dunmoss::regex_syntax
