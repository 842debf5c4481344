#include "text/LineDiff.h"
#include "text/SuffixLcsTable.h"

#include "platform/Localization.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <vector>

using namespace dunmoss;
using Kind = TextCompareRow::Kind;

namespace {

struct RowShape {
    Kind kind;
    std::optional<qsizetype> left;
    std::optional<qsizetype> right;
    std::optional<QString> leftText;
    std::optional<QString> rightText;
    friend bool operator==(const RowShape&, const RowShape&) = default;
};

std::vector<RowShape> shapes(const QList<TextCompareRow>& rows) {
    std::vector<RowShape> out;
    for (const auto& row : rows)
        out.push_back(
            {row.kind, row.leftLineNumber, row.rightLineNumber, row.leftText, row.rightText});
    return out;
}

std::vector<RowShape> compare(const QString& left, const QString& right) {
    return shapes(pairChangedRows(diffLines(splitCompareLines(left), splitCompareLines(right))));
}

QString s(const char* text) {
    return QString::fromUtf8(text);
}

// The alignment walked over a full table, without the shortcut for equal leading lines.
std::vector<RowShape> referenceDiff(const QStringList& l, const QStringList& r) {
    const qsizetype n = l.size(), m = r.size();
    std::vector<std::vector<int>> t(n + 1, std::vector<int>(m + 1, 0));
    for (qsizetype i = n - 1; i >= 0; --i)
        for (qsizetype j = m - 1; j >= 0; --j)
            t[i][j] = l[i] == r[j] ? t[i + 1][j + 1] + 1 : std::max(t[i + 1][j], t[i][j + 1]);
    std::vector<RowShape> rows;
    qsizetype i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && l[i] == r[j]) {
            rows.push_back({Kind::Same, i + 1, j + 1, l[i], r[j]});
            ++i, ++j;
        } else if (i < n && j < m && t[i][j + 1] >= t[i + 1][j]) {
            rows.push_back({Kind::Added, std::nullopt, j + 1, std::nullopt, r[j]});
            ++j;
        } else if (i < n) {
            rows.push_back({Kind::Removed, i + 1, std::nullopt, l[i], std::nullopt});
            ++i;
        } else {
            rows.push_back({Kind::Added, std::nullopt, j + 1, std::nullopt, r[j]});
            ++j;
        }
    }
    return rows;
}

} // namespace

TEST(LineDiffTest, SplittingLines) {
    EXPECT_TRUE(splitCompareLines(QString()).isEmpty());
    // As the status bar counts: the line after a final line feed is one.
    EXPECT_EQ(splitCompareLines(s("a\n\n")), (QStringList{s("a"), QString(), QString()}));
    EXPECT_EQ(splitCompareLines(s("a\nb")), (QStringList{s("a"), s("b")}));
    EXPECT_EQ(splitCompareLines(s("a\nb\n")).size(), 3);
    EXPECT_EQ(splitCompareLines(s("\n")), (QStringList{QString(), QString()}));
    EXPECT_EQ(splitCompareLines(s("a\r\nb")), (QStringList{s("a\r"), s("b")}));
}

TEST(LineDiffTest, RowsForTypicalComparisons) {
    EXPECT_TRUE(compare(QString(), QString()).empty());
    EXPECT_EQ(compare(s("a\nb\nc"), s("a\nx\nc")),
              (std::vector<RowShape>{{Kind::Same, 1, 1, s("a"), s("a")},
                                     {Kind::Changed, 2, 2, s("b"), s("x")},
                                     {Kind::Same, 3, 3, s("c"), s("c")}}));
    // A tie puts the added row first; the pair still becomes one changed row.
    EXPECT_EQ(shapes(diffLines({s("a")}, {s("b")})),
              (std::vector<RowShape>{{Kind::Added, std::nullopt, 1, std::nullopt, s("b")},
                                     {Kind::Removed, 1, std::nullopt, s("a"), std::nullopt}}));
    EXPECT_EQ(compare(s("a"), s("b")),
              (std::vector<RowShape>{{Kind::Changed, 1, 1, s("a"), s("b")}}));
    EXPECT_EQ(compare(s("a\nb"), s("b\na")),
              (std::vector<RowShape>{{Kind::Added, std::nullopt, 1, std::nullopt, s("b")},
                                     {Kind::Same, 1, 2, s("a"), s("a")},
                                     {Kind::Removed, 2, std::nullopt, s("b"), std::nullopt}}));
    // A final line feed is a difference the copy buttons would carry over.
    EXPECT_EQ(compare(s("a\nb\n"), s("a\nb")),
              (std::vector<RowShape>{{Kind::Same, 1, 1, s("a"), s("a")},
                                     {Kind::Same, 2, 2, s("b"), s("b")},
                                     {Kind::Removed, 3, std::nullopt, QString(), std::nullopt}}));
    EXPECT_EQ(compare(QString(), s("x\ny\nz")),
              (std::vector<RowShape>{{Kind::Added, std::nullopt, 1, std::nullopt, s("x")},
                                     {Kind::Added, std::nullopt, 2, std::nullopt, s("y")},
                                     {Kind::Added, std::nullopt, 3, std::nullopt, s("z")}}));
    EXPECT_EQ(compare(s("x\ny"), QString()),
              (std::vector<RowShape>{{Kind::Removed, 1, std::nullopt, s("x"), std::nullopt},
                                     {Kind::Removed, 2, std::nullopt, s("y"), std::nullopt}}));
    // Comparison is exact: case and trailing spaces count.
    EXPECT_EQ(compare(s("A"), s("a"))[0].kind, Kind::Changed);
    EXPECT_EQ(compare(s("a "), s("a"))[0].kind, Kind::Changed);
}

TEST(LineDiffTest, PairingMergesOnlyDirectNeighbours) {
    auto row = [](Kind kind, std::optional<qsizetype> left, std::optional<qsizetype> right) {
        TextCompareRow r;
        r.id = QUuid::createUuid();
        r.kind = kind;
        r.leftLineNumber = left;
        r.rightLineNumber = right;
        if (left)
            r.leftText = QString::number(*left);
        if (right)
            r.rightText = QString::number(*right);
        return r;
    };
    const QList<TextCompareRow> rows = {row(Kind::Removed, 1, std::nullopt),
                                        row(Kind::Removed, 2, std::nullopt),
                                        row(Kind::Added, std::nullopt, 1),
                                        row(Kind::Added, std::nullopt, 2), row(Kind::Same, 3, 3)};
    const auto paired = pairChangedRows(rows);
    ASSERT_EQ(paired.size(), 4);
    EXPECT_EQ(paired[0].kind, Kind::Removed);
    EXPECT_EQ(paired[0].id, rows[0].id);
    EXPECT_EQ(paired[1].kind, Kind::Changed);
    EXPECT_EQ(paired[1].leftLineNumber, 2);
    EXPECT_EQ(paired[1].rightLineNumber, 1);
    EXPECT_NE(paired[1].id, rows[1].id);
    EXPECT_NE(paired[1].id, rows[2].id);
    EXPECT_EQ(paired[2].kind, Kind::Added);
    EXPECT_EQ(paired[2].rightLineNumber, 2);
    EXPECT_EQ(paired[3].id, rows[4].id);
    EXPECT_TRUE(pairChangedRows({}).isEmpty());
}

TEST(LineDiffTest, PackedTableWalkEqualsTheFullIntegerTableWalk) {
    QRandomGenerator random(5);
    const QStringList alphabet = {s("a"), s("b"), s("c"), s(""), s("a ")};
    for (int round = 0; round < 300; ++round) {
        QStringList left, right;
        const int shared = random.bounded(0, 4);
        for (int i = 0; i < shared; ++i) {
            const QString line = alphabet[random.bounded(int(alphabet.size()))];
            left.append(line);
            right.append(line);
        }
        // Mostly short texts, some past one and two machine words of table bits.
        const int span = round % 10 == 0 ? 200 : 9;
        for (int i = random.bounded(0, span); i > 0; --i)
            left.append(alphabet[random.bounded(int(alphabet.size()))]);
        for (int i = random.bounded(0, span); i > 0; --i)
            right.append(alphabet[random.bounded(int(alphabet.size()))]);
        ASSERT_EQ(shapes(diffLines(left, right)), referenceDiff(left, right))
            << left.join(u'|').toStdString() << " / " << right.join(u'|').toStdString();
    }
}

TEST(LineDiffTest, LabelsFollowLineNumbersAndCountsFollowKinds) {
    TextCompareRow same;
    same.kind = Kind::Same;
    same.leftLineNumber = 2;
    same.rightLineNumber = 4;
    EXPECT_EQ(compareRowLabel(same),
              localizedString(QStringLiteral("compare.lines.format")).arg(2).arg(4));
    TextCompareRow changed;
    changed.kind = Kind::Changed;
    changed.leftLineNumber = 5;
    changed.rightLineNumber = 5;
    EXPECT_EQ(compareRowLabel(changed),
              localizedString(QStringLiteral("compare.line.format")).arg(5));
    TextCompareRow removed;
    removed.kind = Kind::Removed;
    removed.leftLineNumber = 7;
    EXPECT_EQ(compareRowLabel(removed),
              localizedString(QStringLiteral("compare.left-line.format")).arg(7));
    TextCompareRow added;
    added.kind = Kind::Added;
    added.rightLineNumber = 8;
    EXPECT_EQ(compareRowLabel(added),
              localizedString(QStringLiteral("compare.right-line.format")).arg(8));
    EXPECT_FALSE(compareRowLabel(TextCompareRow{}));
    for (const char* key : {"compare.lines.format", "compare.line.format",
                            "compare.left-line.format", "compare.right-line.format"}) {
        for (const char* language : {"en", "zh-Hans"})
            EXPECT_TRUE(
                localizedStringInLproj(QString::fromLatin1(key), QString::fromLatin1(language)))
                << key << " " << language;
    }
    // The English label shows both numbers in order.
    const QString english =
        localizedStringInLproj(QStringLiteral("compare.lines.format"), QStringLiteral("en"))
            ->arg(2)
            .arg(4);
    EXPECT_LT(english.indexOf(u'2'), english.indexOf(u'4'));

    const auto rows = pairChangedRows(
        diffLines({s("a"), s("b"), s("c"), s("d")}, {s("a"), s("x"), s("c"), s("e"), s("f")}));
    EXPECT_EQ(compareKindCounts(rows), (std::array<qsizetype, 4>{2, 2, 1, 0}));
    EXPECT_EQ(compareKindCounts(std::nullopt), (std::array<qsizetype, 4>{0, 0, 0, 0}));
}

TEST(LineDiffTest, ComparisonIsSkippedAboveTheLineLimit) {
    QString big;
    for (int i = 0; i < kCompareLineLimit; ++i)
        big.append(QStringLiteral("line\n"));
    const TextCompareResult tooLarge = compareTexts(big, s("a"));
    EXPECT_FALSE(tooLarge.rows);
    EXPECT_EQ(tooLarge.leftLineCount, kCompareLineLimit + 1);
    EXPECT_EQ(tooLarge.rightLineCount, 1);
    const TextCompareResult fits = compareTexts(big, big, kCompareLineLimit + 1);
    ASSERT_TRUE(fits.rows);
    EXPECT_EQ(compareKindCounts(fits.rows)[0], kCompareLineLimit + 1);
    const TextCompareResult small = compareTexts(s("a\nb\nc"), s("a\nx\nc"));
    ASSERT_TRUE(small.rows);
    EXPECT_EQ(shapes(*small.rows), compare(s("a\nb\nc"), s("a\nx\nc")));
    EXPECT_EQ(small.leftLineCount, 3);
}

TEST(LineDiffTest, PackedTableHoldsEveryCellOfTheIntegerTable) {
    QRandomGenerator random(23);
    for (int round = 0; round < 20; ++round) {
        const int n = random.bounded(0, 150);
        const int m = random.bounded(0, 150);
        const int symbols = random.bounded(1, 6);
        std::vector<int> a(n), b(m);
        for (int& x : a)
            x = random.bounded(symbols);
        for (int& x : b)
            x = random.bounded(symbols + 2); // some symbols only on the right
        std::vector<std::vector<int>> t(n + 1, std::vector<int>(m + 1, 0));
        for (int i = n - 1; i >= 0; --i)
            for (int j = m - 1; j >= 0; --j)
                t[i][j] = a[i] == b[j] ? t[i + 1][j + 1] + 1 : std::max(t[i + 1][j], t[i][j + 1]);
        const SuffixLcsTable table(a.data(), n, b.data(), m);
        for (int i = 0; i <= n; ++i)
            for (int j = 0; j <= m; ++j)
                ASSERT_EQ(table.at(i, j), t[i][j]) << i << "," << j << " of " << n << "x" << m;
    }
}
