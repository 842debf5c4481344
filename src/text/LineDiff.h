#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <array>
#include <optional>

namespace dunmoss {

// One row of a side-by-side comparison; the left text is the base.
struct TextCompareRow {
    enum class Kind { Same, Changed, Added, Removed };

    QUuid id;
    std::optional<qsizetype> leftLineNumber;
    std::optional<qsizetype> rightLineNumber;
    std::optional<QString> leftText;
    std::optional<QString> rightText;
    Kind kind = Kind::Same;

    friend bool operator==(const TextCompareRow&, const TextCompareRow&) = default;
};

struct TextCompareResult {
    std::optional<QList<TextCompareRow>> rows; // none when the comparison was not computed
    qsizetype leftLineCount = 0;
    qsizetype rightLineCount = 0;
};

// The compare panel's limit on the lines of each side.
inline constexpr qsizetype kCompareLineLimit = 2000;

// Lines at line feeds, as the editor counts them: an empty text has none, and after a final
// line feed comes one more, empty line.
QStringList splitCompareLines(const QString& text);

// Longest-common-subsequence alignment into same, added and removed rows. Time and memory grow
// with the product of the two line counts; callers bound the sizes.
QList<TextCompareRow> diffLines(const QStringList& left, const QStringList& right);

// Merges directly adjacent removed/added pairs (either order) into changed rows.
QList<TextCompareRow> pairChangedRows(const QList<TextCompareRow>& rows);

// The row's line-number label in the interface language; none without line numbers.
std::optional<QString> compareRowLabel(const TextCompareRow& row);

// Numbers of same, changed, added and removed rows.
std::array<qsizetype, 4> compareKindCounts(const std::optional<QList<TextCompareRow>>& rows);

// Both texts' lines and, when neither side has more than `lineLimit` lines, the paired rows;
// rows are none above the limit, which keeps the table within bounds.
TextCompareResult compareTexts(const QString& left, const QString& right,
                               qsizetype lineLimit = kCompareLineLimit);

} // namespace dunmoss
