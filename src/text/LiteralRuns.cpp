#include "text/LiteralRuns.h"

#include <algorithm>

namespace dunmoss {

namespace {

// The index after the last unit in [floor, at) that is ASCII and not taken in, or -1.
qsizetype afterLastStop(const char16_t* units, qsizetype floor, qsizetype at,
                        const AsciiTable& taken) {
    for (; at > floor; --at) {
        const char16_t c = units[at - 1];
        if (c < 0x80 && !taken[c])
            return at;
    }
    return -1;
}

} // namespace

LiteralRuns::LiteralRuns(const QueryPrefilter& prefilter, const LineAutomaton* automaton,
                         QStringView text, SearchWorkMeter& meter)
    : m_prefilter(prefilter), m_automaton(automaton), m_text(text), m_meter(meter),
      m_scan(prefilter) {
    m_candidate = candidateFrom(0);
}

qsizetype LiteralRuns::candidateFrom(qsizetype from) {
    if (from >= m_text.size())
        return -1;
    const qsizetype found = m_scan.nextCandidate(m_text, from);
    const qsizetype reached = found < 0 ? m_text.size() : found;
    if (reached > m_scanned) {
        m_meter.read(reached - m_scanned);
        m_scanned = reached;
    }
    return found;
}

const LiteralRuns::Line& LiteralRuns::lineOf(qsizetype at) {
    if (at >= m_line.start && at < m_line.end)
        return m_line;
    // Occurrences come in order: the line starts after the previous line's feed.
    const qsizetype floor = m_line.end < 0 ? 0 : m_line.end + 1;
    const qsizetype feedBefore = m_meter.lineFeedBefore(m_text, floor, at);
    const qsizetype start = feedBefore < 0 ? floor : feedBefore + 1;
    m_line = Line{start, m_meter.lineFeedFrom(m_text, at), -1};
    m_readBackFrom = -1;
    m_readBackShift = kFirstReadBackShift;
    return m_line;
}

// Where a match holding the occurrence at `candidate` can begin at the earliest, or no later:
// after the last character before it on its line that the pattern cannot take in before the
// literal. Under folding, a line with a character beyond ASCII may hold the literal folded, and
// an occurrence beyond ASCII stands for one: the whole line. Reading back pays only where it
// spares ICU a longer stretch, which ICU then reads anyway: it goes no further than half of
// what ICU would read more without it (from `stretchEnd`, the end of the stretch the occurrence
// would join, when given, else from the line's start), less after ones that found nothing, and
// no further than that end.
qsizetype LiteralRuns::earliestStart(qsizetype candidate, qsizetype stretchEnd) {
    const std::optional<AsciiTable>& taken = m_prefilter.takenBeforeLiteral;
    const Line& line = lineOf(candidate);
    if (!taken || m_text[candidate].unicode() >= 0x80)
        return line.start;
    if (m_prefilter.folds) {
        if (m_line.ascii < 0)
            m_line.ascii = m_meter.isAscii(m_text.sliced(line.start, line.end - line.start));
        if (!m_line.ascii)
            return line.start;
    }
    if (candidate == m_readBackFrom)
        return m_readBackStart;
    // Read back no further than the previous occurrence read back from: all it passed over was
    // taken in, so its start stands for this one too.
    const bool known = m_readBackFrom >= line.start;
    const qsizetype floor = known ? m_readBackFrom : line.start;
    const qsizetype fallback = known ? m_readBackStart : line.start;
    const qsizetype spared = candidate - (stretchEnd >= 0 ? stretchEnd : fallback);
    const qsizetype lowest = std::max(
        {floor, stretchEnd - 1, candidate - std::max(kRunSetUpUnits, spared >> m_readBackShift)});
    qsizetype at = candidate;
    bool stops = false;
    while (!stops && at > lowest && !m_meter.stopped()) {
        const qsizetype pieceFloor = std::max(lowest, at - SearchWorkMeter::kUnitsPerCheck);
        const qsizetype from = at;
        const qsizetype stop = afterLastStop(m_text.utf16(), pieceFloor, at, *taken);
        stops = stop >= 0;
        at = stops ? stop : pieceFloor;
        m_meter.read(from - at);
    }
    if (!stops && at > floor) {
        // Not known: no later than that. Runs this long are likely to go on.
        m_readBackShift = std::min(m_readBackShift + 1, kLastReadBackShift);
        return fallback;
    }
    m_readBackShift = kFirstReadBackShift;
    const qsizetype start = stops ? at : fallback;
    m_readBackFrom = candidate;
    m_readBackStart = start;
    return start;
}

bool LiteralRuns::isDense(qsizetype candidate) {
    if (candidate <= m_lastCounted)
        return false;
    m_lastCounted = candidate;
    if (m_countedLine != m_line.start) {
        m_countedLine = m_line.start;
        m_countedOnLine = 0;
        m_firstOnLine = candidate;
    }
    ++m_countedOnLine;
    return m_countedOnLine >= kDenseOccurrences &&
           m_countedOnLine * kDenseSpacing > candidate - m_firstOnLine;
}

qsizetype LiteralRuns::lastOccurrenceEnd(qsizetype candidate) {
    // Folded, the literal may stand for other text: the whole line.
    if (m_prefilter.folds)
        return m_line.end;
    const qsizetype last = m_meter.lastIndexOf(m_text, m_prefilter.literal, candidate, m_line.end);
    return std::max(last, candidate) + m_prefilter.literal.size();
}

std::optional<TextRange> LiteralRuns::stretch() {
    // When every match ends with the literal, a line's stretch stops after its last occurrence,
    // and an occurrence whose match must begin after the stretch so far starts one of its own:
    // the expression is spared the text between.
    const bool trims = m_prefilter.endsWithLiteral;
    const bool splits = trims && m_prefilter.takenBeforeLiteral.has_value();
    const qsizetype literalLength = m_prefilter.literal.size();
    const qsizetype start = earliestStart(m_candidate);
    qsizetype end = start;
    for (;;) {
        const Line line = lineOf(m_candidate);
        bool lineDone = false;
        while (m_candidate >= 0 && m_candidate < line.end) {
            if (m_meter.stopped())
                return std::nullopt;
            const qsizetype candidate = m_candidate;
            if (!trims || m_text[candidate].unicode() >= 0x80) {
                end = line.end;
                lineDone = true;
                break;
            }
            // Where occurrences crowd a line, one run over the rest of it costs less than
            // telling them apart.
            if (isDense(candidate)) {
                end = std::max(end, lastOccurrenceEnd(candidate));
                lineDone = true;
                break;
            }
            if (splits && end > start && earliestStart(candidate, end) >= end)
                return TextRange{start, end - start};
            end = std::max(end, candidate + literalLength);
            m_candidate = candidateFrom(candidate + 1);
        }
        if (lineDone || end == line.end)
            m_candidate = candidateFrom(line.end + 1);
        // Lines with occurrences close together share a stretch.
        if (m_candidate < 0 || m_candidate - end > kRunSetUpUnits)
            break;
    }
    return TextRange{start, end - start};
}

std::optional<TextRange> LiteralRuns::next() {
    while (m_candidate >= 0 && !m_meter.stopped()) {
        const std::optional<TextRange> found = stretch();
        if (!found || m_meter.stopped())
            break;
        if (m_automaton && !m_automaton->mayMatch(m_text.sliced(found->location, found->length),
                                                  m_meter.pieceReader()))
            continue;
        return found;
    }
    return std::nullopt;
}

} // namespace dunmoss
