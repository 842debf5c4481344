#include "text/QuotedKeyScan.h"

#include "platform/IcuCharacterClasses.h"

namespace dunmoss {

std::optional<QuotedKeyScan> QuotedKeyScan::fromPass(const HighlightPass& pass) {
    if (pass.options != IcuRegex::NoOptions)
        return std::nullopt;
    static const QString keyShape = QStringLiteral(R"re(Q(?:\\.|[^Q\\])*Q\s*:)re");
    static const QString valueShape = QStringLiteral(R"re(:\s*(Q(?:\\.|[^Q\\])*Q))re");
    for (const QChar quote : {QChar(u'"'), QChar(u'\'')}) {
        for (const bool isValue : {false, true}) {
            if (pass.group != (isValue ? 1 : 0) ||
                pass.pattern != QString(isValue ? valueShape : keyShape).replace(u'Q', quote))
                continue;
            QuotedKeyScan scan;
            scan.m_quote = quote;
            scan.m_isValue = isValue;
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
