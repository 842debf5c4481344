#include "text/StatusStatistics.h"

#include <QRandomGenerator>
#include <QStringList>
#include <gtest/gtest.h>
#include <unicode/ubrk.h>

using namespace dunmoss;

namespace {

StatusTextStatistics stats(const QString& text, qsizetype location, qsizetype length = 0) {
    return computeStatusTextStatistics(text, TextRange{location, length});
}

// Reference count straight from ICU over the whole string.
qsizetype icuClusterCount(const QString& text) {
    UErrorCode status = U_ZERO_ERROR;
    UBreakIterator* it = ubrk_open(UBRK_CHARACTER, "", reinterpret_cast<const UChar*>(text.utf16()),
                                   static_cast<int32_t>(text.size()), &status);
    EXPECT_TRUE(U_SUCCESS(status));
    qsizetype count = 0;
    ubrk_first(it);
    while (ubrk_next(it) != UBRK_DONE)
        ++count;
    ubrk_close(it);
    return count;
}

const QString kEAcuteX = QStringLiteral("e\u0301x");
const QString kEmoji = QString::fromUtf16(u"\U0001F600");

} // namespace

TEST(StatusStatistics, EmptyTextAndTrailingBreak) {
    EXPECT_EQ(stats(QString(), 0), (StatusTextStatistics{1, 1, 1, 0, 0, 0}));
    const auto afterBreak = stats(QStringLiteral("ab\ncd\n"), 6);
    EXPECT_EQ(afterBreak.line, 3);
    EXPECT_EQ(afterBreak.column, 1);
    EXPECT_EQ(afterBreak.lineCount, 3);
    EXPECT_EQ(afterBreak.characterCount, 6);
}

TEST(StatusStatistics, SelectionIsClampedToTheText) {
    const QString text = QStringLiteral("abc\ndef");
    const auto beyond = stats(text, 99, 5);
    EXPECT_EQ(beyond.line, 2);
    EXPECT_EQ(beyond.column, 4);
    EXPECT_EQ(beyond.selectedLength, 0);
    const auto negative = stats(text, -4, -2);
    EXPECT_EQ(negative.line, 1);
    EXPECT_EQ(negative.column, 1);
    EXPECT_EQ(negative.selectedLength, 0);
    EXPECT_EQ(negative.selectedLineCount, 0);
    EXPECT_EQ(stats(text, 5, 100).selectedLength, 2);
}

TEST(StatusStatistics, SelectionCountsTheBreakAsItsLastUnit) {
    const auto s = stats(QStringLiteral("ab\ncd"), 1, 2); // "b\n"
    EXPECT_EQ(s.selectedLength, 2);
    EXPECT_EQ(s.selectedLineCount, 2);
    const auto across = stats(QStringLiteral("a\nb\nc"), 0, 5);
    EXPECT_EQ(across.selectedLineCount, 3);
    EXPECT_EQ(stats(QStringLiteral("abc"), 1, 1).selectedLineCount, 1);
}

TEST(StatusStatistics, ColumnsCountCharactersNotUnits) {
    EXPECT_EQ(stats(kEAcuteX, 3).column, 3);
    EXPECT_EQ(stats(kEAcuteX, 3).characterCount, 2);
    EXPECT_EQ(stats(kEmoji, 2).column, 2);
    EXPECT_EQ(stats(QStringLiteral("x\n") + kEmoji + kEmoji, 6).column, 3);
    // Inside a surrogate pair or a combining sequence the UTF-16 offset stands in.
    EXPECT_EQ(stats(kEmoji, 1).column, 2);
    EXPECT_EQ(stats(kEAcuteX, 1).column, 2);
    // A tab is one column.
    EXPECT_EQ(stats(QStringLiteral("\t\tx"), 2).column, 3);
}

TEST(StatusStatistics, ColumnClusterLimit) {
    // Units of two per character so that counting and offsets disagree.
    QString line;
    for (int i = 0; i < 5001; ++i)
        line += kEmoji;
    EXPECT_EQ(stats(line, 10'000).column, 5001);      // counted
    EXPECT_EQ(stats(line, 10'002).column, 10'003);    // beyond the limit: units
    const QString text = QStringLiteral("\n") + line; // line start after a break
    EXPECT_EQ(stats(text, 10'001).column, 5001);
    EXPECT_EQ(stats(text, 10'003).column, 10'003);
}

TEST(StatusStatistics, CharacterCountLimit) {
    QString big(kStatusCharacterCountLimit - 1, QLatin1Char('a'));
    big += kEmoji; // 1,000,001 units, 1,000,000 clusters
    EXPECT_EQ(stats(big, 0).characterCount, 1'000'001);
    EXPECT_FALSE(hasMoreGraphemeClustersThan(big, kStatusCharacterCountLimit));
    big += QLatin1Char('b');
    EXPECT_TRUE(hasMoreGraphemeClustersThan(big, kStatusCharacterCountLimit));
    QString exact(kStatusCharacterCountLimit, QLatin1Char('a'));
    EXPECT_EQ(stats(exact, 0).characterCount, 1'000'000);
    EXPECT_FALSE(hasMoreGraphemeClustersThan(exact, kStatusCharacterCountLimit));
}

// Mixed scripts, combining marks, CR LF, emoji sequences, flags, Hangul jamo, Indic conjuncts
// and lone surrogates.
const QStringList& clusterPieces() {
    static const QStringList pieces = {
        QStringLiteral("a"),
        QStringLiteral("\u4e2d"),
        QStringLiteral("\u0301"),
        QStringLiteral("\r"),
        QStringLiteral("\n"),
        QStringLiteral("\u200d"),
        QString::fromUtf16(u"\U0001F1E8"),
        QString::fromUtf16(u"\U0001F1F3"),
        QStringLiteral("\u2764"),
        QStringLiteral("\ufe0f"),
        QStringLiteral("\u1100"),
        QStringLiteral("\u1161"),
        QStringLiteral("\u11a8"),
        QStringLiteral("\uac00"),
        QStringLiteral("\u0915"),
        QStringLiteral("\u094d"),
        QStringLiteral("\u0937"),
        QStringLiteral("\u093f"),
        QStringLiteral("\u093c"),
        QStringLiteral("\u0964"),
        QStringLiteral("\u0995"),
        QStringLiteral("\u09cd"),
        QStringLiteral("\u0b95"),
        QStringLiteral("\u0bcd"),
        QStringLiteral("\u200c"),
        QStringLiteral("\u0e33"),
        kEmoji,
        QString::fromUtf16(u"\U0001F3FD"),
        QStringLiteral(" "),
        QStringLiteral("\u0600"),
        QString(QChar(0xD83D)),
        QString(QChar(0xDE00)),
        QString(70, QLatin1Char('a')),
        QString(66, QChar(0x4E2D)),
        QStringLiteral("\t"),
        QStringLiteral("\ufe0f"),
        QString::fromUtf16(u"\U0001F469\u200D\U0001F4BB"),
    };
    return pieces;
}

TEST(StatusStatistics, ClusterCountMatchesTheBreakIterator) {
    // Shuffled pieces; the fast path must agree with ICU on every string.
    const QStringList& pieces = clusterPieces();
    QRandomGenerator rng(1234);
    for (int round = 0; round < 3000; ++round) {
        QString text;
        const int length = rng.bounded(1, 40);
        for (int i = 0; i < length; ++i)
            text += pieces[rng.bounded(pieces.size())];
        const qsizetype expected = icuClusterCount(text);
        QString dump;
        for (const QChar c : text)
            dump += QString::number(c.unicode(), 16) + QLatin1Char(' ');
        ASSERT_EQ(graphemeClusterCount(text), expected) << dump.toStdString();
        if (expected >= 1 && expected < text.size()) {
            ASSERT_TRUE(hasMoreGraphemeClustersThan(text, expected - 1)) << "round " << round;
            ASSERT_FALSE(hasMoreGraphemeClustersThan(text, expected)) << "round " << round;
        }
        UErrorCode status = U_ZERO_ERROR;
        UBreakIterator* it =
            ubrk_open(UBRK_CHARACTER, "", reinterpret_cast<const UChar*>(text.utf16()),
                      static_cast<int32_t>(text.size()), &status);
        for (qsizetype p = 0; p <= text.size(); ++p)
            ASSERT_EQ(isGraphemeBoundary(text, p),
                      ubrk_isBoundary(it, static_cast<int32_t>(p)) != 0)
                << "round " << round << " position " << p;
        ubrk_close(it);
    }
}

TEST(StatusStatistics, BoundariesInsideLongUndecidedRuns) {
    // Long runs the unit classes cannot decide (conjuncts, jamo, flags, joined emoji): the
    // boundary test looks only a little past the position and must still agree with ICU.
    const QStringList pieces = {
        QStringLiteral("\u0915"),
        QStringLiteral("\u094d"),
        QStringLiteral("\u0937"),
        QStringLiteral("\u1100"),
        QStringLiteral("\u1161"),
        QStringLiteral("\u11a8"),
        QString::fromUtf16(u"\U0001F1E8"),
        QString::fromUtf16(u"\U0001F1F3"),
        QString::fromUtf16(u"\U0001F469\u200D"),
        QStringLiteral("\u200d"),
        kEmoji,
    };
    QRandomGenerator rng(99);
    for (int round = 0; round < 60; ++round) {
        QString text;
        const int length = rng.bounded(50, 300);
        for (int i = 0; i < length; ++i)
            text += pieces[rng.bounded(pieces.size())];
        UErrorCode status = U_ZERO_ERROR;
        UBreakIterator* it =
            ubrk_open(UBRK_CHARACTER, "", reinterpret_cast<const UChar*>(text.utf16()),
                      static_cast<int32_t>(text.size()), &status);
        ASSERT_TRUE(U_SUCCESS(status));
        for (qsizetype p = 0; p <= text.size(); ++p)
            ASSERT_EQ(isGraphemeBoundary(text, p),
                      ubrk_isBoundary(it, static_cast<int32_t>(p)) != 0)
                << "round " << round << " position " << p;
        ubrk_close(it);
        // The caret column counts the same clusters ICU finds before it.
        const qsizetype caret = text.size() / 2;
        if (isGraphemeBoundary(text, caret)) {
            EXPECT_EQ(stats(text, caret).column, icuClusterCount(text.left(caret)) + 1);
        }
    }
}

TEST(StatusStatistics, CountAfterAnEditFollowsEditsExactly) {
    // Successive versions of one text, as typing, deleting and pasting make them, each counted
    // around its change only, against the break iterator's count of the whole text.
    const QStringList& pieces = clusterPieces();
    const auto randomText = [&pieces](QRandomGenerator& rng, int length) {
        QString text;
        for (int i = 0; i < length; ++i)
            text += pieces[rng.bounded(pieces.size())];
        return text;
    };
    QRandomGenerator rng(4321);
    QString text = randomText(rng, 600);
    qsizetype count = graphemeClusterCount(text);
    ASSERT_EQ(count, icuClusterCount(text));
    for (int edit = 0; edit < 400; ++edit) {
        const qsizetype at = rng.bounded(int(text.size()) + 1);
        const qsizetype length = std::min<qsizetype>(rng.bounded(6), text.size() - at);
        const QString removed = text.mid(at, length);
        const QString inserted = randomText(rng, rng.bounded(4));
        text.replace(at, length, inserted);
        count = graphemeClusterCountAfterEdit(text, count, at, removed, inserted.size());
        ASSERT_EQ(count, icuClusterCount(text)) << "edit " << edit;
    }
    // Large-file mode over one long run the classes cannot decide, changed one unit at a time.
    QString run(1'000'000, QChar(0x0915));
    EXPECT_FALSE(hasMoreGraphemeClustersThan(run, kStatusCharacterCountLimit));
    run.insert(500'000, QChar(0x0915));
    EXPECT_TRUE(hasMoreGraphemeClustersThan(run, kStatusCharacterCountLimit));
    run.insert(250'000, QChar(0x094D)); // a virama joins two consonants
    EXPECT_FALSE(hasMoreGraphemeClustersThan(run, kStatusCharacterCountLimit));
}
