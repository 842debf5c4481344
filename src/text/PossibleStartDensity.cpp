#include "text/PossibleStartDensity.h"

#include <algorithm>

namespace dunmoss {

bool PossibleStartDensity::rareBefore(qsizetype passed, SearchWorkMeter& meter) {
    if (m_many)
        return false;
    passed = std::min(passed, m_text.size());
    const qsizetype most = passed / kRareSpacing;
    const char16_t* units = m_text.utf16();
    // A piece at a time, so a stop is seen within a long stretch of no possible start.
    while (m_countedTo < passed && m_starts <= most) {
        const qsizetype pieceEnd = std::min(passed, m_countedTo + SearchWorkMeter::kUnitsPerCheck);
        qsizetype at = m_countedTo;
        while (m_starts <= most && (at = m_filter.nextCandidate(units, at, pieceEnd)) < pieceEnd) {
            ++m_starts;
            ++at;
        }
        at = std::min(at, pieceEnd);
        if (meter.read(at - m_countedTo))
            return false;
        m_countedTo = at;
    }
    m_many = m_starts > most;
    return !m_many;
}

} // namespace dunmoss
