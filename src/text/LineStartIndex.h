#pragma once

#include <QList>
#include <QStringView>
#include <vector>

namespace dunmoss {

// Offsets at which lines start (only line feeds start lines), kept in step with the edits of
// the text. The starts are held in chunks of a few hundred, each with an offset of its own, so an
// edit costs the length of its removed and inserted text plus one step per chunk: typing into a
// long text never scans it again.
class LineStartIndex {
public:
    LineStartIndex() = default;
    explicit LineStartIndex(QStringView text) { reset(text); }

    // Indexes the whole text.
    void reset(QStringView text);
    // After text[position, position + removed.size()) was replaced by `inserted`; false (and the
    // index unchanged) when the edit does not fit the length indexed.
    bool applyEdit(qsizetype position, QStringView removed, QStringView inserted);

    // The length of the text indexed.
    qsizetype textLength() const { return m_length; }
    // At least 1; a text ending with a line feed has an empty last line.
    qsizetype lineCount() const { return m_lineCount; }
    // 1-based number of the line holding the character (the end of the text counts as the last
    // line's); 1 before the first start.
    qsizetype lineNumberOfCharacter(qsizetype index) const;
    // 1-based number of the line that starts exactly at the offset, or 0 when none does.
    qsizetype lineNumberStartingAt(qsizetype offset) const;
    // Where the 1-based line starts; the last line's start past the end.
    qsizetype lineStart(qsizetype lineNumber) const;
    // Every start, in order (for checks; a pass over all of them).
    QList<qsizetype> starts() const;

private:
    struct Chunk {
        std::vector<qsizetype> starts; // each plus `shift`
        qsizetype shift = 0;
        qsizetype linesBefore = 0;
        qsizetype first() const { return starts.front() + shift; }
    };
    // The chunk holding the last start at or before the offset.
    std::size_t chunkAtOrBefore(qsizetype offset) const;
    void renumberFrom(std::size_t chunk);
    void splitIfLarge(std::size_t chunk);

    std::vector<Chunk> m_chunks{Chunk{{0}, 0, 0}};
    qsizetype m_length = 0;
    qsizetype m_lineCount = 1;
};

// Decimal digits of a positive count (1 for 0..9).
int decimalDigitCount(qsizetype value);

} // namespace dunmoss
