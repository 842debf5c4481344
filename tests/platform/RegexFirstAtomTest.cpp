#include "platform/RegexFirstAtom.h"
#include "platform/RegexStartFilter.h"

#include <QString>
#include <gtest/gtest.h>
#include <random>

using namespace dunmoss;

namespace {

QString atomOf(const char16_t* pattern, bool caseInsensitive = false) {
    const auto atoms = analyseFirstAtoms(QString::fromUtf16(pattern), caseInsensitive);
    return atoms ? atoms->first : QStringLiteral("<none>");
}

QString followerOf(const char16_t* pattern, bool caseInsensitive = false) {
    const auto atoms = analyseFirstAtoms(QString::fromUtf16(pattern), caseInsensitive);
    return atoms ? atoms->follower : QStringLiteral("<none>");
}

} // namespace

TEST(RegexFirstAtomTest, FindsTheAtomEveryMatchBeginsWith) {
    EXPECT_EQ(atomOf(u"[0-9]+\\.[0-9]+"), QStringLiteral("(?:[0-9])"));
    EXPECT_EQ(atomOf(u"\\d"), QStringLiteral("(?:\\d)"));
    EXPECT_EQ(atomOf(u"\\.txt"), QStringLiteral("(?:\\.)"));
    EXPECT_EQ(atomOf(u"x(a|b)"), QStringLiteral("(?:x)"));
    EXPECT_EQ(atomOf(u"(a|b)", true), QStringLiteral("<none>"));
    // Behind assertions, flags and groups, as whole-word searches wrap an expression.
    EXPECT_EQ(atomOf(u"(?<![\\p{L}\\p{N}_])(?:[A-Z]\\w+)(?![\\p{L}\\p{N}_])"),
              QStringLiteral("(?:[A-Z])"));
    EXPECT_EQ(atomOf(u"(?i)\\b(?<name>(?:q)+u)"), QStringLiteral("(?i)(?:q)"));
    EXPECT_EQ(atomOf(u"^(?=\\w)x|"), QStringLiteral("<none>"));
    EXPECT_EQ(atomOf(u"(?=a|b)a"), QStringLiteral("(?:a)"));
}

TEST(RegexFirstAtomTest, RefusesWhatCouldLetAMatchBeginElsewhere) {
    for (const char16_t* pattern :
         {u"a?b",     u"a*b",     u"a{0,2}b", u"a|b",    u"(a)?b",  u"(a)*b", u"(?:a|b)c",
          u"(a){0}b", u"\\Ga",    u"a\\G",    u"(?x) a", u"a(?x)b", u"(?=a)", u"\\bfoo(?:",
          u"(?i:a)b", u"\\Qa\\E", u"",        u"\\1a",   u"\\x41",  u"(?>a)b"}) {
        EXPECT_EQ(atomOf(pattern), QStringLiteral("<none>"))
            << QString::fromUtf16(pattern).toStdString();
    }
    // Under case folding a literal that is not ASCII may match a string: "ß" matches "ss".
    EXPECT_EQ(atomOf(u"\u00DFe", true), QStringLiteral("<none>"));
    EXPECT_EQ(atomOf(u"(?i)\u00DFe"), QStringLiteral("<none>"));
    EXPECT_EQ(atomOf(u"\u00DFe"), QStringLiteral("(?:\u00DF)"));
    EXPECT_EQ(atomOf(u"se", true), QStringLiteral("(?:s)"));
}

TEST(RegexFirstAtomTest, FindsTheRequiredAtomAfterALoopOfTheFirst) {
    EXPECT_EQ(followerOf(u"[0-9]+\\.[0-9]+"), QStringLiteral("(?:\\.)"));
    EXPECT_EQ(followerOf(u"(?i)\\w+?@"), QStringLiteral("(?i)(?:@)"));
    EXPECT_EQ(followerOf(u"(?<!\\w)(?:\\d++x)"), QStringLiteral("(?:x)"));
    // Not a loop, an optional or counted follower, or one behind a group.
    for (const char16_t* pattern :
         {u"[0-9]\\.", u"\\d+x?", u"\\d+x*", u"\\d+x{2}", u"(\\d+)x", u"\\d+(?=x)", u"\\d+"}) {
        EXPECT_EQ(followerOf(pattern), QString()) << QString::fromUtf16(pattern).toStdString();
    }
    EXPECT_EQ(followerOf(u"\\d+\u00DF", true), QString());
}

TEST(RegexStartFilterTest, ARunOfTheLoopWithoutItsFollowerIsPassedAndNoPossibleStartIs) {
    std::mt19937 random(11);
    const char16_t alphabet[] = {u'1', u'2', u'.', u'.', u'a', u' ', 0xDF, 0xD83D, 0xDE00};
    RegexStartFilter::UnitSet digits{};
    RegexStartFilter::UnitSet dot{};
    for (char16_t u = u'0'; u <= u'9'; ++u)
        digits[u] = true;
    dot[u'.'] = true;
    const RegexStartFilter filter(digits, dot);
    ASSERT_TRUE(filter.usesFollower());
    // A follower set that overlaps the loop's is not used.
    EXPECT_FALSE(RegexStartFilter(digits, digits).usesFollower());
    for (int round = 0; round < 400; ++round) {
        QString text;
        const int length = int(random() % 60);
        for (int i = 0; i < length; ++i)
            text.append(QChar(alphabet[random() % std::size(alphabet)]));
        const auto* units = reinterpret_cast<const char16_t*>(text.utf16());
        const qsizetype limit = text.size() - qsizetype(random() % 3 == 0 && length > 0);
        // Where "[0-9]+\\." could match, counting any unit outside ASCII as either set.
        const auto possible = [&](qsizetype j) {
            for (qsizetype k = j; k < limit; ++k) {
                const char16_t u = units[k];
                const bool loops = u >= 0x80 || digits[u];
                if (k > j && (u >= 0x80 || dot[u]))
                    return true;
                if (!loops)
                    return false;
            }
            return false;
        };
        RegexStartFilter::Progress progress;
        for (qsizetype next = 0; next < limit; ++next) {
            const qsizetype target = filter.restartTarget(units, next, next, limit, progress);
            if (target < 0)
                continue;
            ASSERT_GE(target, next + 1);
            ASSERT_LE(target, limit);
            for (qsizetype j = next; j < target; ++j)
                ASSERT_FALSE(possible(j)) << "round " << round << " at " << j;
        }
    }
}

TEST(RegexStartFilterTest, NextCandidateAgreesWithAUnitByUnitScan) {
    std::mt19937 random(7);
    const char16_t alphabet[] = {u'a', u'z', u'0', u'9', u'_',   u' ',   u'\n',  u'\r', u'.',
                                 u'~', 0x7F, 0x80, 0xDF, 0x212A, 0xD83D, 0xDE00, 0xFFFF};
    for (int round = 0; round < 300; ++round) {
        std::array<bool, 128> canStart{};
        // Few ranges (the vector scan), many (unit by unit) or none.
        const int kind = round % 3;
        for (int u = 0; u < 128; ++u) {
            if (kind == 0)
                canStart[u] = (u >= '0' && u <= '9') || u == '_' || u == 0x7F;
            else if (kind == 1)
                canStart[u] = random() % 3 == 0;
        }
        const RegexStartFilter filter(canStart);
        QString text;
        const int length = int(random() % 70);
        for (int i = 0; i < length; ++i)
            text.append(QChar(random() % 4 == 0 ? alphabet[random() % std::size(alphabet)]
                                                : char16_t(u'a' + random() % 26)));
        const auto* units = reinterpret_cast<const char16_t*>(text.utf16());
        for (qsizetype from = 0; from <= text.size(); ++from) {
            const qsizetype limit = from + qsizetype(random() % (text.size() - from + 1));
            qsizetype expected = from;
            while (expected < limit && !(units[expected] >= 0x80 || canStart[units[expected]]))
                ++expected;
            ASSERT_EQ(filter.nextCandidate(units, from, limit), expected)
                << "round " << round << " from " << from;
        }
    }
}
