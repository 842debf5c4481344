#include "platform/IcuRegex.h"
#include "platform/IcuCharacterClasses.h"
#include "platform/RegexLongReads.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <unicode/regex.h>
#include <vector>

using namespace dunmoss;

namespace {

std::vector<TextRange> ranges(const QString& pattern, const QString& text,
                              IcuRegex::Options options = IcuRegex::NoOptions) {
    return IcuRegex(pattern, options).matchRanges(text);
}

// The expansion ICU itself gives for the first match, through appendReplacement.
QString icuExpansion(const QString& pattern, const QString& text, const QString& templ,
                     UErrorCode& status) {
    UParseError pe;
    const icu::UnicodeString p(reinterpret_cast<const UChar*>(pattern.utf16()), pattern.size());
    std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(p, 0, pe, status));
    const icu::UnicodeString input(reinterpret_cast<const UChar*>(text.utf16()), text.size());
    std::unique_ptr<icu::RegexMatcher> m(compiled->matcher(input, status));
    if (!m->find(status))
        return QStringLiteral("<no match>");
    // Start appending at the match so only the expansion lands in the output.
    const int32_t start = m->start(status);
    icu::UnicodeString out;
    m->appendReplacement(
        out, icu::UnicodeString(reinterpret_cast<const UChar*>(templ.utf16()), templ.size()),
        status);
    return QString(reinterpret_cast<const QChar*>(out.getBuffer()) + start, out.length() - start);
}

// ICU's own find loop over the whole text.
std::vector<TextRange> icuRanges(const QString& pattern, const QString& text, uint32_t flags = 0) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError pe;
    const icu::UnicodeString p(reinterpret_cast<const UChar*>(pattern.utf16()), pattern.size());
    std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(p, flags, pe, status));
    const icu::UnicodeString input(reinterpret_cast<const UChar*>(text.utf16()), text.size());
    std::unique_ptr<icu::RegexMatcher> m(compiled->matcher(input, status));
    std::vector<TextRange> found;
    while (U_SUCCESS(status) && m->find(status))
        found.push_back(TextRange{m->start(status), m->end(status) - m->start(status)});
    EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    return found;
}

// Whether ICU over the whole text finds a match that starts at the position, or its error.
QString icuLookingAt(const QString& pattern, const QString& text, qsizetype at) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError pe;
    const icu::UnicodeString p(reinterpret_cast<const UChar*>(pattern.utf16()), pattern.size());
    std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(p, 0, pe, status));
    const icu::UnicodeString input(reinterpret_cast<const UChar*>(text.utf16()), text.size());
    std::unique_ptr<icu::RegexMatcher> m(compiled->matcher(input, status));
    m->setStackLimit(0, status); // without a limit
    m->region(at, text.size(), status);
    const bool found = m->lookingAt(status);
    return U_FAILURE(status) ? QString::fromLatin1(u_errorName(status)) : QString::number(found);
}

// The pattern inside the boundaries a whole-word search puts around it.
QString wholeWord(const QString& pattern) {
    const QString word =
        QStringLiteral("\\p{L}\\p{M}\\p{N}_&&[^\\p{Han}\\p{Hiragana}\\p{Katakana}\\p{Hangul}]");
    return QStringLiteral("(?<![") + word + QStringLiteral("])(?:") + pattern +
           QStringLiteral(")(?![") + word + QStringLiteral("])");
}

} // namespace

TEST(IcuRegexTest, InvalidPatternReportsPatternAndIcuMessage) {
    try {
        IcuRegex regex(QStringLiteral("a("));
        FAIL() << "compiled an unbalanced pattern";
    } catch (const RegexError& error) {
        EXPECT_EQ(error.kind(), RegexError::Kind::InvalidPattern);
        EXPECT_EQ(error.pattern(), QStringLiteral("a("));
        EXPECT_EQ(error.icuMessage(), QStringLiteral("U_REGEX_MISMATCHED_PAREN"));
        EXPECT_TRUE(error.localizedDescription().contains(QStringLiteral("a(")));
    }
    EXPECT_THROW(IcuRegex(QStringLiteral("[z-a]")), RegexError);
}

TEST(IcuRegexTest, OptionsChangeMatching) {
    const QString text = QStringLiteral("Ab\nab");
    EXPECT_EQ(ranges(QStringLiteral("ab"), text).size(), 1u);
    EXPECT_EQ(ranges(QStringLiteral("ab"), text, IcuRegex::CaseInsensitive).size(), 2u);
    // Without the multi-line option "^" only anchors at the start of the text.
    EXPECT_EQ(ranges(QStringLiteral("^a"), text, IcuRegex::CaseInsensitive).size(), 1u);
    EXPECT_EQ(
        ranges(QStringLiteral("^a"), text, IcuRegex::CaseInsensitive | IcuRegex::AnchorsMatchLines)
            .size(),
        2u);
    EXPECT_TRUE(ranges(QStringLiteral("b.a"), text).empty());
    EXPECT_EQ(ranges(QStringLiteral("b.a"), text, IcuRegex::DotMatchesLineSeparators).size(), 1u);
    EXPECT_EQ(
        ranges(QStringLiteral("a.b"), QStringLiteral("a.b axb"), IcuRegex::IgnoreMetacharacters),
        (std::vector<TextRange>{{0, 3}}));
    EXPECT_EQ(ranges(QStringLiteral("a b # comment"), QStringLiteral("ab"),
                     IcuRegex::AllowCommentsAndWhitespace),
              (std::vector<TextRange>{{0, 2}}));
}

TEST(IcuRegexTest, ZeroLengthMatchesAdvanceAndRangesCountUtf16Units) {
    EXPECT_EQ(ranges(QStringLiteral("x*"), QStringLiteral("axb")),
              (std::vector<TextRange>{{0, 0}, {1, 1}, {2, 0}, {3, 0}}));
    // A character outside the basic plane is two units long.
    const QString text = QStringLiteral("\U0001F600z\U0001F600");
    EXPECT_EQ(ranges(QStringLiteral("z"), text), (std::vector<TextRange>{{2, 1}}));
    EXPECT_EQ(ranges(QStringLiteral("."), text).size(), 3u);
    EXPECT_EQ(ranges(QStringLiteral("."), text)[2], (TextRange{3, 2}));
}

TEST(IcuRegexTest, GroupsAndRegions) {
    const IcuRegex regex(QStringLiteral("(a)|(b)"));
    EXPECT_EQ(regex.captureGroupCount(), 2);
    const QString text = QStringLiteral("xbab");
    IcuRegexMatcher whole(regex, text);
    ASSERT_TRUE(whole.findNext());
    EXPECT_EQ(whole.range(), (TextRange{1, 1}));
    EXPECT_TRUE(whole.group(1).isNotFound());
    EXPECT_EQ(whole.group(2), (TextRange{1, 1}));
    EXPECT_EQ(whole.matchedText(), QStringLiteral("b"));

    IcuRegexMatcher region(regex, text, TextRange{2, 1});
    ASSERT_TRUE(region.findNext());
    EXPECT_EQ(region.range(), (TextRange{2, 1}));
    EXPECT_FALSE(region.findNext());

    // Edges between the halves of a pair leave the character out.
    const QString pairs = QStringLiteral("\U0001F600ab\U0001F600");
    IcuRegexMatcher split(IcuRegex(QStringLiteral(".+")), pairs, TextRange{1, 4});
    ASSERT_TRUE(split.findNext());
    EXPECT_EQ(split.range(), (TextRange{2, 2}));
    // With transparent bounds look-behind sees the text before the region.
    const IcuRegex behind(QStringLiteral("(?<=a)b"));
    IcuRegexMatcher transparent(behind, text, TextRange{3, 1}, true);
    ASSERT_TRUE(transparent.findNext());
    EXPECT_EQ(transparent.range(), (TextRange{3, 1}));
}

TEST(IcuRegexTest, TemplatesExpandLikeIcuAppendReplacement) {
    const QString pattern = QStringLiteral("(?<word>\\w+)=(\\d)?");
    const QString text = QStringLiteral("  key=7 rest");
    const IcuRegex regex(pattern);
    const QStringList templates = {
        QStringLiteral("[$1]"),
        QStringLiteral("$0$0"),
        QStringLiteral("\\$1"),
        QStringLiteral("\\\\$2"),
        QStringLiteral("$21"),
        QStringLiteral("$10"),
        QStringLiteral("${word}!"),
        QStringLiteral("\\u0041\\U0001F600"),
        QStringLiteral("\\uZZ"),
        QStringLiteral("\\u12ZZ"),
        QStringLiteral("\\u12"),
        QStringLiteral("\\U00110000x"),
        QStringLiteral("\\u"),
        QStringLiteral("end\\"),
        QStringLiteral("\\U\U0001F600x"),
        QStringLiteral("\\u12\U0001F600x"),
        QStringLiteral("plain"),
        QStringLiteral(""),
        QStringLiteral("\\n"),
        QStringLiteral("$2$1$0"),
        QStringLiteral("$\u0661\u0660"),
    };
    for (const QString& templ : templates) {
        UErrorCode status = U_ZERO_ERROR;
        const QString expected = icuExpansion(pattern, text, templ, status);
        ASSERT_TRUE(U_SUCCESS(status)) << templ.toStdString();
        IcuRegexMatcher matcher(regex, text);
        ASSERT_TRUE(matcher.findNext());
        EXPECT_EQ(matcher.replacement(regex.compileTemplate(templ)), expected)
            << templ.toStdString();
    }
    // Templates ICU refuses are refused here too, before any match is needed.
    for (const QString& bad : {QStringLiteral("$"), QStringLiteral("$x"), QStringLiteral("$3"),
                               QStringLiteral("${nope}"), QStringLiteral("${word")}) {
        UErrorCode status = U_ZERO_ERROR;
        icuExpansion(pattern, text, bad, status);
        EXPECT_TRUE(U_FAILURE(status)) << bad.toStdString();
        EXPECT_THROW(regex.compileTemplate(bad), RegexError) << bad.toStdString();
    }
}

TEST(IcuRegexTest, LenientTemplatesKeepUnnamedReferencesAsTyped) {
    const IcuRegex regex(QStringLiteral("(?<word>\\w+)=(\\d)?"));
    const QString text = QStringLiteral("  key=7 rest");
    const auto expand = [&](const QString& templ) {
        IcuRegexMatcher matcher(regex, text);
        EXPECT_TRUE(matcher.findNext());
        return matcher.replacement(
            regex.compileTemplate(templ, IcuRegex::GroupReferences::Lenient));
    };
    EXPECT_EQ(expand(QStringLiteral("$")), QStringLiteral("$"));
    EXPECT_EQ(expand(QStringLiteral("$x$1")), QStringLiteral("$xkey"));
    EXPECT_EQ(expand(QStringLiteral("$3|$39|$21")), QStringLiteral("|9|71"));
    EXPECT_EQ(expand(QStringLiteral("${nope}${word}")), QStringLiteral("${nope}key"));
    EXPECT_EQ(expand(QStringLiteral("${word")), QStringLiteral("${word"));
    EXPECT_EQ(expand(QStringLiteral("${wo-rd}")), QStringLiteral("${wo-rd}"));
    // Valid templates expand exactly as in strict mode.
    for (const QString& valid :
         {QStringLiteral("[$1]"), QStringLiteral("\\$1$2$0"), QStringLiteral("${word}\\u0041")}) {
        IcuRegexMatcher matcher(regex, text);
        ASSERT_TRUE(matcher.findNext());
        EXPECT_EQ(expand(valid), matcher.replacement(regex.compileTemplate(valid)));
    }
}

TEST(IcuRegexTest, SurrogateEscapesNeverInsertHalfAPair) {
    const IcuRegex regex(QStringLiteral("(\\w+)"));
    const auto expand = [&](const QString& templ) {
        IcuRegexMatcher matcher(regex, QStringLiteral("key"));
        EXPECT_TRUE(matcher.findNext());
        return matcher.replacement(
            regex.compileTemplate(templ, IcuRegex::GroupReferences::Lenient));
    };
    // A pair written as two escapes, in either form, is the one character.
    EXPECT_EQ(expand(QStringLiteral("\\uD83D\\uDE00!")), QStringLiteral("\U0001F600!"));
    EXPECT_EQ(expand(QStringLiteral("\\U0000D83D\\U0000DE00")), QStringLiteral("\U0001F600"));
    // Any other surrogate escape inserts U+FFFD, and what follows it stays as it was.
    EXPECT_EQ(expand(QStringLiteral("\\uDBBB")), QStringLiteral("\uFFFD"));
    EXPECT_EQ(expand(QStringLiteral("\\uDBBB$1")), QStringLiteral("\uFFFDkey"));
    EXPECT_EQ(expand(QStringLiteral("\\uDC00\\uD800x")), QStringLiteral("\uFFFD\uFFFDx"));
    EXPECT_EQ(expand(QStringLiteral("\\uD83D\\u0041")), QStringLiteral("\uFFFDA"));
}

TEST(IcuRegexTest, EscapedPatternAndTemplateAreLiteral) {
    QString everything;
    for (char16_t c = 0x20; c < 0x7F; ++c)
        everything.append(QChar(c));
    everything.append(QStringLiteral("\t\n\r é\U0001F600"));
    for (const auto options : {IcuRegex::Options(IcuRegex::NoOptions),
                               IcuRegex::Options(IcuRegex::AllowCommentsAndWhitespace)}) {
        const IcuRegex literal(IcuRegex::escapedPattern(everything), options);
        const QString text = QStringLiteral("xx") + everything + QStringLiteral("yy");
        EXPECT_EQ(literal.matchRanges(text), (std::vector<TextRange>{{2, everything.size()}}));
    }
    const QString typed = QStringLiteral("cost: $1 \\ $0 ${x}");
    const IcuRegex regex(QStringLiteral("(a)"));
    IcuRegexMatcher matcher(regex, QStringLiteral("a"));
    ASSERT_TRUE(matcher.findNext());
    EXPECT_EQ(matcher.replacement(regex.compileTemplate(IcuRegex::escapedTemplate(typed))), typed);
}

TEST(IcuRegexTest, AStopFlagEndsTheRunAsCancelledWithOrWithoutABound) {
    const QString text = QString(40, u'a') + u'!';
    for (const RegexWorkBound bound : {RegexWorkBound{}, IcuRegex::kUserPatternBound}) {
        const IcuRegex runaway(QStringLiteral("(a+)+$"), IcuRegex::NoOptions, bound);
        std::atomic<bool> stop = true;
        IcuRegexMatcher matcher(runaway, text);
        matcher.stopWhenSet(stop);
        try {
            matcher.findNext();
            ADD_FAILURE() << "the stopped run went on";
        } catch (const RegexError& error) {
            EXPECT_TRUE(error.isCancelled());
        }
        // Unset, the run is the same as without a flag.
        stop = false;
        IcuRegexMatcher unstopped(runaway, QStringLiteral("xaa aa"));
        unstopped.stopWhenSet(stop);
        ASSERT_TRUE(unstopped.findNext());
        EXPECT_EQ(unstopped.range(), (TextRange{4, 2}));
        EXPECT_FALSE(unstopped.findNext());
    }
}

TEST(IcuRegexTest, WorkBoundStopsRunawayBacktrackingOnly) {
    // Two ticks of fixed allowance, then ten saved states per character passed.
    const RegexWorkBound bound{2, 1000};
    const IcuRegex runaway(QStringLiteral("(a+)+$"), IcuRegex::NoOptions, bound);
    try {
        runaway.matchRanges(QString(40, u'a') + u'!');
        FAIL() << "catastrophic backtracking finished";
    } catch (const RegexError& error) {
        EXPECT_TRUE(error.isTimeout());
        EXPECT_EQ(error.pattern(), QStringLiteral("(a+)+$"));
        EXPECT_FALSE(error.localizedDescription().isEmpty());
    }
    EXPECT_EQ(runaway.matchRanges(QStringLiteral("aaa")).size(), 1u);
    // Steady work per character passes however long the text: the bound is not one budget
    // for the whole run. (The two-character alternative keeps the loop from being skipped.)
    QString prose;
    while (prose.size() < 300000)
        prose.append(QStringLiteral("the quick brown fox jumps over the lazy dog\n"));
    const IcuRegex steady(QStringLiteral("(?:\\w|xy)+q"), IcuRegex::NoOptions, bound);
    EXPECT_FALSE(steady.skipsLeadingLoopRuns());
    EXPECT_TRUE(steady.matchRanges(prose).empty());
}

TEST(IcuRegexTest, SkippingLeadingLoopRunsKeepsEveryMatch) {
    // Runs of the loop's class long enough to be skipped, broken by characters that can end
    // or restart a match.
    QString text;
    for (int i = 0; i < 40; ++i) {
        text.append(QString(20 + i * 7 % 31, QChar(u'a' + i % 3)));
        text.append(QStringView(u" x@y.zz\n,;\u00DF\U0001F600-AB").sliced(i % 9, 3));
    }
    const QStringList patterns = {
        QStringLiteral("\\w+@"),
        QStringLiteral(".*z"),
        QStringLiteral(".*?b"),
        QStringLiteral("[a-c]+(?=\\s)"),
        QStringLiteral("(\\w*)x"),
        QStringLiteral("(?<w>[^\\n,]+),"),
        QStringLiteral("a++b"),
        QStringLiteral("(?i)[A-Z]+@\\w+\\.\\w{2,}"),
        QStringLiteral("\\p{L}+\\b"),
        QStringLiteral("(?:.+)\\n"),
        QStringLiteral("\\S*\\U0001F600"),
        QStringLiteral("a*(?<=aaaa)b"),
        // Behind a look-behind, as whole-word searches wrap them, and with more in the group.
        QStringLiteral("(?<![a-z])(?:\\w+@)(?![a-z])"),
        QStringLiteral("(?<=[\\s,])[^,]*z"),
        QStringLiteral("(?:\\w+(?:y|zz))"),
        QStringLiteral("\\w{2,}@"),
        // Behind other assertions, and looping over a group of one character.
        QStringLiteral("(?=a)\\w+"),
        QStringLiteral("(?<=^a)\\w+@"),
        QStringLiteral("(\\w)+@"),
    };
    for (const QString& pattern : patterns) {
        for (const auto options : {IcuRegex::Options(IcuRegex::NoOptions),
                                   IcuRegex::Options(IcuRegex::CaseInsensitive)}) {
            const IcuRegex regex(pattern, options);
            EXPECT_TRUE(regex.skipsLeadingLoopRuns()) << pattern.toStdString();
            // The same pattern behind an empty alternative is never skipped.
            const IcuRegex plain(QStringLiteral("(?:") + pattern + QStringLiteral(")|(?!)"),
                                 options);
            EXPECT_FALSE(plain.skipsLeadingLoopRuns());
            EXPECT_EQ(regex.matchRanges(text), plain.matchRanges(text)) << pattern.toStdString();
            // Inside a region, too.
            IcuRegexMatcher inRegion(regex, text, TextRange{5, text.size() - 40});
            IcuRegexMatcher plainInRegion(plain, text, TextRange{5, text.size() - 40});
            while (inRegion.findNext()) {
                ASSERT_TRUE(plainInRegion.findNext());
                EXPECT_EQ(inRegion.range(), plainInRegion.range()) << pattern.toStdString();
            }
            EXPECT_FALSE(plainInRegion.findNext());
        }
    }
    // Patterns whose rest could tell where the match began are not skipped.
    for (const QString& pattern :
         {QStringLiteral("\\w+@|x"), QStringLiteral("(\\w+)@\\1"), QStringLiteral("\\G\\w+"),
          QStringLiteral("(?x)\\w+ @"), QStringLiteral("(?=(a))\\w+\\1"),
          QStringLiteral("(\\w)+@\\1"), QStringLiteral("\\w+(?x) # |"),
          QStringLiteral("(?:\\w+|x)y"), QStringLiteral("(?=\\G)\\w+@")}) {
        EXPECT_FALSE(IcuRegex(pattern).skipsLeadingLoopRuns()) << pattern.toStdString();
    }
}

TEST(IcuRegexTest, OneCompiledPatternServesManyThreads) {
    const IcuRegex regex(QStringLiteral("\\b(\\w)(\\w*)\\b"));
    QString text;
    for (int i = 0; i < 2000; ++i)
        text.append(QStringLiteral("word%1 ").arg(i));
    const size_t expected = regex.matchRanges(text).size();
    ASSERT_EQ(expected, 2000u);
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int round = 0; round < 10; ++round) {
                if (regex.matchRanges(text).size() != expected)
                    ++mismatches;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}

TEST(IcuRegex, HandWrittenClassesAgreeWithTheEngineOnEveryUnit) {
    const IcuRegex blank(QStringLiteral("\\s"));
    const IcuRegex anyButLineEnd(QStringLiteral("."));
    for (int u = 0; u < 0x10000; ++u) {
        const QChar c{char16_t(u)};
        if (c.isSurrogate())
            continue;
        const QString one(c);
        EXPECT_EQ(isIcuWhiteSpace(c), !blank.matchRanges(one).empty()) << u;
        EXPECT_EQ(isIcuLineTerminator(c), anyButLineEnd.matchRanges(one).empty()) << u;
    }
}

TEST(IcuRegexTest, ARunSkipAfterACharacterOfTwoUnitsFindsWhatIcuFinds) {
    // A failed attempt at "𝐀" was taken for one at its low half, where the restart had ICU back
    // up past the start of the text.
    const QString bold = QStringLiteral("\U0001D400") + QString(30, u'1');
    const IcuRegex dotStar(QStringLiteral(".*=\\d+"));
    EXPECT_GT(dotStar.prefixedLoopReadings(), 0);
    EXPECT_EQ(dotStar.matchRanges(bold), std::vector<TextRange>{});
    // Read in place from a longer string, what lies before the text could even make a match.
    const QString before = QStringLiteral("=7") + bold;
    EXPECT_EQ(dotStar.matchRanges(QStringView(before).sliced(2)), std::vector<TextRange>{});
    const QString assigned = bold + QStringLiteral("=1");
    EXPECT_EQ(dotStar.matchRanges(assigned), icuRanges(dotStar.pattern(), assigned));
    // No match begins inside a character, not even one asked for there.
    IcuRegexMatcher inside(dotStar, assigned);
    EXPECT_FALSE(inside.lookingAt(1));
    EXPECT_TRUE(inside.lookingAt(0));
    EXPECT_EQ(inside.range(), (TextRange{0, 34}));

    // The skip ruled out the starts after "😀" on the strength of an attempt at its low half.
    const QString id = QStringLiteral("id\U0001F6001a:#1#20241208123456 ok");
    const QString digits = wholeWord(QStringLiteral("\\S\\d[^ ]*\\d"));
    EXPECT_EQ(icuRanges(digits, id), (std::vector<TextRange>{{7, 17}}));
    EXPECT_EQ(IcuRegex(digits).matchRanges(id), (std::vector<TextRange>{{7, 17}}));
    const QString mixed = QStringLiteral("xxx\U0001F600a1\u00E9\u00E9@1111111111111");
    const QString lazy = wholeWord(QStringLiteral("\\S.{2,}?(?!a)"));
    const auto icu = icuRanges(lazy, mixed, UREGEX_CASE_INSENSITIVE);
    EXPECT_EQ(icu.size(), 3u);
    EXPECT_EQ(IcuRegex(lazy, IcuRegex::CaseInsensitive).matchRanges(mixed), icu);
}

TEST(IcuRegexTest, PatternsReadInPiecesFindWhatIcuFinds) {
    // Several pieces of text, with a surrogate pair across the first two piece edges.
    QString text;
    while (text.size() < 4095)
        text += QStringLiteral("abc abc Abc xed (Q) ");
    text.truncate(4095);
    text += QStringLiteral("\U0001F600");
    while (text.size() < 8191)
        text += QStringLiteral("ab ab x\U0001D400y ");
    text.truncate(8191);
    text += QStringLiteral("\U0001D400 abc abc Q");
    while (text.size() < 14000)
        text += QStringLiteral("abc abc Abc xed (Q) ");
    // The same cut into short lines: what may read only on its lines reads it whole.
    QString lines = text;
    for (qsizetype k = 70; k < lines.size(); k += 71)
        lines[k] = u'\n';
    for (const QString& pattern :
         {QStringLiteral("(\\w+) \\1"), QStringLiteral("(?i)(a\\w+)c \\1"),
          QStringLiteral("\\w+(?=.*Q)"), QStringLiteral("\\w++ "), QStringLiteral("(?>\\S+) x"),
          QStringLiteral("(?<=x\\S{0,2})\\S+"), QStringLiteral("x(?=\\S{2})"),
          QStringLiteral("(?x) a b"), QStringLiteral(".(?!.*Q)"), QStringLiteral("(?:c ){1000}"),
          QStringLiteral("(?s)(\\w+)\\1.*?Q"), QStringLiteral("(\\s+)\\1")}) {
        const IcuRegex regex(pattern, IcuRegex::NoOptions, IcuRegex::kUserPatternBound);
        EXPECT_TRUE(regex.readsInPieces()) << pattern.toStdString();
        EXPECT_EQ(regex.matchRanges(text), icuRanges(pattern, text)) << pattern.toStdString();
        EXPECT_EQ(regex.matchRanges(lines), icuRanges(pattern, lines)) << pattern.toStdString();
        EXPECT_TRUE(IcuRegexMatcher(regex, text).readsInPieces()) << pattern.toStdString();
        EXPECT_EQ(IcuRegexMatcher(regex, lines).readsInPieces(), !regex.farReadsStayOnLine())
            << pattern.toStdString();
    }
    // A back-reference to a group of a short text compares no more than an atom reads.
    for (const QString& pattern :
         {QStringLiteral("\\w+ing"), wholeWord(QStringLiteral("abc")), QStringLiteral("a(?=b)c"),
          QStringLiteral("x{2,5}"), QStringLiteral("[\\1(?>]+"), QStringLiteral("\\Q(?>\\E"),
          QStringLiteral("(ab)\\1Q"), QStringLiteral("(?i)(a\\w)c \\1"),
          QStringLiteral("(\\w)\\1+ed"), QStringLiteral("(?<w>b|\\w{1,31})\\k<w>"),
          QStringLiteral("(?-x)\\w+ing"), QStringLiteral("(?i-x)(a\\w)c \\1")}) {
        const IcuRegex regex(pattern, IcuRegex::NoOptions, IcuRegex::kUserPatternBound);
        EXPECT_FALSE(regex.readsInPieces()) << pattern.toStdString();
        EXPECT_EQ(regex.matchRanges(text), icuRanges(pattern, text)) << pattern.toStdString();
    }
    for (const QString& pattern :
         {QStringLiteral("(a\\w{0,40})\\1"), QStringLiteral("(\\X)\\1"), QStringLiteral("(a\\1)"),
          QStringLiteral("(a|\\w*)\\1"), QStringLiteral("(?x)(a)\\1")})
        EXPECT_TRUE(
            IcuRegex(pattern, IcuRegex::NoOptions, IcuRegex::kUserPatternBound).readsInPieces())
            << pattern.toStdString();
    EXPECT_FALSE(
        IcuRegex(QStringLiteral("(?>"), IcuRegex::IgnoreMetacharacters, IcuRegex::kUserPatternBound)
            .readsInPieces());
    // Our own patterns have no bound for the pieces to serve.
    EXPECT_FALSE(IcuRegex(QStringLiteral("(\\w+) \\1")).readsInPieces());
}

TEST(IcuRegexTest, FarReadsThatCannotTakeInALineFeedStayOnTheirLines) {
    for (const char16_t* pattern : {u"x{1000,}",          u"(\\w)\\1+ed",
                                    u"(ab)\\1Q",          u"\\w+(?=.*Q)",
                                    u"(?>\\w+)x",         u"\\d++",
                                    u"[a-z]*+!",          u"\\S++",
                                    u"[^\\n]*+",          u"(?<w>\\w+) \\k<w>",
                                    u"(?i)(\u00DF)\\1",   u"(\\p{L}+)\\1",
                                    u"(a|b)\\1",          u"\\n(\\w+)\\1",
                                    u"(?=\\n.*Q)",        u"(?m)^(\\w)\\1$",
                                    u"[\\s\\S]*(\\w)\\1", u"(?:(\\w)\\1){5}",
                                    u"(?=a)(\\w)\\1{2}",  u"(?-x)(\\w+)\\1"})
        EXPECT_TRUE(farReadsStayOnLine(QStringView(pattern), false, false))
            << QString::fromUtf16(pattern).toStdString();
    for (const char16_t* pattern : {u"(.+)\\1(?s)",      u"(?s:(.+))\\1",
                                    u"(\\s+)\\1",        u"(\\W+)\\1",
                                    u"(\\D+)\\1",        u"([^a]+)\\1",
                                    u"(\\X)\\1",         u"(\\R+)\\1",
                                    u"(?>[\\s\\S]*)",    u"\\N{LINE FEED}{1000}",
                                    u"\\x{a}++",         u"(?=[^Q]*Q)",
                                    u"(?x)(\\w)\\1",     u"(\\v+)\\1",
                                    u"(a\\1)",           u"(\\p{Any}+)\\1",
                                    u"(a\n|b+)\\1",      u"(?:a\\nb){1000}",
                                    u"(\\Q\n\\E+)\\1",   u"\\u000A++",
                                    u"(?:(?=.*Q)x?){2}", u"(?=.*Q){1000}",
                                    u"(?<n>\\s+)\\k<n>", u"\\k<none>",
                                    u"(a)\\2",           u"(\\w)\\1(",
                                    u"(?d)(\\w)\\1"})
        EXPECT_FALSE(farReadsStayOnLine(QStringView(pattern), false, false))
            << QString::fromUtf16(pattern).toStdString();
    // A dot that takes in line feeds, and what folding lets a class take in.
    EXPECT_FALSE(farReadsStayOnLine(u"(.+)\\1", true, false));
    EXPECT_TRUE(farReadsStayOnLine(u"(.+)\\1", false, true));
    EXPECT_TRUE(farReadsStayOnLine(u"([a-z]+)\\1", false, true));
    // Through the options of the expression.
    const auto stays = [](const char* pattern, IcuRegex::Options options) {
        return IcuRegex(QString::fromUtf8(pattern), options, IcuRegex::kUserPatternBound)
            .farReadsStayOnLine();
    };
    EXPECT_TRUE(stays("(.+)\\1", IcuRegex::NoOptions));
    EXPECT_FALSE(stays("(.+)\\1", IcuRegex::DotMatchesLineSeparators));
    EXPECT_FALSE(stays("(\\w)\\1", IcuRegex::AllowCommentsAndWhitespace));
    // Only what reads far has a question to answer.
    EXPECT_FALSE(stays("\\w+ing", IcuRegex::NoOptions));
}

TEST(IcuRegexTest, OnlyATextOfShortLinesIsReadWhole) {
    const IcuRegex pairs(QStringLiteral("(\\w\\w{0,40})\\1ed"), IcuRegex::NoOptions,
                         IcuRegex::kUserPatternBound);
    const IcuRegex crossing(QStringLiteral("(\\s\\s{0,40})\\1ed"), IcuRegex::NoOptions,
                            IcuRegex::kUserPatternBound);
    ASSERT_TRUE(pairs.readsInPieces() && crossing.readsInPieces());
    const QString line = QString(kLongestLineReadWhole - 3, u'a') + QStringLiteral("eed");
    const QString shortLines = (line + u'\n').repeated(4);
    const QString longLine = shortLines.left(line.size() + 1) + line + u'a' + u'\n';
    const QString lastLineLong = shortLines + line + u'a';
    EXPECT_TRUE(linesAtMost(shortLines, kLongestLineReadWhole));
    EXPECT_FALSE(linesAtMost(longLine, kLongestLineReadWhole));
    EXPECT_FALSE(linesAtMost(lastLineLong, kLongestLineReadWhole));
    EXPECT_FALSE(IcuRegexMatcher(pairs, shortLines).readsInPieces());
    EXPECT_TRUE(IcuRegexMatcher(pairs, longLine).readsInPieces());
    EXPECT_TRUE(IcuRegexMatcher(pairs, lastLineLong).readsInPieces());
    EXPECT_TRUE(IcuRegexMatcher(crossing, shortLines).readsInPieces());
    // The whole text is measured, whatever region is searched: transparent bounds reach it all.
    EXPECT_TRUE(IcuRegexMatcher(pairs, longLine, TextRange{0, 10}).readsInPieces());
    // Matchers of one text share its measure.
    const RegexTextLines measured(longLine);
    EXPECT_TRUE(
        IcuRegexMatcher(pairs, longLine, TextRange{0, 10}, true, false, &measured).readsInPieces());
    const RegexTextLines shortMeasured(shortLines);
    EXPECT_FALSE(IcuRegexMatcher(pairs, shortLines, TextRange{0, 10}, true, false, &shortMeasured)
                     .readsInPieces());
    for (const QString& text : {shortLines, longLine, lastLineLong})
        EXPECT_EQ(pairs.matchRanges(text), icuRanges(pairs.pattern(), text));
    // Lines of every length around the cap, each read a unit at a time for comparison.
    for (const qsizetype length : {0, 1, 511, 512, 513, 1023, 1024, 1025, 2047, 2049}) {
        QString text;
        for (int k = 0; text.size() < 5000; ++k)
            text += QString(k % 3 == 0 ? length : 700, u'x') + u'\n';
        qsizetype longest = 0;
        for (const QStringView l : QStringView(text).split(u'\n'))
            longest = std::max(longest, l.size());
        EXPECT_EQ(linesAtMost(text, kLongestLineReadWhole), longest <= kLongestLineReadWhole)
            << length;
    }
}

TEST(IcuRegexTest, AssertionsAtTheEdgesReadInPiecesAsIcuJudgesThem) {
    // Words, spaces, a combining mark and a format character around the text's ends and the
    // piece edges (1,024 and 2,048).
    QString edges = QString(1020, u'a') + QStringLiteral(" foo") + QString(1020, u' ') +
                    QStringLiteral("b\u0301\u00AD") + QString(3000, u'c');
    const QString texts[] = {QString(),
                             QStringLiteral("a"),
                             QStringLiteral(" "),
                             QStringLiteral("a foo"),
                             QStringLiteral("xx foo."),
                             QStringLiteral("x foo bar."),
                             QStringLiteral("a e\u0301"),
                             QStringLiteral("a .\u0301"),
                             QStringLiteral("aa\u00AD"),
                             QStringLiteral("\u0301a a\n"),
                             edges.left(1024),
                             edges.left(2048),
                             edges.left(2049),
                             edges.left(1027) + u'.',
                             QStringLiteral("# a foo"),
                             QStringLiteral("a#foo #"),
                             edges};
    // Each reads in pieces: a back-reference to a group of a long text, a possessive or atomic
    // part, a large count. Free spacing, and so a comment after "#", holds only where it is in
    // force: set, cleared and scoped by inline flags.
    const QString patterns[] = {"(a{1,40})\\1?(?s).*\\b",
                                "(?s)(\\w{1,40})\\1.*\\b",
                                "(?s)x{0,1000}.*\\b",
                                "(?s)(.{1,40})\\1?.*\\B",
                                "\\b(\\w{1,40})\\1*\\b",
                                "(?s)(?>.*)\\b",
                                "(?s).*+\\B",
                                "(\\w{1,40})\\1*+\\B",
                                "(a{1,40})?\\1?\\b",
                                "(a{1,40})?\\1?\\B",
                                "(?<=\\b.)(a{1,40})?\\1?",
                                "(?=(a{1,40})?\\1?\\b)",
                                "(?s)(a{1,40})?\\1?.*$",
                                "(?s)(a{1,40})?\\1?.*\\Z",
                                "(?s)(a{1,40})?\\1?.*\\z",
                                "(?m)(a{1,40})?\\1?^$",
                                "(?w)(a{1,40})?\\1?(?s).*\\b",
                                "(?s)(a{1,40})?\\1?.*(?<=\\w)",
                                "(?x) (a{1,40})? \\1? \\b # \\b",
                                "(a{1,40})?\\1?\\Q\\b\\E?\\b",
                                "(?s).*#?\\b(?x:)",
                                "(?s)(a{1,40})?\\1?#.*\\b(?-x)",
                                "(?s)(a{1,40})?\\1?#.*\\b(?i-x)",
                                "(?s)(?x: \\w+ )?#.*\\b",
                                "(?s)(a{1,40})?\\1?#?.*\\b\\(?x?",
                                "(?s)(a{1,40})?\\1?\\Q(?x\\E?#?.*\\b",
                                "(?s)((?x) a{1,40} )?\\1?#?.*\\b",
                                "(?sx) (a{1,40})? \\1? # \\b\n (?-x)#?.*\\b",
                                "(?s)(?x: (a{1,40})? # \\b )\n)\\1?#?.*\\b",
                                "(?sx) (a{1,40})? [#\\b]\n \\w]? (?-x)#?.*\\B",
                                "(?s)(?#(?x\\b)(a{1,40})?\\1?#?.*\\b"};
    for (const QString& pattern : patterns) {
        for (const IcuRegex::Options options : {IcuRegex::NoOptions, IcuRegex::CaseInsensitive}) {
            const IcuRegex regex(pattern, options, IcuRegex::kUserPatternBound);
            ASSERT_TRUE(regex.readsInPieces()) << pattern.toStdString();
            const uint32_t flags = options ? UREGEX_CASE_INSENSITIVE : 0;
            for (const QString& text : texts)
                EXPECT_EQ(regex.matchRanges(text), icuRanges(pattern, text, flags))
                    << pattern.toStdString() << " over " << text.size() << " units";
        }
    }
}

TEST(IcuRegexTest, WhatIcuFinishesOverTheWholeTextIsNotTooCostlyInPieces) {
    // ICU's generic text path runs out of stack on this possessive loop where its path over
    // the whole text does not.
    const QString emoji = wholeWord(QStringLiteral("(?:[\\x{1F600}-\\x{1F64F}]*)*+i"));
    // A line too long to be read whole.
    const QString twelve =
        QString(kLongestLineReadWhole, u' ') + QStringLiteral("ax aaai\U0001F600aia");
    const IcuRegex nested(emoji, IcuRegex::NoOptions, IcuRegex::kUserPatternBound);
    IcuRegexMatcher overflowing(nested, twelve);
    ASSERT_TRUE(overflowing.readsInPieces());
    std::vector<TextRange> found;
    while (overflowing.findNext())
        found.push_back(overflowing.range());
    EXPECT_FALSE(overflowing.readsInPieces());
    EXPECT_EQ(found, icuRanges(emoji, twelve));
    // In pieces the stack is kept small, so that a run that fills it is made again over the
    // whole text early, not once it took what the whole text allows.
    QString row;
    while (row.size() < (1 << 20))
        row += QStringLiteral("a\U0001F600 ");
    IcuRegexMatcher filling(nested, row);
    ASSERT_TRUE(filling.readsInPieces());
    EXPECT_LE(filling.stackLimit(), 8 << 20);
    found.clear();
    while (filling.findNext())
        found.push_back(filling.range());
    EXPECT_GT(filling.stackLimit(), 8 << 20);
    EXPECT_EQ(found, icuRanges(emoji, row));
    // So is a match tried at one position: a loop that saves a state for each of its steps.
    const QString steps = QStringLiteral("(a|b)*c(?=.*x)");
    const QString manySteps = QString(400000, u'a') + QStringLiteral("c x");
    const IcuRegex stepping(steps, IcuRegex::NoOptions, IcuRegex::kUserPatternBound);
    for (const qsizetype at : {0, 1, 399999, 400001}) {
        IcuRegexMatcher one(stepping, manySteps);
        ASSERT_TRUE(one.readsInPieces());
        QString ours;
        try {
            ours = QString::number(one.lookingAt(at));
        } catch (const RegexError& error) {
            ours = error.icuMessage();
        }
        EXPECT_EQ(ours, icuLookingAt(steps, manySteps, at)) << at;
    }
    const QString lines =
        QString(kLongestLineReadWhole, u' ') + QStringLiteral("xi\U0001F600  x\nax\U0001F600");
    EXPECT_EQ(nested.matchRanges(lines), icuRanges(emoji, lines));
    // Where ICU runs out over the whole text too, so does the run.
    try {
        IcuRegex(QStringLiteral("(?:a*)*+i"), IcuRegex::NoOptions, IcuRegex::kUserPatternBound)
            .matchRanges(QStringLiteral("aa i"));
        ADD_FAILURE() << "ran where ICU runs out of stack";
    } catch (const RegexError& error) {
        EXPECT_EQ(error.icuMessage(), QStringLiteral("U_REGEX_STACK_OVERFLOW"));
    }
    // Each attempt looks ahead to the end of a line of 14,000 units: ICU reads there and back
    // and saves few states, in about 70 ms over the whole text (700 ticks of 0.1 ms).
    QString words;
    for (int k = 0; words.size() < 60000; ++k)
        words += QStringLiteral("word%1").arg(k) + QChar(k % 2000 == 1999 ? u'\n' : u' ');
    const QString ahead = QStringLiteral("(\\w+)\\1\\w*?(?=.*\\X)(?=\\r?\\n)");
    const IcuRegex looking(ahead, IcuRegex::NoOptions, RegexWorkBound{2000, 0});
    ASSERT_TRUE(looking.readsInPieces());
    EXPECT_EQ(looking.matchRanges(words), icuRanges(ahead, words));
}

TEST(IcuRegexTest, RunsCountingIntoOneTallyShareOneBound) {
    // Each line alone stays under the bound; one after another they pass it.
    const QString pattern = QStringLiteral("(x+x+)+(?=z) y");
    const QString line = QString(16, u'x') + QStringLiteral(" y\n");
    const QString text = line.repeated(4);
    const auto lineRange = [&](int k) { return TextRange{k * line.size(), line.size() - 1}; };
    RegexWorkTally one;
    {
        const IcuRegex measuring(pattern, IcuRegex::NoOptions, RegexWorkBound{1'000'000, 0});
        IcuRegexMatcher matcher(measuring, text, lineRange(0), true, false);
        matcher.countWorkIn(one);
        EXPECT_FALSE(matcher.findNext());
    }
    ASSERT_GE(one.ticks, 2);
    const IcuRegex bounded(pattern, IcuRegex::NoOptions, RegexWorkBound{one.ticks * 2, 0});
    RegexWorkTally shared;
    int searched = 0;
    try {
        for (int k = 0; k < 4; ++k) {
            IcuRegexMatcher alone(bounded, text, lineRange(k), true, false);
            EXPECT_FALSE(alone.findNext());
            IcuRegexMatcher counted(bounded, text, lineRange(k), true, false);
            counted.countWorkIn(shared);
            EXPECT_FALSE(counted.findNext());
            ++searched;
        }
        ADD_FAILURE() << "the lines together stayed under the bound";
    } catch (const RegexError& error) {
        EXPECT_TRUE(error.isTimeout());
        EXPECT_EQ(searched, 2);
    }
    // One matcher moved from line to line counts as one a line does, and finds the same.
    RegexWorkTally moved;
    IcuRegexMatcher mover(bounded, text, lineRange(0), true, false);
    mover.countWorkIn(moved);
    searched = 0;
    try {
        for (int k = 0; k < 4; ++k) {
            if (k > 0)
                mover.moveToRegion(lineRange(k));
            EXPECT_FALSE(mover.findNext());
            ++searched;
        }
        ADD_FAILURE() << "the lines moved through stayed under the bound";
    } catch (const RegexError& error) {
        EXPECT_TRUE(error.isTimeout());
        EXPECT_EQ(searched, 2);
    }
    const IcuRegex words(QStringLiteral("(\\w)\\1|\\b"), IcuRegex::NoOptions,
                         IcuRegex::kUserPatternBound);
    const QString pairs = QStringLiteral("aab bcc dd\nee ff\n");
    IcuRegexMatcher each(words, pairs, TextRange{0, 3});
    for (const TextRange region : {TextRange{0, 3}, TextRange{4, 6}, TextRange{11, 5}}) {
        if (region.location > 0)
            each.moveToRegion(region);
        IcuRegexMatcher fresh(words, pairs, region);
        while (fresh.findNext()) {
            ASSERT_TRUE(each.findNext());
            EXPECT_EQ(each.range(), fresh.range());
        }
        EXPECT_FALSE(each.findNext());
    }
}

TEST(IcuRegexTest, ComparingABackReferenceCountsAgainstTheBound) {
    // Comparing a back-reference saves no backtracking state: ICU alone would tick a few times
    // over the whole run.
    const IcuRegex backReference(QStringLiteral("(\\w+)\\1Z"), IcuRegex::NoOptions,
                                 RegexWorkBound{50, 0});
    const QString line = QStringLiteral("abcd").repeated(25'000) + u'Z';
    ASSERT_TRUE(IcuRegexMatcher(backReference, line).readsInPieces());
    try {
        backReference.matchRanges(line);
        ADD_FAILURE() << "the back-reference ran to the end";
    } catch (const RegexError& error) {
        EXPECT_TRUE(error.isTimeout());
    }
    // What reads little per attempt stays under it.
    EXPECT_EQ(backReference.matchRanges(QStringLiteral("ababZ cdcdZ")).size(), 2u);
    // Over short lines, read whole, the backtracking it does there passes the bound.
    const QString lines = (QString(1000, u'a') + u'\n').repeated(20);
    const IcuRegex runaway(QStringLiteral("(a+)\\1Z"), IcuRegex::NoOptions, RegexWorkBound{50, 0});
    IcuRegexMatcher whole(runaway, lines);
    ASSERT_FALSE(whole.readsInPieces());
    try {
        whole.findNext();
        ADD_FAILURE() << "the back-reference ran through every line";
    } catch (const RegexError& error) {
        EXPECT_TRUE(error.isTimeout());
    }
}

TEST(IcuRegexTest, AStopSetDuringTheRunIsHeardInsideIcuAndNoMatchFollows) {
    struct Case {
        const char* pattern;
        QString text;
    };
    const Case cases[] = {
        // One attempt compares back-references all along the text, and finds nothing.
        {"(\\w+)\\1Z", QStringLiteral("abcd").repeated(2000) + u'Y'},
        // Every match looks ahead to the end of the line.
        {"\\w*ed(?=.*Q)", QStringLiteral("xed ").repeated(20'000) + u'Q'},
        // Short lines, read whole: heard at ticks and positions.
        {"(\\w+)\\1Z", QStringLiteral("abcdabcd xyzxyz\n").repeated(2000)},
    };
    for (const Case& c : cases) {
        const IcuRegex regex(QString::fromUtf8(c.pattern), IcuRegex::NoOptions,
                             IcuRegex::kUserPatternBound);
        IcuRegexMatcher matcher(regex, c.text);
        EXPECT_EQ(matcher.readsInPieces(), !c.text.contains(u'\n')) << c.pattern;
        std::atomic<bool> stop = false;
        // Asked from inside ICU's run for the first time, Stop is pressed on another thread;
        // this ask does not see it yet, the next one must.
        matcher.stopWhen([&] {
            if (stop.load())
                return true;
            std::thread([&] { stop = true; }).join();
            return false;
        });
        int listed = 0;
        try {
            while (matcher.findNext())
                ++listed;
            ADD_FAILURE() << c.pattern << " ran to the end";
        } catch (const RegexError& error) {
            EXPECT_TRUE(error.isCancelled()) << c.pattern;
        }
        EXPECT_TRUE(stop.load()) << c.pattern;
        EXPECT_EQ(listed, 0) << c.pattern;
    }
}
