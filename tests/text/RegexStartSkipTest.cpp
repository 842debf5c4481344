// Jumping to the units where a match can start must find exactly what ICU's own find loop
// finds, on random and real texts, as typed and as the find bar builds expressions.
#include "platform/IcuRegex.h"
#include "text/TextSearch.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <unicode/regex.h>
#include <vector>

using namespace dunmoss;

namespace {

// ICU's matches with no callback of ours.
std::vector<TextRange> plainIcuMatches(const IcuRegex& regex, const QString& text,
                                       TextRange region) {
    uint32_t flags = 0;
    if (regex.options() & IcuRegex::CaseInsensitive)
        flags |= UREGEX_CASE_INSENSITIVE;
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError{};
    const QString& pattern = regex.pattern();
    std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(
        icu::UnicodeString(reinterpret_cast<const UChar*>(pattern.utf16()),
                           int32_t(pattern.size())),
        flags, parseError, status));
    const icu::UnicodeString input(reinterpret_cast<const UChar*>(text.utf16()),
                                   int32_t(text.size()));
    std::unique_ptr<icu::RegexMatcher> matcher(compiled->matcher(input, status));
    matcher->region(region.location, region.end(), status);
    std::vector<TextRange> found;
    while (matcher->find(status)) {
        const int32_t start = matcher->start(status);
        found.push_back(TextRange{start, matcher->end(status) - start});
    }
    EXPECT_TRUE(U_SUCCESS(status)) << pattern.toStdString();
    return found;
}

std::vector<TextRange> ourMatches(const IcuRegex& regex, const QString& text, TextRange region) {
    std::vector<TextRange> found;
    IcuRegexMatcher matcher(regex, text, region);
    while (matcher.findNext())
        found.push_back(matcher.range());
    return found;
}

// Mostly ASCII with long stretches no match can start in, and the characters that trip
// case folding, line ends and surrogate pairs.
QString randomText(std::mt19937& random) {
    static const QStringList pieces = {
        QStringLiteral("3.14"),
        QStringLiteral("v2.0.1 "),
        QStringLiteral("Error"),
        QStringLiteral("\r\n"),
        QStringLiteral("\n"),
        QStringLiteral("\r"),
        QStringLiteral("\u00DF"),
        QStringLiteral("SS"),
        QStringLiteral("\u212A"),
        QStringLiteral("\u017F"),
        QStringLiteral("\U0001F600"),
        QStringLiteral("_x"),
        QStringLiteral("\u0661\u0662"),
        QStringLiteral(" @ "),
        QStringLiteral("#."),
        QStringLiteral("ka"),
        QStringLiteral("\u00E9t\u00E9"),
    };
    QString text;
    const int parts = int(random() % 40);
    for (int i = 0; i < parts; ++i) {
        if (random() % 2)
            text.append(pieces[random() % pieces.size()]);
        else
            text.append(QString(int(random() % 30), QChar(u"abcxyz   "[random() % 9])));
    }
    return text;
}

QString realText() {
    QString text;
    for (const QString& name : QDir(QStringLiteral(DUNMOSS_SOURCE_DIR "/src/platform"))
                                   .entryList({QStringLiteral("*.cpp")}, QDir::Files)) {
        QFile file(QStringLiteral(DUNMOSS_SOURCE_DIR "/src/platform/") + name);
        if (file.open(QIODevice::ReadOnly))
            text += QString::fromUtf8(file.readAll());
    }
    // With Windows line ends and characters outside ASCII, too.
    return text + QString(text).replace(u'\n', QStringLiteral("\r\n")).replace(u'e', u'\u00E9');
}

const QStringList kPatterns = {
    QStringLiteral("[0-9]+\\.[0-9]+"),
    QStringLiteral("\\d+"),
    QStringLiteral("[A-Z][a-z]+"),
    QStringLiteral("[A-Z]\\w+Error"),
    QStringLiteral("\\.\\w"),
    QStringLiteral("k+a"),
    QStringLiteral("s+"),
    QStringLiteral("ss"),
    QStringLiteral("\\bx\\w*"),
    QStringLiteral("(?<=[a-z])\\d"),
    QStringLiteral("(?<!\\d)\\.\\d+"),
    QStringLiteral("\\r\\n?"),
    QStringLiteral("\\n"),
    QStringLiteral("[\\r\\n]+"),
    QStringLiteral("@\\s"),
    QStringLiteral("_x|y"),
    QStringLiteral("(?i)E[a-z]+r"),
    QStringLiteral("\\p{Lu}+"),
    QStringLiteral("[^a-z ]+"),
    QStringLiteral("(\\d)(?:\\.\\1)+"),
    QStringLiteral("^[a-z]+$"),
    QStringLiteral("(?m)^[a-z]+$"),
    QStringLiteral("(#)\\."),
    QStringLiteral("[\\x{1F600}]"),
    // A loop of the first atom, then a required atom of another set.
    QStringLiteral("\\w+@"),
    QStringLiteral("\\s+\\d"),
    QStringLiteral("(?i)[a-z]+\\d"),
    QStringLiteral("x+?y"),
    QStringLiteral("\\d++\\."),
    QStringLiteral("[^\\n]+\\n"),
    QStringLiteral("\\r+\\n"),
};

} // namespace

TEST(RegexStartSkipTest, MatchesStayThoseOfIcusOwnFindOnRandomAndRealText) {
    std::mt19937 random(34);
    std::vector<QString> texts = {realText()};
    for (int i = 0; i < 60; ++i)
        texts.push_back(randomText(random));
    int skipping = 0;
    for (const QString& typed : kPatterns) {
        for (const bool caseSensitive : {true, false}) {
            for (const bool wholeWord : {false, true}) {
                const IcuRegex regex =
                    makeSearchRegex(typed, TextSearchOptions{true, caseSensitive, wholeWord});
                skipping += regex.skipsToPossibleStarts();
                for (const QString& text : texts) {
                    const qsizetype edge = std::min<qsizetype>(3, text.size());
                    for (const TextRange region :
                         {TextRange{0, text.size()}, TextRange{edge, text.size() - 2 * edge}}) {
                        if (region.length < 0)
                            continue;
                        ASSERT_EQ(ourMatches(regex, text, region),
                                  plainIcuMatches(regex, text, region))
                            << regex.pattern().toStdString() << " over "
                            << text.left(200).toStdString();
                    }
                }
            }
        }
    }
    // Most of these take the new path; the rest check that refusing it changes nothing.
    EXPECT_GT(skipping, int(kPatterns.size()) * 3);
}

TEST(RegexStartSkipTest, LiteralQueriesSkipToTheirFirstCharacterOnlyWhereThatIsSound) {
    // As the find bar escapes a literal typed in expression mode.
    EXPECT_TRUE(makeSearchRegex(QStringLiteral("v2.0"), TextSearchOptions{false, false, false})
                    .skipsToPossibleStarts());
    // Ignoring case, "ß" matches "ss": no first unit is known.
    EXPECT_FALSE(makeSearchRegex(QStringLiteral("\u00DF"), TextSearchOptions{true, false, false})
                     .skipsToPossibleStarts());
    const QString text = QStringLiteral("xx ss SS \u00DF st \uFB06 ");
    for (const QString& query :
         {QStringLiteral("ss"), QStringLiteral("st"), QStringLiteral("\u00DF")}) {
        const IcuRegex regex = makeSearchRegex(query, TextSearchOptions{true, false, false});
        EXPECT_EQ(regex.matchRanges(text), plainIcuMatches(regex, text, TextRange{0, text.size()}))
            << query.toStdString();
        EXPECT_FALSE(regex.matchRanges(text).empty());
    }
}
