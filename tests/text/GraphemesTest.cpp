#include "text/Graphemes.h"

#include <QRandomGenerator>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <unicode/brkiter.h>

using namespace dunmoss;

namespace {

// Every boundary ICU reports when it walks the whole text from the start.
std::set<qsizetype> allBoundaries(const QString& text) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    const icu::UnicodeString copy(reinterpret_cast<const UChar*>(text.utf16()), text.size());
    it->setText(copy);
    std::set<qsizetype> result;
    for (int32_t b = it->first(); b != icu::BreakIterator::DONE; b = it->next())
        result.insert(b);
    return result;
}

} // namespace

TEST(GraphemesTest, AgreesWithAFullWalkEverywhere) {
    const QStringList pieces = {QStringLiteral("a"),
                                QStringLiteral("\r"),
                                QStringLiteral("\n"),
                                QStringLiteral("\u0301"),
                                QStringLiteral("\U0001F600"),
                                QStringLiteral("\u200D"),
                                QStringLiteral("\U0001F1E9"),
                                QStringLiteral("\u00E9"),
                                QStringLiteral("\u1100"),
                                QStringLiteral("\u1161"),
                                QString(QChar(0xD800)),
                                QStringLiteral("\u00A9"),
                                QStringLiteral("\u0915\u094D"),
                                QStringLiteral(" ")};
    QRandomGenerator random(3);
    for (int round = 0; round < 400; ++round) {
        QString text;
        for (int i = random.bounded(0, 12); i > 0; --i)
            text.append(pieces[random.bounded(int(pieces.size()))]);
        const std::set<qsizetype> expected = allBoundaries(text);
        GraphemeBoundaries boundaries(text);
        for (qsizetype i = 0; i <= text.size(); ++i) {
            const bool is = expected.count(i) > 0;
            ASSERT_EQ(boundaries.isBoundary(i), is) << i;
            const qsizetype before = *std::prev(expected.upper_bound(i));
            const qsizetype after = *expected.lower_bound(i);
            ASSERT_EQ(boundaries.boundaryAtOrBefore(i), before) << i;
            ASSERT_EQ(boundaries.boundaryAtOrAfter(i), after) << i;
            if (i < text.size()) {
                ASSERT_EQ(boundaries.nextBoundary(i), *expected.upper_bound(i)) << i;
            }
        }
    }
}

TEST(GraphemesTest, WideningCoversWholeCharacters) {
    const QString text = QStringLiteral("ae\u0301\U0001F600b");
    GraphemeBoundaries boundaries(text);
    EXPECT_EQ(boundaries.widened(TextRange{2, 1}), (TextRange{1, 2}));
    EXPECT_EQ(boundaries.widened(TextRange{4, 0}), (TextRange{3, 2}));
    EXPECT_EQ(boundaries.widened(TextRange{0, 6}), (TextRange{0, 6}));
    GraphemeBoundaries empty{QStringView()};
    EXPECT_EQ(empty.widened(TextRange{0, 0}), (TextRange{0, 0}));
}
