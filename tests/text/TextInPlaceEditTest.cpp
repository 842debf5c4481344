#include "text/TextInPlaceEdit.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

QString lines(int count) {
    QString text;
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("line %1 of the text\n").arg(i);
    return text;
}

} // namespace

TEST(TextInPlaceEdit, AnyEditAnywhereGivesWhatAPlainReplaceGives) {
    QRandomGenerator random(33);
    QString text = lines(200);
    QString expected = text;
    for (int step = 0; step < 4000; ++step) {
        const qsizetype position = random.bounded(int(text.size()) + 1);
        const qsizetype length =
            random.bounded(int(std::min<qsizetype>(text.size() - position, 40)) + 1);
        // Inserts, deletions and equal-length replacements, near either end and in between.
        const int kind = random.bounded(3);
        const qsizetype inserted = kind == 0 ? 0 : kind == 1 ? length : random.bounded(60);
        QString replacement;
        for (qsizetype i = 0; i < inserted; ++i)
            replacement += QChar(u'a' + random.bounded(26));
        expected.replace(position, length, replacement);
        replaceInPlace(text, position, length, replacement);
        ASSERT_EQ(text, expected) << "step " << step;
    }
    // Down to nothing and up again.
    replaceInPlace(text, 0, text.size(), u"");
    EXPECT_TRUE(text.isEmpty());
    replaceInPlace(text, 0, 0, u"abc");
    replaceInPlace(text, 1, 0, u"XY");
    replaceInPlace(text, 0, 1, u"");
    EXPECT_EQ(text, QStringLiteral("XYbc"));
}

TEST(TextInPlaceEdit, AReaderHoldingTheTextKeepsTheTextBeforeTheEdit) {
    QString text = lines(500);
    const QString original = text;
    for (const qsizetype position : {qsizetype(3), text.size() / 2, text.size() - 3}) {
        const QString reader = text;
        const QString before = text;
        replaceInPlace(text, position, 2, u"typed");
        EXPECT_EQ(reader, before);
        EXPECT_EQ(text, QString(before).replace(position, 2, QStringLiteral("typed")));
        // The copy made for the edit is the writer's own: the next edit leaves the reader alone.
        replaceInPlace(text, position, 0, u"!");
        EXPECT_EQ(reader, before);
    }
    EXPECT_NE(text, original);
}

TEST(TextInPlaceEdit, AReplacementTakenFromTheTextItselfIsReadBeforeItMoves) {
    QString text = QStringLiteral("0123456789abcdefghij");
    text.reserve(200);
    replaceInPlace(text, 2, 0, QStringView(text).sliced(10, 5));
    EXPECT_EQ(text, QStringLiteral("01abcde23456789abcdefghij"));
    replaceInPlace(text, 1, 3, QStringView(text).sliced(20, 2));
    EXPECT_EQ(text, QStringLiteral("0fgcde23456789abcdefghij"));
}

TEST(TextInPlaceEdit, TypingNearTheStartLeavesTheRestOfALongTextWhereItIs) {
    QString text = lines(5000);
    // The first edit may make room before the text; after that, keys typed near the start move
    // only the characters before them.
    replaceInPlace(text, 10, 0, u"x");
    const QChar* tail = text.constData() + 1000;
    const QChar tailCharacter = *tail;
    for (int key = 0; key < 200; ++key)
        replaceInPlace(text, 11 + key, 0, u"y");
    for (int key = 0; key < 100; ++key)
        replaceInPlace(text, 20, 1, u"");
    EXPECT_EQ(text.constData() + 1000 + 200 - 100, tail);
    EXPECT_EQ(*tail, tailCharacter);
    EXPECT_EQ(text.mid(10, 12), QStringLiteral("xyyyyyyyyyyy"));
}

TEST(TextInPlaceEdit, TypingNearTheEndLeavesTheTextWhereItIs) {
    QString text = lines(5000);
    QString expected = text;
    const auto edit = [&](qsizetype position, qsizetype length, QStringView replacement) {
        replaceInPlace(text, position, length, replacement);
        expected.replace(position, length, replacement.toString());
    };
    // The first edit may make room after the text; after that, keys typed near the end, and
    // deletions there, move only the characters after them.
    edit(text.size() - 10, 0, u"x");
    const QChar* start = text.constData();
    const qsizetype at = text.size() - 9;
    for (int key = 0; key < 200; ++key)
        edit(at + key, 0, u"y");
    for (int key = 0; key < 100; ++key)
        edit(at + 50, 1, u"");
    edit(at, 2, u"zz");
    EXPECT_EQ(text.constData(), start);
    EXPECT_EQ(text, expected);
}

TEST(TextInPlaceEdit, ACopyWithRoomHoldsThePartsInOrder) {
    const QString joined = concatenatedWithRoom(u"head ", u"middle", u" tail", 100);
    EXPECT_EQ(joined, QStringLiteral("head middle tail"));
    EXPECT_GE(joined.capacity(), joined.size() + 100);
    EXPECT_EQ(concatenatedWithRoom(u"", u"", u"", 0), QString());
    EXPECT_EQ(concatenatedWithRoom(u"a", u"", u"b", -5), QStringLiteral("ab"));
}
