#include "platform/RegexItems.h"

#include "platform/RegexAtoms.h"
#include "platform/RegexSyntax.h"

#include <algorithm>

namespace dunmoss::regex_syntax {

namespace {

bool isHexDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Index after `digits` hex digits from `from`, or -1.
qsizetype afterHexRun(QStringView p, qsizetype from, int digits) {
    for (int i = 0; i < digits; ++i)
        if (from + i >= p.size() || !isHexDigit(p[from + i]))
            return -1;
    return from + digits;
}

// Index after the "{...}" right after the escape at `at`, or -1.
qsizetype afterBraced(QStringView p, qsizetype at) {
    if (at + 2 >= p.size() || p[at + 2] != u'{')
        return -1;
    const qsizetype close = p.indexOf(u'}', at + 2);
    return close < 0 ? -1 : close + 1;
}

// The value of the hex digits in [from, to), held at 0x110000 once past every code point; -1
// when there are none or others.
char32_t hexValue(QStringView p, qsizetype from, qsizetype to) {
    if (to <= from)
        return char32_t(-1);
    char32_t value = 0;
    for (qsizetype i = from; i < to; ++i) {
        const char16_t c = p[i].unicode();
        if (!isHexDigit(p[i]))
            return char32_t(-1);
        const char32_t digit = c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10;
        value = std::min<char32_t>(value * 16 + digit, 0x110000);
    }
    return value;
}

EscapeItem item(EscapeItem::Kind kind, qsizetype end) {
    return end < 0 ? EscapeItem{} : EscapeItem{kind, end};
}

} // namespace

EscapeItem escapeItemAt(QStringView p, qsizetype at) {
    using Kind = EscapeItem::Kind;
    if (at + 1 >= p.size())
        return {};
    const QChar kind = p[at + 1];
    if (QStringView(u"bBAzZ").contains(kind))
        return {Kind::Assertion, at + 2};
    if (kind == u'Q')
        return {Kind::Quoted, afterEscape(p, at)};
    if (kind == u'x') {
        const qsizetype braced = afterBraced(p, at);
        return item(Kind::Character, braced >= 0 ? braced : afterHexRun(p, at + 2, 2));
    }
    if (kind == u'u' || kind == u'U')
        return item(Kind::Character, afterHexRun(p, at + 2, kind == u'u' ? 4 : 8));
    if (kind == u'N' || kind == u'p' || kind == u'P')
        return item(Kind::Character, afterBraced(p, at));
    if (kind == u'k') {
        if (at + 2 >= p.size() || p[at + 2] != u'<')
            return {};
        const qsizetype close = p.indexOf(u'>', at + 2);
        return item(Kind::BackReference, close < 0 ? -1 : close + 1);
    }
    if (kind >= u'1' && kind <= u'9') {
        qsizetype end = at + 2;
        while (end < p.size() && p[end] >= u'0' && p[end] <= u'9')
            ++end;
        return {Kind::BackReference, end};
    }
    if (kind == u'X' || kind == u'R')
        return {Kind::Several, at + 2};
    if (QStringView(u"wWdDsShHvVtnrfae").contains(kind))
        return {Kind::Character, at + 2};
    if (kind.unicode() < 0x80 && (kind.isLetterOrNumber() || kind.unicode() < 0x20))
        return {}; // \G, \0 (octal), \c and the rest
    if (kind.isHighSurrogate())
        return at + 2 < p.size() && p[at + 2].isLowSurrogate() ? EscapeItem{Kind::Literal, at + 3}
                                                               : EscapeItem{};
    if (kind.isLowSurrogate())
        return {};
    return {Kind::Literal, at + 2};
}

GroupItem groupItemAt(QStringView p, qsizetype at) {
    using Kind = GroupItem::Kind;
    const QStringView rest = p.sliced(at);
    const auto closed = [](Kind kind, qsizetype end) {
        return end < 0 ? GroupItem{} : GroupItem{kind, end};
    };
    if (rest.startsWith(u"(?#"))
        return closed(Kind::Comment, afterComment(p, at));
    if (rest.startsWith(u"(?=") || rest.startsWith(u"(?!") || rest.startsWith(u"(?<=") ||
        rest.startsWith(u"(?<!"))
        return closed(Kind::LookAround, afterGroup(p, at));
    if (rest.startsWith(u"(?:") || rest.startsWith(u"(?>"))
        return {Kind::Group, at + 3};
    if (rest.startsWith(u"(?<"))
        return closed(Kind::Group, groupOpeningAt(p, at).end);
    if (rest.startsWith(u"(?")) {
        qsizetype f = at + 2;
        while (f < p.size() && (isAsciiLetter(p[f]) || p[f] == u'-'))
            ++f;
        if (f >= p.size() || (p[f] != u')' && p[f] != u':'))
            return {};
        return {p[f] == u')' ? Kind::Flags : Kind::Group, f + 1};
    }
    return {Kind::Group, at + 1};
}

bool writesSurrogateHalf(QStringView p) {
    for (qsizetype k = 0; k < p.size(); ++k) {
        const QChar c = p[k];
        if (c.isHighSurrogate() && k + 1 < p.size() && p[k + 1].isLowSurrogate()) {
            ++k;
            continue;
        }
        if (c.isSurrogate())
            return true;
        if (c != u'\\' || k + 1 >= p.size())
            continue;
        const QChar kind = p[k + 1];
        char32_t value = char32_t(-1);
        if (kind == u'u' || kind == u'U') {
            const qsizetype end = afterHexRun(p, k + 2, kind == u'u' ? 4 : 8);
            if (end >= 0)
                value = hexValue(p, k + 2, end);
        } else if (kind == u'x') {
            const qsizetype end = afterBraced(p, k);
            if (end >= 0)
                value = hexValue(p, k + 3, end - 1);
        }
        if (value >= 0xD800 && value <= 0xDFFF)
            return true;
        // The escaped character is passed over; a pair after the backslash is read as one.
        if (!kind.isHighSurrogate())
            ++k;
    }
    return false;
}

QString inlineFlagLetters(QStringView p) {
    QString letters;
    for (qsizetype k = 0; k >= 0 && k < p.size();) {
        const QChar c = p[k];
        if (c == u'\\') {
            k = afterEscape(p, k);
        } else if (c == u'[') {
            k = afterSet(p, k);
        } else if (c == u'(' && k + 1 < p.size() && p[k + 1] == u'?') {
            qsizetype f = k + 2;
            while (f < p.size() && (isAsciiLetter(p[f]) || p[f] == u'-'))
                letters += p[f++];
            k = f;
        } else {
            ++k;
        }
    }
    return letters;
}

bool readsFlags(QStringView letters) {
    return safeFlags(letters);
}

} // namespace dunmoss::regex_syntax
