#include "text/BlankLedSearch.h"

#include "platform/IcuCharacterClasses.h"

namespace dunmoss {

BlankLedSearch::BlankLedSearch(IcuRegexMatcher& rest, QStringView text, bool anchoringBounds)
    : m_rest(rest), m_text(text), m_anchorStart(anchoringBounds ? rest.region().location : 0),
      m_end(rest.region().end()), m_from(rest.region().location) {}

qsizetype BlankLedSearch::findNext() {
    for (;;) {
        const qsizetype lineStart = nextLineStart(m_from);
        qsizetype first = lineStart;
        while (first < m_end && isIcuWhiteSpace(m_text[first]))
            ++first;
        if (first >= m_end) {
            m_from = m_end;
            return -1;
        }
        if (m_rest.lookingAt(first)) {
            m_from = m_rest.range().end();
            return lineStart;
        }
        // Every line start up to `first` reaches `first` as well.
        m_from = first + 1;
    }
}

qsizetype BlankLedSearch::nextLineStart(qsizetype from) const {
    if (from == m_anchorStart)
        return from;
    for (qsizetype at = from; at < m_end; ++at) {
        const QChar before = m_text[at - 1];
        if (!isIcuLineTerminator(before))
            continue;
        return before == u'\r' && m_text[at] == u'\n' ? at + 1 : at;
    }
    return m_end;
}

} // namespace dunmoss
