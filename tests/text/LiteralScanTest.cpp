// The literal scan packs text into bytes where the query's first and last character allow it;
// units beyond Latin-1 must never pass for the query's, and lines must be counted alike.
#include "platform/IcuRegex.h"
#include "text/TextSearch.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

const TextSearchOptions kLiteral{false, true, false};
const TextSearchOptions kExpression{true, true, false};

// The same query run as an escaped expression through ICU.
void expectSameAsExpression(const QString& query, const QString& text) {
    const TextSearchMatches literal = findAllMatches(query, text, kLiteral);
    const TextSearchMatches expression =
        findAllMatches(IcuRegex::escapedPattern(query), text, kExpression);
    ASSERT_EQ(literal.totalCount, expression.totalCount) << query.toStdString();
    for (qsizetype i = 0; i < literal.results.size(); ++i) {
        EXPECT_EQ(literal.results[i].range, expression.results[i].range);
        EXPECT_EQ(literal.results[i].line, expression.results[i].line);
        EXPECT_EQ(literal.results[i].column, expression.results[i].column);
        EXPECT_EQ(literal.results[i].preview, expression.results[i].preview);
    }
}

} // namespace

TEST(LiteralScan, UnitsThatPackLikeTheQuerysAreNoMatch) {
    // U+0100..U+7FFF pack to 0xFF and U+8000 and above to 0x00.
    const QString text =
        QStringLiteral("\u0161a \u0100b \u8000c \u00FFb \u0000c \u010A\n\u0A0A x\n");
    for (const QString& query :
         {QStringLiteral("\u00FFb"), QStringLiteral("a \u0100"), QStringLiteral("\u0000c"),
          QStringLiteral("b "), QStringLiteral("\u0161a"), QStringLiteral("\n\u0A0A")})
        expectSameAsExpression(query, text.repeated(5));
    // No line feed is seen in units that only pack near one.
    const TextSearchMatches found = findAllMatches(
        QStringLiteral("x"),
        QStringLiteral("\u010A\u0A0A\u800A").repeated(40) + QStringLiteral("\nx"), kLiteral);
    ASSERT_EQ(found.results.size(), 1);
    EXPECT_EQ(found.results[0].line, 2);
    EXPECT_EQ(found.results[0].column, 1);
}

TEST(LiteralScan, RandomTextsFindWhatTheExpressionFinds) {
    QRandomGenerator random(3);
    const char16_t alphabet[] = {u'a',      u'b',      u'\n',     u'\u00E9', u'\u0161',
                                 u'\u4E2D', u'\u00FF', u'\u0100', 0xD83D,    0xDE00};
    for (int round = 0; round < 200; ++round) {
        QString text;
        for (int i = int(random.bounded(200)); i > 0; --i)
            text.append(QChar(alphabet[random.bounded(int(std::size(alphabet)))]));
        QString query;
        for (int i = 2 + int(random.bounded(3)); i > 0; --i)
            query.append(QChar(alphabet[random.bounded(int(std::size(alphabet)))]));
        expectSameAsExpression(query, text);
    }
}
