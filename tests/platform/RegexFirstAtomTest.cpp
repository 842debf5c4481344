#include "platform/RegexFirstAtom.h"
#include "platform/RegexStartFilter.h"

#include <QString>
#include <gtest/gtest.h>
#include <random>

using namespace dunmoss;

namespace {

QString atomOf(const char16_t* pattern, bool caseInsensitive = false) {
    const auto atom = analyseFirstAtom(QString::fromUtf16(pattern), caseInsensitive);
    return atom ? *atom : QStringLiteral("<none>");
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
