#pragma once

#include "platform/TextRange.h"

#include <QString>
#include <QStringView>

namespace dunmoss {

// What the status bar shows about the active text and its selection. Lines and columns start at
// 1; lengths are UTF-16 code units except `characterCount`, which counts user-perceived
// characters (grapheme clusters) for texts of at most `kStatusCharacterCountLimit` units.
struct StatusTextStatistics {
    qint64 line = 1;
    qint64 column = 1;
    qint64 lineCount = 1;
    qint64 characterCount = 0;
    qint64 selectedLength = 0;
    qint64 selectedLineCount = 0;

    friend bool operator==(const StatusTextStatistics&, const StatusTextStatistics&) = default;
};

// Beyond these limits clusters are not counted and UTF-16 counts stand in, so the per-keystroke
// cost stays bounded for huge texts and huge lines.
inline constexpr qsizetype kStatusColumnClusterLimit = 10'000;
inline constexpr qsizetype kStatusCharacterCountLimit = 1'000'000;

class TextCounts;

// One pass over the text; never fails. The selection is clamped to the text.
StatusTextStatistics computeStatusTextStatistics(const QString& text, TextRange selectedRange);
// The same from the text's counts (kept in step with its edits): the cost of the caret's line,
// never of the whole text. `counts` must describe `text`.
StatusTextStatistics computeStatusTextStatistics(const QString& text, TextRange selectedRange,
                                                 const TextCounts& counts);

// Exact number of extended grapheme clusters.
qsizetype graphemeClusterCount(QStringView text);

// The exact number after an edit, from the number before it: `text` is the text after
// text[position, position + removed.size()) was replaced by its [position, position +
// insertedLength); only the clusters around the edit are counted.
qsizetype graphemeClusterCountAfterEdit(QStringView text, qsizetype countBefore, qsizetype position,
                                        QStringView removed, qsizetype insertedLength);

// True when the text holds more than `limit` clusters. A text of at most `limit` code units is
// answered without counting; the others are counted until the count passes the limit.
bool hasMoreGraphemeClustersThan(const QString& text, qsizetype limit);

// Whether `position` (0...size) falls between two clusters; false inside a surrogate pair or a
// combining sequence.
bool isGraphemeBoundary(QStringView text, qsizetype position);

} // namespace dunmoss
