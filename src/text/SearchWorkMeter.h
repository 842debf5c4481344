#pragma once

#include "text/FolderWalk.h"

#include <QStringView>
#include <QtGlobal>

namespace dunmoss {

// Counts the units a search reads of its text, each time it reads them, and asks whether to
// stop once every kUnitsPerCheck of them, so that a cancellation is seen inside the longest
// line at the cost of a check per stretch read.
class SearchWorkMeter {
public:
    // About 20 microseconds of the slowest scan.
    static constexpr qsizetype kUnitsPerCheck = 16384;

    // The count goes into `*units` as it grows, when given.
    explicit SearchWorkMeter(const CancellationCheck& cancelled, qsizetype* units = nullptr)
        : m_cancelled(cancelled), m_units(units ? units : &m_ownUnits) {}

    // Notes `units` more read; true once the search is to stop. The first call asks.
    bool read(qsizetype units) {
        *m_units += units;
        m_sinceCheck += units;
        if (!m_stopped && (m_sinceCheck >= kUnitsPerCheck || !m_asked)) {
            m_asked = true;
            m_sinceCheck = 0;
            m_stopped = isCancelled(m_cancelled);
        }
        return m_stopped;
    }
    // Asks now, whatever was read since the last time; true once the search is to stop.
    bool ask() {
        if (!m_stopped) {
            m_asked = true;
            m_sinceCheck = 0;
            m_stopped = isCancelled(m_cancelled);
        }
        return m_stopped;
    }
    bool stopped() const { return m_stopped; }
    // For a scan of a long text, in pieces: a callback that notes each piece read.
    auto pieceReader() {
        return [this](qsizetype units) { return read(units); };
    }

    // The first line feed at or after `from`, or the text's end; read a piece at a time, so a
    // stop is seen inside a line of millions of units (the text's end is given then).
    qsizetype lineFeedFrom(QStringView text, qsizetype from);
    // The last line feed in [floor, at), or -1; read back a piece at a time (-1 on a stop).
    qsizetype lineFeedBefore(QStringView text, qsizetype floor, qsizetype at);
    // Where the last occurrence of the needle wholly in [from, to) starts, or -1; read back a
    // piece at a time (-1 on a stop).
    qsizetype lastIndexOf(QStringView text, QStringView needle, qsizetype from, qsizetype to);
    // Whether the stretch is all ASCII, read a piece at a time (false on a stop).
    bool isAscii(QStringView stretch);

private:
    const CancellationCheck& m_cancelled;
    qsizetype m_ownUnits = 0;
    qsizetype* m_units;
    qsizetype m_sinceCheck = 0;
    bool m_asked = false;
    bool m_stopped = false;
};

} // namespace dunmoss
