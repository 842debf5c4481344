#pragma once

#include <QList>
#include <QStringView>

namespace dunmoss {

// Offsets at which lines start (only line feeds start lines), rebuilt lazily: the editor bumps
// `contentVersion` on every change of the text and the index is rebuilt at the next query.
struct LineStartIndex {
    QList<qsizetype> starts{0};
    qsizetype cachedLength = -1;
    qint64 cachedContentVersion = 0;
    qint64 contentVersion = 0;

    // Rebuilds `starts` when the length or the content version differs from the cached ones.
    void bringUpToDate(QStringView text);

    // At least 1; a text ending with a line feed has an empty last line.
    qsizetype lineCount() const { return starts.size(); }
    // 1-based number of the line holding the character (bisection); 1 before the first start.
    qsizetype lineNumberOfCharacter(qsizetype index) const;
    // 1-based number of the line that starts exactly at the offset, or 0 when none does.
    qsizetype lineNumberStartingAt(qsizetype offset) const;
};

// Decimal digits of a positive count (1 for 0..9).
int decimalDigitCount(qsizetype value);

} // namespace dunmoss
