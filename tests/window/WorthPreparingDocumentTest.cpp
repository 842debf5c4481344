#include "editor/LongLineDocumentLayout.h"
#include "window/TabFileRead.h"

#include <gtest/gtest.h>
#include <random>

namespace dunmoss {
namespace {

constexpr qsizetype kLong = LongLineDocumentLayout::kLongBlockLength;
constexpr qsizetype kAside = LongLineDocumentLayout::kAsideLayoutLength;

// The rule read line by line: no line long enough to be costly to lay out on the window's
// thread, unless it is long enough to be broken into lines aside (and those are allowed).
bool everyLineFits(const QString& text, bool longLinesAside) {
    for (const QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        const qsizetype length = line.size();
        if (length >= kLong && (length < kAside || !longLinesAside))
            return false;
    }
    return true;
}

// Short lines up to about `size` characters, with one line of `length` characters at `at`.
QString textWithLine(qsizetype size, qsizetype at, qsizetype length) {
    QString text;
    while (text.size() < at)
        text += QStringLiteral("short line of text\n");
    text.truncate(at);
    text += QString(length, u'x');
    while (text.size() < size)
        text += QStringLiteral("\nanother short line");
    return text;
}

TEST(WorthPreparingDocument, ALongLineAnywhereDecidesAsReadingEveryLineWould) {
    const qsizetype size = 300'000;
    for (const qsizetype length : {kLong / 2, kLong - 1, kLong, kLong + 1, 2 * kLong - 1, 2 * kLong,
                                   3 * kLong + 7, kAside - 1, kAside, kAside + 1}) {
        // At the start, at a stretch's edge, just before and after one, in the middle and
        // running to the end of the text (with and without a line feed after it).
        for (const qsizetype at : {qsizetype(0), kLong / 2 - 1, kLong / 2, kLong / 2 + 1,
                                   qsizetype(123'457), size - length}) {
            for (const bool endsText : {false, true}) {
                QString text = textWithLine(size, at, length);
                if (endsText)
                    text = text.left(at + length);
                if (text.size() < 64 * 1024)
                    text.prepend(QString(70'000, u'\n'));
                for (const bool aside : {false, true})
                    EXPECT_EQ(worthPreparingDocument(text, 0, aside), everyLineFits(text, aside))
                        << "length " << length << " at " << at << " ends " << endsText << " aside "
                        << aside;
            }
        }
    }
}

TEST(WorthPreparingDocument, RandomTextsDecideAsReadingEveryLineWould) {
    std::mt19937 random(5);
    for (int round = 0; round < 200; ++round) {
        QString text;
        while (text.size() < 70'000 + qsizetype(random() % 200'000)) {
            const int kind = int(random() % 20);
            const qsizetype length = kind == 0   ? kLong - 5 + qsizetype(random() % 10)
                                     : kind == 1 ? kLong / 2 + qsizetype(random() % kLong)
                                     : kind == 2 ? kAside - 3 + qsizetype(random() % 6)
                                                 : qsizetype(random() % 200);
            text += QString(length, QChar(u'a' + char16_t(random() % 26)));
            text += u'\n';
        }
        if (random() % 2)
            text.chop(1);
        for (const bool aside : {false, true})
            EXPECT_EQ(worthPreparingDocument(text, 0, aside), everyLineFits(text, aside))
                << "round " << round << " aside " << aside;
    }
}

TEST(WorthPreparingDocument, ShortTextsNeverAndAKnownWidthAlways) {
    EXPECT_FALSE(worthPreparingDocument(QString(1'000, u'\n')));
    const QString withLongLine = textWithLine(200'000, 50'000, kLong + 10);
    EXPECT_FALSE(worthPreparingDocument(withLongLine));
    EXPECT_TRUE(worthPreparingDocument(withLongLine, 640));
}

} // namespace
} // namespace dunmoss
