#include "text/LineDiff.h"

#include "platform/Localization.h"
#include "text/ResultIdentifier.h"
#include "text/SuffixLcsTable.h"

#include <QHash>
#include <vector>

namespace dunmoss {

namespace {

TextCompareRow makeRow(TextCompareRow::Kind kind) {
    TextCompareRow row;
    row.id = newResultIdentifier();
    row.kind = kind;
    return row;
}

TextCompareRow sameRow(const QStringList& left, qsizetype i, qsizetype j) {
    TextCompareRow row = makeRow(TextCompareRow::Kind::Same);
    row.leftLineNumber = i + 1;
    row.rightLineNumber = j + 1;
    row.leftText = left[i];
    row.rightText = left[i];
    return row;
}

TextCompareRow addedRow(const QStringList& right, qsizetype j) {
    TextCompareRow row = makeRow(TextCompareRow::Kind::Added);
    row.rightLineNumber = j + 1;
    row.rightText = right[j];
    return row;
}

TextCompareRow removedRow(const QStringList& left, qsizetype i) {
    TextCompareRow row = makeRow(TextCompareRow::Kind::Removed);
    row.leftLineNumber = i + 1;
    row.leftText = left[i];
    return row;
}

TextCompareRow changedRow(const TextCompareRow& removed, const TextCompareRow& added) {
    TextCompareRow row = makeRow(TextCompareRow::Kind::Changed);
    row.leftLineNumber = removed.leftLineNumber;
    row.leftText = removed.leftText;
    row.rightLineNumber = added.rightLineNumber;
    row.rightText = added.rightText;
    return row;
}

// Numbers each distinct line once so the table compares integers, not strings.
void internLines(const QStringList& left, const QStringList& right, std::vector<int>& leftIds,
                 std::vector<int>& rightIds) {
    QHash<QStringView, int> ids;
    ids.reserve(left.size() + right.size());
    auto idOf = [&ids](const QString& line) {
        auto it = ids.constFind(QStringView(line));
        if (it == ids.constEnd())
            it = ids.insert(QStringView(line), int(ids.size()));
        return it.value();
    };
    leftIds.reserve(left.size());
    rightIds.reserve(right.size());
    for (const QString& line : left)
        leftIds.push_back(idOf(line));
    for (const QString& line : right)
        rightIds.push_back(idOf(line));
}

} // namespace

QStringList splitCompareLines(const QString& text) {
    if (text.isEmpty())
        return {};
    // The empty line after a final line feed is a line, as the editor numbers and counts it.
    return text.split(u'\n');
}

QList<TextCompareRow> diffLines(const QStringList& left, const QStringList& right) {
    const qsizetype n = left.size();
    const qsizetype m = right.size();
    std::vector<int> a;
    std::vector<int> b;
    internLines(left, right, a, b);

    // Equal leading lines are always walked as same rows whatever the table holds beyond them,
    // so the table only needs to cover the rest.
    qsizetype prefix = 0;
    while (prefix < n && prefix < m && a[prefix] == b[prefix])
        ++prefix;
    const qsizetype restLeft = n - prefix;
    const qsizetype restRight = m - prefix;
    const SuffixLcsTable table(a.data() + prefix, restLeft, b.data() + prefix, restRight);

    QList<TextCompareRow> result;
    result.reserve(n + m - prefix);
    qsizetype i = 0;
    qsizetype j = 0;
    // Past the prefix, `upper` is T[i][j] and `lower` is T[i + 1][j] (table rows k and k - 1
    // with `length` columns left), kept up to date step by step instead of counted again.
    qsizetype k = 0;
    qsizetype length = 0;
    int upper = 0;
    int lower = 0;
    bool tracking = false;
    auto advanceLeft = [&] {
        ++i;
        if (tracking) {
            --k;
            upper = lower;
            lower = k > 0 ? table.zeros(k - 1, length) : 0;
        }
    };
    auto advanceRight = [&] {
        ++j;
        if (tracking) {
            upper -= table.zeroBit(k, length - 1) ? 1 : 0;
            if (k > 0)
                lower -= table.zeroBit(k - 1, length - 1) ? 1 : 0;
            --length;
        }
    };
    while (i < n || j < m) {
        if (i < n && j < m) {
            if (a[i] == b[j]) {
                result.append(sameRow(left, i, j));
                advanceLeft();
                advanceRight();
                continue;
            }
            if (!tracking) {
                tracking = true;
                k = n - i;
                length = m - j;
                upper = table.zeros(k, length);
                lower = table.zeros(k - 1, length);
            }
            // T[i][j + 1] against T[i + 1][j]; on a tie the added row comes first.
            const int rightSkipped = upper - (table.zeroBit(k, length - 1) ? 1 : 0);
            if (rightSkipped >= lower) {
                result.append(addedRow(right, j));
                advanceRight();
            } else {
                result.append(removedRow(left, i));
                advanceLeft();
            }
        } else if (i < n) {
            result.append(removedRow(left, i));
            ++i;
        } else {
            result.append(addedRow(right, j));
            ++j;
        }
    }
    return result;
}

QList<TextCompareRow> pairChangedRows(const QList<TextCompareRow>& rows) {
    using Kind = TextCompareRow::Kind;
    QList<TextCompareRow> paired;
    paired.reserve(rows.size());
    qsizetype k = 0;
    while (k < rows.size()) {
        if (k + 1 < rows.size()) {
            const TextCompareRow& first = rows[k];
            const TextCompareRow& second = rows[k + 1];
            if (first.kind == Kind::Added && second.kind == Kind::Removed) {
                paired.append(changedRow(second, first));
                k += 2;
                continue;
            }
            if (first.kind == Kind::Removed && second.kind == Kind::Added) {
                paired.append(changedRow(first, second));
                k += 2;
                continue;
            }
        }
        paired.append(rows[k]);
        ++k;
    }
    return paired;
}

std::optional<QString> compareRowLabel(const TextCompareRow& row) {
    const auto& left = row.leftLineNumber;
    const auto& right = row.rightLineNumber;
    if (left && right) {
        if (*left != *right)
            return localizedString(QStringLiteral("compare.lines.format")).arg(*left).arg(*right);
        return localizedString(QStringLiteral("compare.line.format")).arg(*left);
    }
    if (left)
        return localizedString(QStringLiteral("compare.left-line.format")).arg(*left);
    if (right)
        return localizedString(QStringLiteral("compare.right-line.format")).arg(*right);
    return std::nullopt;
}

std::array<qsizetype, 4> compareKindCounts(const std::optional<QList<TextCompareRow>>& rows) {
    std::array<qsizetype, 4> counts{0, 0, 0, 0};
    if (!rows)
        return counts;
    for (const TextCompareRow& row : *rows)
        ++counts[size_t(row.kind)];
    return counts;
}

TextCompareResult compareTexts(const QString& left, const QString& right, qsizetype lineLimit) {
    const QStringList leftLines = splitCompareLines(left);
    const QStringList rightLines = splitCompareLines(right);
    TextCompareResult result;
    result.leftLineCount = leftLines.size();
    result.rightLineCount = rightLines.size();
    if (leftLines.size() <= lineLimit && rightLines.size() <= lineLimit)
        result.rows = pairChangedRows(diffLines(leftLines, rightLines));
    return result;
}

} // namespace dunmoss
