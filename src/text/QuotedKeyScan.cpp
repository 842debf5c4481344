#include "text/QuotedKeyScan.h"

#include "platform/IcuCharacterClasses.h"

namespace dunmoss {

std::optional<QuotedKeyScan> QuotedKeyScan::fromPass(const HighlightPass& pass) {
    if (pass.options != IcuRegex::NoOptions || pass.group != 0)
        return std::nullopt;
    for (const QChar quote : {QChar(u'"'), QChar(u'\'')}) {
        const QString shape = QStringLiteral(R"re(Q(?:\\.|[^Q\\])*Q\s*:)re");
        if (pass.pattern == QString(shape).replace(u'Q', quote)) {
            QuotedKeyScan scan;
            scan.m_quote = quote;
            return scan;
        }
    }
    return std::nullopt;
}

qsizetype QuotedKeyScan::limitOf(QStringView text, TextRange range) {
    // As in the matcher: an end between the halves of a surrogate pair leaves that pair out.
    qsizetype end = range.end();
    if (end > range.location && end < text.size() && text[end - 1].isHighSurrogate() &&
        text[end].isLowSurrogate())
        --end;
    return end;
}

bool QuotedKeyScan::isBlank(QChar c) {
    return isIcuWhiteSpace(c);
}

qsizetype QuotedKeyScan::closingQuote(QStringView text, qsizetype open, qsizetype end) const {
    qsizetype at = open + 1;
    while (at < end) {
        const QChar c = text[at];
        if (c == m_quote)
            return at;
        if (c == u'\\') {
            // "\\." takes any character but a line terminator; [^Q\\] never takes a backslash.
            if (at + 1 >= end || isIcuLineTerminator(text[at + 1]))
                return -(at + 1);
            at += 2;
            continue;
        }
        ++at;
    }
    return -end;
}

} // namespace dunmoss
