#pragma once

#include <QChar>
#include <unicode/uchar.h>

namespace dunmoss {

// What ICU's regular expressions mean by "\s" (the White_Space property; every such character
// is in the Basic Multilingual Plane), for code that reproduces a pattern by hand.
inline bool isIcuWhiteSpace(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80)
        return u == u' ' || (u >= u'\t' && u <= u'\r');
    return u_hasBinaryProperty(UChar32(u), UCHAR_WHITE_SPACE);
}

// The line terminators of ICU's regular expressions: "." stops at them, and in multi-line mode
// "^" matches after them and "$" before them.
inline bool isIcuLineTerminator(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'\n' && u <= u'\r') || u == 0x85 || u == 0x2028 || u == 0x2029;
}

} // namespace dunmoss
