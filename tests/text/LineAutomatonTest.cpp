#include "text/LineAutomaton.h"
#include "platform/IcuRegex.h"

#include <QRandomGenerator>
#include <QStringList>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

// Pieces where folding, line ends, surrogates and the atoms below meet.
const QStringList kPieces = {
    QStringLiteral("ed"),   QStringLiteral("Ed"),     QStringLiteral("ab"),
    QStringLiteral("c"),    QStringLiteral("@"),      QStringLiteral("ss"),
    QStringLiteral("st"),   QStringLiteral("k"),      QStringLiteral("K"),
    QStringLiteral(" "),    QStringLiteral("\n"),     QStringLiteral("\r"),
    QStringLiteral("\t"),   QStringLiteral("_"),      QStringLiteral("1"),
    QStringLiteral("0x"),   QStringLiteral("."),      QStringLiteral("-"),
    QStringLiteral("ſ"),    QStringLiteral("\u212A"), QStringLiteral("ß"),
    QStringLiteral("ﬀ"),    QStringLiteral("é"),      QStringLiteral("漢"),
    QStringLiteral("😀"),    QStringLiteral("\u0085"), QStringLiteral("\xa0"),
    QString(QChar(0xD800)), QString(QChar(0xDC00)),
};

QString randomText(QRandomGenerator& random, int pieces) {
    QString text;
    for (int i = 0; i < pieces; ++i)
        text += kPieces[random.bounded(int(kPieces.size()))];
    return text;
}

// An expression made of what the automaton models, and some of what it does not.
QString randomPattern(QRandomGenerator& random, int depth = 0) {
    static const QStringList atoms = {
        QStringLiteral("e"),           QStringLiteral("d"),
        QStringLiteral("s"),           QStringLiteral("k"),
        QStringLiteral("@"),           QStringLiteral("."),
        QStringLiteral("\\w"),         QStringLiteral("\\W"),
        QStringLiteral("\\s"),         QStringLiteral("\\S"),
        QStringLiteral("\\d"),         QStringLiteral("[^x]"),
        QStringLiteral("[a-z]"),       QStringLiteral("[A-Z_]"),
        QStringLiteral("[[:alpha:]]"), QStringLiteral("\\h"),
        QStringLiteral("\\."),         QStringLiteral("ß"),
        QStringLiteral("ſ"),           QStringLiteral("😀"),
        QStringLiteral("é"),           QStringLiteral("\\x{212A}"),
        QStringLiteral("\\p{Lu}"),     QStringLiteral("\\Qa.b\\E"),
        QStringLiteral("\\t"),         QStringLiteral("[\\p{L}&&[^a-d]]"),
    };
    static const QStringList assertions = {
        QStringLiteral("\\b"),     QStringLiteral("\\B"),      QStringLiteral("^"),
        QStringLiteral("$"),       QStringLiteral("(?<=e)"),   QStringLiteral("(?!d)"),
        QStringLiteral("(?=\\w)"), QStringLiteral("(?<!\\s)"),
    };
    static const QStringList quantifiers = {
        QString(),
        QString(),
        QString(),
        QStringLiteral("?"),
        QStringLiteral("*"),
        QStringLiteral("+"),
        QStringLiteral("{2}"),
        QStringLiteral("{1,3}"),
        QStringLiteral("+?"),
        QStringLiteral("*+"),
        QStringLiteral("{2,}"),
    };
    QString pattern;
    const int count = 1 + random.bounded(4);
    for (int i = 0; i < count; ++i) {
        const int kind = random.bounded(10);
        if (kind == 0) {
            pattern += assertions[random.bounded(int(assertions.size()))];
            continue;
        }
        QString atom;
        if (kind == 1 && depth < 2) {
            static const QStringList openings = {QStringLiteral("("), QStringLiteral("(?:"),
                                                 QStringLiteral("(?>"), QStringLiteral("(?<n>")};
            atom = openings[random.bounded(int(openings.size()))] +
                   randomPattern(random, depth + 1) + QStringLiteral("|") +
                   randomPattern(random, depth + 1) + QStringLiteral(")");
        } else {
            atom = atoms[random.bounded(int(atoms.size()))];
        }
        pattern += atom + quantifiers[random.bounded(int(quantifiers.size()))];
    }
    return pattern;
}

} // namespace

TEST(LineAutomaton, NeverTurnsAwayATextWhereIcuFindsAMatch) {
    QRandomGenerator random(2026);
    int built = 0;
    int turnedAway = 0;
    for (int round = 0; round < 1000; ++round) {
        const QString pattern = randomPattern(random);
        const bool folds = random.bounded(2) == 0;
        std::optional<IcuRegex> regex;
        try {
            regex.emplace(pattern, folds ? IcuRegex::CaseInsensitive : IcuRegex::NoOptions,
                          IcuRegex::kUserPatternBound);
        } catch (const RegexError&) {
            continue;
        }
        const std::optional<LineAutomaton> automaton = LineAutomaton::of(pattern, folds);
        if (!automaton)
            continue;
        ++built;
        for (int t = 0; t < 8; ++t) {
            const QString text = randomText(random, 1 + random.bounded(12));
            bool matches = false;
            try {
                for (const TextRange& range : regex->matchRanges(text))
                    matches = matches || range.length > 0;
            } catch (const RegexError&) {
                continue; // too costly to tell
            }
            const bool may = automaton->mayMatch(text);
            turnedAway += may ? 0 : 1;
            if (matches) {
                EXPECT_TRUE(may) << pattern.toStdString() << (folds ? " (folds) " : " ") << "over "
                                 << text.toStdString();
            }
            // UTF-8 of a text with lone surrogates is not that text.
            if (text.isValidUtf16()) {
                EXPECT_EQ(automaton->mayMatchUtf8(text.toUtf8()), may)
                    << pattern.toStdString() << " over " << text.toStdString();
            }
        }
    }
    // The property above holds trivially for an automaton that lets everything through.
    EXPECT_GT(built, 300);
    EXPECT_GT(turnedAway, 1000);
}

TEST(LineAutomaton, ModelsWhatItCanAndTellsLinesApart) {
    const auto automaton = LineAutomaton::of(u"[A-Z][a-z]+ed\\b", false);
    ASSERT_TRUE(automaton);
    EXPECT_FALSE(automaton->mayMatch(u"unsigned int defined(FOO_ENABLED)"));
    EXPECT_TRUE(automaton->mayMatch(u"  Defined here"));
    // A class is taken to match any character beyond ASCII.
    EXPECT_TRUE(automaton->mayMatch(u"Üsed Ünited"));
    EXPECT_FALSE(automaton->mayMatch(u"ABed"));
    EXPECT_FALSE(automaton->mayMatchUtf8("unsigned\nDefin\ned"));

    // Folding: ASCII other cases, and a character beyond ASCII that may stand for ASCII ones.
    const auto folded = LineAutomaton::of(u"st\\w+@", true);
    ASSERT_TRUE(folded);
    EXPECT_TRUE(folded->mayMatch(u"ST_x@"));
    EXPECT_FALSE(folded->mayMatch(u"st @ x@"));
    EXPECT_TRUE(folded->mayMatch(u"ﬆx@"));
    EXPECT_TRUE(folded->mayMatchUtf8("\xef\xac\x86x@"));

    // What it does not model, and what may match anywhere, makes no automaton.
    for (const char16_t* pattern :
         {u"(a)\\1", u"a\\Xb", u"a\\Rb", u"x*", u"(?x) a", u"a{1000}", u"\\k<n>", u"\\Ga"})
        EXPECT_FALSE(LineAutomaton::of(pattern, false))
            << QString::fromUtf16(pattern).toStdString();
    // Folding turned on anywhere is taken as folding throughout.
    const auto inline_ = LineAutomaton::of(u"a(?i)bc", false);
    ASSERT_TRUE(inline_);
    EXPECT_TRUE(inline_->mayMatch(u"ABC"));
    EXPECT_FALSE(inline_->mayMatch(u"AB C"));
    // Folding makes a character beyond ASCII stand for several.
    EXPECT_FALSE(LineAutomaton::of(u"ßx", true));
    EXPECT_TRUE(LineAutomaton::of(u"ßx", false));
}
