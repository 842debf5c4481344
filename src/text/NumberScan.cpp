#include "text/NumberScan.h"

namespace dunmoss {

namespace {

const QString kPlain = QStringLiteral(R"re(\b[0-9]+(?:\.[0-9]+)?\b)re");
const QString kSigned = QStringLiteral(R"re(-?\b[0-9]+(?:\.[0-9]+)?(?:[eE][+-]?[0-9]+)?\b)re");

// How many digits follow `from`, up to `end`.
qsizetype digitsFrom(QStringView text, qsizetype from, qsizetype end) {
    qsizetype i = from;
    while (i < end && text[i].unicode() >= u'0' && text[i].unicode() <= u'9')
        ++i;
    return i - from;
}

} // namespace

std::optional<NumberScan> NumberScan::fromPass(const HighlightPass& pass) {
    if (pass.options != IcuRegex::NoOptions || pass.group != 0)
        return std::nullopt;
    NumberScan scan;
    if (pass.pattern == kSigned)
        scan.m_minus = scan.m_exponent = true;
    else if (pass.pattern != kPlain)
        return std::nullopt;
    return scan;
}

qsizetype NumberScan::matchAt(QStringView text, TextRange range, qsizetype start) const {
    const qsizetype end = range.end();
    const auto boundary = [&](qsizetype at) {
        return KeywordAlternation::isWordBoundary(text, at, range);
    };
    // "-?" is greedy: with the minus first, then without it.
    const bool minus = m_minus && start < end && text[start] == u'-';
    for (int skip = minus ? 1 : 0; skip >= 0; --skip) {
        const qsizetype digits = start + skip;
        if (!boundary(digits))
            continue;
        // "[0-9]+" gives back one digit at a time.
        for (qsizetype n = digitsFrom(text, digits, end); n >= 1; --n) {
            const qsizetype integer = digits + n;
            // The fraction, greedy and optional: its longest form first, none last.
            qsizetype fraction = 0;
            if (integer < end && text[integer] == u'.')
                fraction = digitsFrom(text, integer + 1, end);
            for (qsizetype f = fraction; f >= 0; --f) {
                const qsizetype afterFraction = f > 0 ? integer + 1 + f : integer;
                // The exponent the same way; its sign is taken when there is one, as giving
                // it back leaves no digit after the letter.
                qsizetype exponentDigits = 0, exponentStart = afterFraction;
                if (m_exponent && afterFraction < end &&
                    (text[afterFraction] == u'e' || text[afterFraction] == u'E')) {
                    exponentStart = afterFraction + 1;
                    if (exponentStart < end &&
                        (text[exponentStart] == u'+' || text[exponentStart] == u'-'))
                        ++exponentStart;
                    exponentDigits = digitsFrom(text, exponentStart, end);
                }
                for (qsizetype e = exponentDigits; e >= 0; --e) {
                    const qsizetype matched = e > 0 ? exponentStart + e : afterFraction;
                    if (boundary(matched))
                        return matched;
                }
            }
        }
    }
    return -1;
}

} // namespace dunmoss
