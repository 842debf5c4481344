#pragma once

namespace dunmoss {

// The value of an ASCII hexadecimal digit of either case, or -1.
constexpr int hexDigitValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

} // namespace dunmoss
