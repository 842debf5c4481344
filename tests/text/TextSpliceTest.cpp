#include "text/TextSplice.h"

#include <QList>
#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace dunmoss;

TEST(TextSplice, TheSpliceIsTheChangedMiddleAndTakesEachTextToTheOther) {
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString laugh = QString::fromUtf8("\xF0\x9F\x98\x82");
    struct Row {
        QString before, after;
        TextSplice expected;
    };
    const QList<Row> rows{
        {"abc", "abc", {3, "", ""}},
        {"abc", "aXc", {1, "b", "X"}},
        {"abc", "abcd", {3, "", "d"}},
        {"abcabc", "abc", {3, "abc", ""}},
        {"", "new", {0, "", "new"}},
        // The pairs share their high half, yet the whole character is in the splice.
        {"a" + smile + "b", "a" + laugh + "b", {1, smile, laugh}},
        {smile + "x", "x", {0, smile, ""}},
    };
    for (const Row& row : rows) {
        const TextSplice splice = spliceBetween(row.before, row.after);
        EXPECT_EQ(splice, row.expected)
            << row.before.toStdString() << " > " << row.after.toStdString();
        ASSERT_TRUE(splice.appliesTo(row.before));
        EXPECT_EQ(splice.appliedTo(row.before), row.after);
        ASSERT_TRUE(splice.inverse().appliesTo(row.after));
        EXPECT_EQ(splice.inverse().appliedTo(row.after), row.before);
    }
    EXPECT_FALSE((TextSplice{1, "x", ""}.appliesTo(u"ab")));
    EXPECT_FALSE((TextSplice{2, "bc", ""}.appliesTo(u"ab")));
}

TEST(TextSplice, LongTextsWithChangesAnywhereGiveTheSmallestSplice) {
    // Long enough for the block comparisons, with the change near either end or a block edge.
    QRandomGenerator random(25);
    QString base;
    for (int i = 0; i < 3000; ++i)
        base += QChar(u'a' + random.bounded(3));
    for (int round = 0; round < 300; ++round) {
        QString after = base;
        const qsizetype at = random.bounded(int(base.size()));
        const qsizetype removed = std::min<qsizetype>(random.bounded(5), base.size() - at);
        const QString inserted(random.bounded(4), QChar(u'a' + random.bounded(4)));
        after.replace(at, removed, inserted);
        const TextSplice splice = spliceBetween(base, after);
        ASSERT_EQ(splice.appliedTo(base), after) << at;
        ASSERT_EQ(splice.inverse().appliedTo(after), base) << at;
        // Nothing shared at the splice's edges, so no smaller splice exists.
        if (!splice.removed.isEmpty() && !splice.inserted.isEmpty()) {
            EXPECT_NE(splice.removed.front(), splice.inserted.front());
            EXPECT_NE(splice.removed.back(), splice.inserted.back());
        }
        EXPECT_LE(splice.removed.size(), removed);
    }
}

TEST(TextSplice, AChangeThroughoutALongTextSharesTheTwoTexts) {
    QString before;
    for (int i = 0; i < 20'000; ++i)
        before += QStringLiteral("needle ");
    QString after = before;
    after.replace(QStringLiteral("needle"), QStringLiteral("pin"));
    const TextSplice splice = spliceBetween(before, after);
    EXPECT_EQ(splice.position, 0);
    EXPECT_TRUE(splice.removed.isSharedWith(before));
    EXPECT_TRUE(splice.inserted.isSharedWith(after));
    EXPECT_TRUE(splice.appliedTo(before).isSharedWith(after));
    EXPECT_EQ(splice.inverse().appliedTo(after), before);
    // A change in the middle of the same text still keeps only the middle.
    QString middle = before;
    middle[70'000] = u'x';
    EXPECT_EQ(spliceBetween(before, middle), (TextSplice{70'000, QStringLiteral("n"), "x"}));
}

TEST(TextSplice, ANarrowedSpliceKeepsOnlyWhatChanges) {
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString laugh = QString::fromUtf8("\xF0\x9F\x98\x82");
    // A line moved past an equal one.
    EXPECT_TRUE((TextSplice{2, "ab\nab\n", "ab\nab\n"}.narrowed().changesNothing()));
    EXPECT_EQ((TextSplice{2, "x\ncommon\n", "y\ncommon\n"}.narrowed()), (TextSplice{2, "x", "y"}));
    EXPECT_EQ((TextSplice{4, "same x", "same yy"}.narrowed()), (TextSplice{9, "x", "yy"}));
    // The pairs share their high half, yet the whole character stays in the splice.
    EXPECT_EQ((TextSplice{1, "a" + smile, "a" + laugh}.narrowed()), (TextSplice{2, smile, laugh}));
    const TextSplice narrowed = TextSplice{1, "234", "2x4"}.narrowed();
    EXPECT_EQ(narrowed.appliedTo("12345"), "12x45");
}
