#include "text/CompletionWords.h"
#include "text/CodeCompletion.h"

#include <QLocale>
#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

// Words that collide in every way the ranking cares about: letter case, keywords, digits,
// underscores, prefixes of one another; and neighbours that decide where a word stands:
// letters outside the Basic Multilingual Plane, combining marks, accented letters.
QString randomText(QRandomGenerator& random, int pieces) {
    static const QStringList parts{"total",
                                   "Total",
                                   "TOTAL",
                                   "tot",
                                   "to",
                                   "toString",
                                   "to_string",
                                   "_tmp",
                                   "tmp2",
                                   "while",
                                   "return",
                                   "class",
                                   "printf",
                                   "print",
                                   "x9y",
                                   "9abc",
                                   "abc",
                                   "ABC",
                                   "abC",
                                   "élan",
                                   "e\u0301lan",
                                   "abc\u0301",
                                   "\U0001D400bc",
                                   "ab\U0001F600cd",
                                   "\U00020000",
                                   "zeta",
                                   "Zeta",
                                   "ß",
                                   "straße",
                                   "STRASSE",
                                   "ǅemal",
                                   "Kelvin",
                                   "kilo",
                                   "is_it",
                                   "Iota",
                                   "ss_s",
                                   " ",
                                   " ",
                                   "\n",
                                   "\t",
                                   ".",
                                   "(",
                                   "/",
                                   "-",
                                   "\u2028",
                                   "\r\n"};
    QString text;
    for (int i = 0; i < pieces; ++i)
        text += parts[random.bounded(parts.size())];
    return text;
}

// `count` made-up identifiers, repeats and case variants likely: few letters, so that many
// share a start and most hold each letter somewhere.
QString randomIdentifiers(QRandomGenerator& random, int count) {
    static const QString first = QStringLiteral("abchsSCHyi_Kk");
    static const QString next = QStringLiteral("abchsSHyiIk_9");
    static const QStringList between{" ", "\n", "(", " \u00E9", "\U0001D400 ", ".", "-"};
    QString text;
    for (int i = 0; i < count; ++i) {
        text += first.at(random.bounded(first.size()));
        for (int length = 2 + random.bounded(5); length > 0; --length)
            text += next.at(random.bounded(next.size()));
        text += between[random.bounded(between.size())];
    }
    return text;
}

} // namespace

// Vocabularies far past the list's limit, where the list is cut among words starting with the
// partial word: still the whole text's list, in orders where those words do not stand
// together (Czech "ch" follows "h"), with words typed since the gathering beside it.
TEST(CompletionWords, ALargeVocabularyRanksExactlyAsTheWholeText) {
    struct DefaultLocale {
        ~DefaultLocale() { QLocale::setDefault(QLocale::c()); }
    } restore;
    const QStringList partials{"",       "a",      "A", "c", "ch", "CH",     "h",
                               "s",      "S",      "_", "k", "ba", "\u212A", "\u017F",
                               "\u0130", "\u0131", "y", "i", "9",  "bb",     "s_"};
    for (const char* locale : {"C", "en_US", "sv_SE", "tr_TR", "cs_CZ"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
        QRandomGenerator random(7);
        for (int round = 0; round < 4; ++round) {
            const QString gatheredPart = randomIdentifiers(random, 1500);
            // Half the rounds, words typed after the gathering, on a line of their own.
            const QString typedPart =
                round % 2 ? QStringLiteral("\n") + randomIdentifiers(random, 30) : QString();
            const QString text = gatheredPart + typedPart;
            const CompletionWords gathered = *CompletionWords::gather(gatheredPart);
            const QStringList added =
                CompletionWords::inRegion(text, TextRange{gatheredPart.size(), typedPart.size()});
            for (const QString& partial : partials) {
                SCOPED_TRACE(std::string(locale) + " | " + partial.toStdString());
                const TextRange caret{random.bounded(text.size() + 1), 0};
                EXPECT_EQ(
                    wordCompletions(gathered, added, text, EditorLanguage::Python, partial, caret,
                                    std::nullopt)
                        .join(u'|')
                        .toStdString(),
                    wordCompletions(text, EditorLanguage::Python, partial, caret, std::nullopt)
                        .join(u'|')
                        .toStdString());
            }
        }
    }
}

// A key reads about as many words as the list shows, not every word holding the partial
// word: here 5,000 rank before the few starting with it, and none holds the last one.
TEST(CompletionWords, AKeyReadsAboutAsManyWordsAsTheListShows) {
    QString text;
    for (int i = 0; i < 5000; ++i)
        text += QStringLiteral("a_q%1 ").arg(i);
    for (int i = 0; i < 200; ++i)
        text += QStringLiteral("Q_%1 ").arg(i);
    const CompletionWords gathered = *CompletionWords::gather(text);
    for (const QString& partial :
         {QStringLiteral("q"), QStringLiteral("Q_1"), QStringLiteral("a_"), QStringLiteral("z")}) {
        qsizetype read = -1;
        const QStringList offered = wordCompletions(gathered, {}, text, EditorLanguage::Cpp,
                                                    partial, TextRange{0, 0}, std::nullopt, &read);
        EXPECT_EQ(offered, wordCompletions(text, EditorLanguage::Cpp, partial, TextRange{0, 0},
                                           std::nullopt))
            << partial.toStdString();
        EXPECT_LE(read, 2 * kCompletionLimit) << partial.toStdString();
    }
}

// The words gathered once and filtered per partial word give the very list the whole-text
// computation gives: same candidates, same order, same de-duplication, in the C locale's order
// and in the collation of real ones.
TEST(CompletionWords, GatheredWordsRankExactlyAsTheWholeText) {
    struct DefaultLocale {
        ~DefaultLocale() { QLocale::setDefault(QLocale::c()); }
    } restore;
    for (const char* locale : {"C", "en_US", "sv_SE", "tr_TR"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
        QRandomGenerator random(20261209);
        const QStringList partials{
            "",  "t",          "to",       "TO",     " tot ",  "a",      "b",  "c",      "e",
            "l", "st",         "ss",       "_",      "9",      "x",      "wh", "zeta",   "ab",
            "é", "\U0001D400", "\u212Ael", "\u017F", "\u0130", "\u0131", "ss", "ab\ncd", "K"};
        const EditorLanguage languages[] = {EditorLanguage::PlainText, EditorLanguage::Cpp,
                                            EditorLanguage::Python, EditorLanguage::Sql};
        for (int round = 0; round < 60; ++round) {
            const QString text = randomText(random, 5 + random.bounded(300));
            const EditorLanguage language = languages[round % 4];
            const std::optional<CompletionWords> gathered = CompletionWords::gather(text);
            ASSERT_TRUE(gathered.has_value());
            for (const QString& partial : partials) {
                const TextRange caret{random.bounded(text.size() + 1), 0};
                SCOPED_TRACE(text.toStdString() + " | " + partial.toStdString());
                EXPECT_EQ(
                    wordCompletions(*gathered, {}, text, language, partial, caret, std::nullopt)
                        .join(u'|')
                        .toStdString(),
                    wordCompletions(text, language, partial, caret, std::nullopt)
                        .join(u'|')
                        .toStdString());
            }
        }
    }
}

// Many distinct words: the list is cut at its limit in the same place either way.
TEST(CompletionWords, ACutListMatchesTheWholeText) {
    QString text;
    for (int i = 999; i >= 0; --i)
        text += QStringLiteral("word%1 Word%1 other%1\n").arg(i);
    const CompletionWords gathered = *CompletionWords::gather(text);
    for (const QString& partial :
         {QString(), QStringLiteral("wor"), QStringLiteral("r1"), QStringLiteral("other99")})
        EXPECT_EQ(
            wordCompletions(gathered, {}, text, EditorLanguage::Cpp, partial, TextRange{0, 0},
                            std::nullopt),
            wordCompletions(text, EditorLanguage::Cpp, partial, TextRange{0, 0}, std::nullopt))
            << partial.toStdString();
}

// A part of the text yields the words a run over the whole text finds in it: a word its edge
// cuts is none.
TEST(CompletionWords, ARegionHoldsTheWholeTextsWordsInsideIt) {
    const QString text = QStringLiteral("alpha beta_1 gamma\ndelta epsilon\U0001D400x zeta");
    EXPECT_EQ(CompletionWords::inRegion(text, TextRange{0, 18}),
              (QStringList{"alpha", "beta_1", "gamma"}));
    // Cut inside "alpha" and inside "gamma".
    EXPECT_EQ(CompletionWords::inRegion(text, TextRange{2, 14}), QStringList{"beta_1"});
    // A letter outside the Basic Multilingual Plane goes on the word: "epsilon" stands nowhere.
    EXPECT_EQ(CompletionWords::inRegion(text, TextRange{19, text.size() - 19}),
              (QStringList{"delta", "zeta"}));
}

// Between two gatherings, words typed since the last are offered beside it; one already
// gathered or fixed is not offered twice.
TEST(CompletionWords, AddedWordsJoinTheGatheredOnesOnce) {
    const CompletionWords gathered = *CompletionWords::gather(QStringLiteral("total toll"));
    const QString text = QStringLiteral("total toll totem to");
    const QStringList offered =
        wordCompletions(gathered, {"totem", "toll", "return"}, text, EditorLanguage::Cpp, "to",
                        TextRange{text.size(), 0}, std::nullopt);
    EXPECT_EQ(offered, wordCompletions(text, EditorLanguage::Cpp, "to", TextRange{text.size(), 0},
                                       std::nullopt));
    EXPECT_EQ(offered.count(QStringLiteral("toll")), 1);
}

TEST(CompletionWords, ACancelledGatheringGivesNothing) {
    EXPECT_FALSE(CompletionWords::gather(QStringLiteral("some words here"), [] { return true; }));
}

// The check that lets a pause keep the words gathered before: it says "the same" exactly when a
// run over each whole text finds the same identifiers in the same order, whatever the edit and
// whatever stands around it (marks, letters beyond the Basic Multilingual Plane, line breaks).
TEST(CompletionWords, SameIdentifiersAgreesWithRunsOverBothWholeTexts) {
    const auto identifiers = [](const QString& text) {
        QStringList words;
        forEachCompletionIdentifier(text, TextRange{0, text.size()},
                                    [&](QStringView word) { words.append(word.toString()); });
        return words;
    };
    static const QStringList typed{"",           "e", " ", "\n", "ab",  "é",   "\u0301",
                                   "\U0001D400", "9", "_", ".",  "x y", "tot", "\n\n"};
    QRandomGenerator random(64);
    int same = 0, other = 0;
    for (int round = 0; round < 3000; ++round) {
        const QString before = randomText(random, 1 + random.bounded(60));
        const qsizetype at = random.bounded(int(before.size()) + 1);
        const qsizetype removed =
            random.bounded(int(std::min<qsizetype>(before.size() - at, 4)) + 1);
        QString after = before;
        after.replace(at, removed, typed[random.bounded(typed.size())]);
        const bool expected = identifiers(before) == identifiers(after);
        ASSERT_EQ(CompletionWords::sameIdentifiers(before, after), expected)
            << round << " " << qPrintable(before) << " -> " << qPrintable(after);
        (expected ? same : other) += 1;
    }
    // Both answers were asked for often.
    EXPECT_GT(same, 300);
    EXPECT_GT(other, 300);
    EXPECT_FALSE(CompletionWords::sameIdentifiers(
        QStringLiteral("alpha beta"), QStringLiteral("alpha beta"), [] { return true; }));
}
