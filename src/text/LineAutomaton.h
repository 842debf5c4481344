#pragma once

#include <QByteArrayView>
#include <QStringView>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace dunmoss {

// A deterministic automaton that tells, one table step a character, whether a stretch of text
// may hold a match of an expression, so that the expression itself runs only where one can be.
// It models the expression with every assertion (anchors, word boundaries, look-around) taken
// as true and every loop as an ordinary one, which only ever lets more text through; a pattern
// holding anything it cannot model has no automaton. It reads escapes, groups and inline flags
// as the query prefilter does (platform/RegexItems.h), and gives up on all the prefilter gives
// up on ("\G", free spacing, Unix lines, ...) and on back-references, "\X", "\R" and surrogates
// written on their own besides, since it reads a pair in the text as one character. Under
// case folding a stretch holding a character beyond ASCII may always match, since folding lets one
// such character stand for several ASCII ones.
class LineAutomaton {
public:
    // The automaton of an ICU pattern compiled with or without case folding; none when the
    // pattern holds what it does not model or its automaton would grow too large.
    static std::optional<LineAutomaton> of(QStringView pattern, bool folds);

    // A long text is read in pieces of this many units, each told to the reader's callback,
    // which ends the reading by returning true (a stop: the reading gives -1 or false).
    static constexpr qsizetype kPieceUnits = 16384;
    using PieceRead = std::function<bool(qsizetype units)>;

    // Whether a match may lie wholly inside the stretch.
    bool mayMatch(QStringView stretch, const PieceRead& read = {}) const {
        return matchEnd(stretch, 0, read) >= 0;
    }
    // Where the first match that starts at or after `from` may end at the earliest: the index
    // after the unit where it may end, or -1 when none may.
    qsizetype matchEnd(QStringView text, qsizetype from, const PieceRead& read = {}) const;
    // The same for the bytes of UTF-8 text.
    bool mayMatchUtf8(QByteArrayView stretch, const PieceRead& read = {}) const;

    // The symbol every character beyond ASCII is read as.
    static constexpr int kWide = 128;
    static constexpr int kSymbols = 129;

private:
    LineAutomaton() = default;

    // One step from `state` on `symbol`; true once a match may have ended.
    bool step(int& state, int symbol) const {
        state = m_next[size_t(state) * m_classCount + m_classOf[size_t(symbol)]];
        return m_accepts[size_t(state)] != 0;
    }

    bool m_folds = false;
    int m_start = 0;
    int m_classCount = 0;
    // Symbols that no part of the pattern tells apart share a class, and a column of the table.
    std::array<uint8_t, kSymbols> m_classOf{};
    std::vector<int32_t> m_next;
    std::vector<uint8_t> m_accepts;
};

} // namespace dunmoss
