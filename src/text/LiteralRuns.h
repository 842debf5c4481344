#pragma once

#include "platform/TextRange.h"
#include "text/LineAutomaton.h"
#include "text/PrefilterScan.h"
#include "text/QueryPrefilter.h"
#include "text/SearchWorkMeter.h"

#include <QStringView>
#include <optional>

namespace dunmoss {

// The stretches of a text where a match of a query that stays on its lines and holds the
// prefilter's literal can lie, in order and apart: the lines that hold the literal (those close
// together as one), or, when every match ends with the literal, each line cut after its last
// occurrence and before what the pattern cannot take in before one. The line automaton, when
// given, turns away the stretches where no match can lie. Searching each stretch in place, with
// the text around it visible, finds what a search of the whole text finds.
//
// Linear in the text, whatever its lines: each line's ends are found once, and what comes
// before the literal is read back at most as far as the previous occurrence on the line, and
// no further than half of what the expression would read more without it (down to an eighth
// once reading back keeps finding nothing there). Once occurrences crowd a line, the rest of
// it is one stretch.
class LiteralRuns {
public:
    // Setting up a run of the expression costs about as much as reading this many units:
    // occurrences closer than this share a run.
    static constexpr qsizetype kRunSetUpUnits = 64;
    // A line whose occurrences so far stand closer than this many units apart on average, once
    // there are this many, is searched whole from there: telling each apart costs more.
    static constexpr qsizetype kDenseSpacing = 512;
    static constexpr qsizetype kDenseOccurrences = 8;

    // The prefilter must have a literal and stay on its lines; the text and automaton must
    // outlive this. Reading goes on the meter, which ends the stretches once it says stop.
    LiteralRuns(const QueryPrefilter& prefilter, const LineAutomaton* automaton, QStringView text,
                SearchWorkMeter& meter);

    // The next stretch to search; none once no match can lie further on, or on a stop.
    std::optional<TextRange> next();

private:
    struct Line {
        qsizetype start = 0;
        qsizetype end = -1; // its line feed, or the text's end
        int ascii = -1;     // whether it is all ASCII, -1 until asked
    };

    qsizetype candidateFrom(qsizetype from);
    const Line& lineOf(qsizetype at);
    qsizetype earliestStart(qsizetype candidate, qsizetype stretchEnd = -1);
    bool isDense(qsizetype candidate);
    qsizetype lastOccurrenceEnd(qsizetype candidate);
    std::optional<TextRange> stretch();

    const QueryPrefilter& m_prefilter;
    const LineAutomaton* m_automaton;
    QStringView m_text;
    SearchWorkMeter& m_meter;
    PrefilterScan m_scan;
    qsizetype m_scanned = 0;
    // The next occurrence not yet in a stretch, -1 when there is none.
    qsizetype m_candidate = -1;
    Line m_line;
    // The last occurrence on the line whose earliest start was read, and that start.
    qsizetype m_readBackFrom = -1;
    qsizetype m_readBackStart = 0;
    // A read back goes no further than this power of two's share of what it would spare: half,
    // and each one on the line that found nothing halves it for the next, down to an eighth.
    int m_readBackShift = kFirstReadBackShift;
    static constexpr int kFirstReadBackShift = 1;
    static constexpr int kLastReadBackShift = 3;
    // The occurrences met on the line that starts at m_countedLine, the last one counted, and
    // where the first stood.
    qsizetype m_countedLine = -1;
    qsizetype m_countedOnLine = 0;
    qsizetype m_lastCounted = -1;
    qsizetype m_firstOnLine = 0;
};

} // namespace dunmoss
