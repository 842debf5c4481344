#include "text/LineOperations.h"

#include "TextEditPrinter.h"
#include "platform/IcuRegex.h"

#include <QRandomGenerator>
#include <QStringList>
#include <gtest/gtest.h>
#include <unicode/ustring.h>

using namespace dunmoss;

namespace {

QString s(const char* text) {
    return QString::fromUtf8(text);
}

TextEdit edit(const char* text, TextRange selection) {
    return TextEdit{s(text), selection};
}

TextEdit moveSelectedLines(const QString& text, TextRange selection, bool down) {
    return linesMoved(text, selection, down).appliedTo(text);
}

TextEdit duplicateSelectedLines(const QString& text, TextRange selection) {
    return linesDuplicated(text, selection).appliedTo(text);
}

// ICU's full mapping of the whole text at once, in the root locale.
QString icuMapped(const QString& text, bool upper) {
    std::vector<UChar> out(size_t(text.size()) * 3 + 16);
    UErrorCode status = U_ZERO_ERROR;
    const auto* source = reinterpret_cast<const UChar*>(text.utf16());
    const int32_t length = upper ? u_strToUpper(out.data(), int32_t(out.size()), source,
                                                int32_t(text.size()), "", &status)
                                 : u_strToLower(out.data(), int32_t(out.size()), source,
                                                int32_t(text.size()), "", &status);
    EXPECT_TRUE(U_SUCCESS(status));
    return QString(reinterpret_cast<const QChar*>(out.data()), length);
}

} // namespace

TEST(LineOperationsTest, SelectedLineRangeCoversWholeLines) {
    EXPECT_EQ(selectedLineRange(QString(), {3, 2}), (TextRange{0, 0}));
    const QString text = s("ab\ncd\nef");
    EXPECT_EQ(selectedLineRange(text, {0, 0}), (TextRange{0, 3}));
    EXPECT_EQ(selectedLineRange(text, {4, 0}), (TextRange{3, 3}));
    EXPECT_EQ(selectedLineRange(text, {1, 3}), (TextRange{0, 6}));
    // Ending just after a line feed does not reach the next line.
    EXPECT_EQ(selectedLineRange(text, {0, 3}), (TextRange{0, 3}));
    EXPECT_EQ(selectedLineRange(text, {7, 0}), (TextRange{6, 2}));
    EXPECT_EQ(selectedLineRange(text, {50, 10}), (TextRange{6, 2}));
    EXPECT_EQ(selectedLineRange(text, {-5, 6}), (TextRange{0, 3}));
    EXPECT_EQ(selectedLineRange(text, {TextRange::NotFound, 0}), (TextRange{6, 2}));
    EXPECT_EQ(selectedLineRange(s("a\n"), {2, 0}), (TextRange{2, 0}));
    // Only line feeds end lines.
    EXPECT_EQ(selectedLineRange(s("a\rb\u2028c\nd"), {2, 0}), (TextRange{0, 6}));
}

TEST(LineOperationsTest, MovingLines) {
    EXPECT_EQ(moveSelectedLines(s("a\nb"), {2, 0}, false), edit("b\na", {0, 1}));
    EXPECT_EQ(moveSelectedLines(s("a\nb"), {0, 0}, true), edit("b\na", {2, 1}));
    EXPECT_EQ(moveSelectedLines(s("a\nb\n"), {0, 0}, true), edit("b\na\n", {2, 2}));
    EXPECT_EQ(moveSelectedLines(s("a\nb\nc\n"), {2, 3}, false), edit("b\nc\na\n", {0, 4}));
    // First line up and last line down change nothing.
    EXPECT_EQ(moveSelectedLines(s("a\nb"), {1, 0}, false), edit("a\nb", {1, 0}));
    EXPECT_EQ(moveSelectedLines(s("a\nb"), {3, 0}, true), edit("a\nb", {3, 0}));
    EXPECT_EQ(moveSelectedLines(s("a\nb\n"), {2, 1}, true), edit("a\nb\n", {2, 1}));
    EXPECT_EQ(moveSelectedLines(QString(), {0, 0}, true), edit("", {0, 0}));
    EXPECT_EQ(moveSelectedLines(QString(), {0, 0}, false), edit("", {0, 0}));
}

TEST(LineOperationsTest, MovingAndDuplicatingLinesChangeOnlyTheLinesConcerned) {
    const QString text = s("a\nbb\nc\nd");
    EXPECT_EQ(linesMoved(text, {2, 1}, true),
              (SpliceEdit{{2, s("bb\nc\n"), s("c\nbb\n")}, {4, 3}}));
    EXPECT_EQ(linesMoved(text, {5, 0}, false),
              (SpliceEdit{{2, s("bb\nc\n"), s("c\nbb\n")}, {2, 2}}));
    // Onto the last line, which has no line feed of its own.
    EXPECT_EQ(linesMoved(text, {5, 0}, true), (SpliceEdit{{5, s("c\nd"), s("d\nc")}, {7, 1}}));
    EXPECT_EQ(linesDuplicated(text, {3, 0}), (SpliceEdit{{5, QString(), s("bb\n")}, {5, 3}}));
    EXPECT_EQ(linesDuplicated(text, {7, 0}), (SpliceEdit{{8, QString(), s("\nd")}, {8, 2}}));
    // Nothing to move past: no change at all.
    EXPECT_TRUE(linesMoved(text, {0, 0}, false).splice.changesNothing());
    EXPECT_TRUE(linesMoved(text, {8, 0}, true).splice.changesNothing());
}

TEST(LineOperationsTest, SortingLines) {
    EXPECT_EQ(sortSelectedLines(s("b\nB\na\n"), {0, 0}), edit("a\nb\nB\n", {0, 6}));
    EXPECT_EQ(sortSelectedLines(s("c\nb\na"), {0, 0}), edit("a\nb\nc", {0, 5}));
    // Only the selected block, duplicates kept.
    EXPECT_EQ(sortSelectedLines(s("z\nb\na\nb\ny"), {2, 5}), edit("z\na\nb\nb\ny", {2, 6}));
    EXPECT_EQ(sortSelectedLines(QString(), {0, 0}), edit("", {0, 0}));
    EXPECT_TRUE(lineSortPrecedes(u"apple", u"Banana"));
    EXPECT_FALSE(lineSortPrecedes(u"Apple", u"apple"));
    EXPECT_FALSE(lineSortPrecedes(u"apple", u"Apple"));
}

TEST(LineOperationsTest, InsertingAtLineStarts) {
    EXPECT_EQ(insertAtLineStarts(QString(), {0, 0}, s("    ")), edit("    ", {0, 4}));
    EXPECT_EQ(insertAtLineStarts(s("a\nb\nc"), {0, 3}, s("    ")),
              edit("    a\n    b\nc", {0, 12}));
    // The line after a block that ends with its line feed is untouched.
    EXPECT_EQ(insertAtLineStarts(s("a\nb"), {0, 2}, s("> ")), edit("> a\nb", {0, 4}));
    EXPECT_EQ(insertAtLineStarts(s("a\nb"), {3, 0}, s("> ")), edit("a\n> b", {2, 3}));
    EXPECT_EQ(insertAtLineStarts(s("a\n"), {2, 0}, s("> ")), edit("a\n> ", {2, 2}));
    EXPECT_EQ(insertAtLineStarts(s("a"), {0, 1}, QString()), edit("a", {0, 1}));
}

TEST(LineOperationsTest, LineComments) {
    const TextEdit commented = toggleLineComment(s("  x\n\n y\n"), {0, 8}, s(" // "));
    EXPECT_EQ(commented, edit("  // x\n\n // y\n", {0, 14}));
    EXPECT_EQ(toggleLineComment(commented.text, {0, 14}, s("//")), edit("  x\n\n y\n", {0, 8}));
    // Mixed blocks get commented; blank-only blocks stay.
    EXPECT_EQ(toggleLineComment(s("// a\nb"), {0, 6}, s("//")), edit("// // a\n// b", {0, 12}));
    EXPECT_EQ(toggleLineComment(s("  \n\t\n"), {0, 5}, s("#")), edit("  \n\t\n", {0, 5}));
    EXPECT_EQ(toggleLineComment(s("#x"), {0, 0}, s("#")), edit("x", {0, 1}));
    EXPECT_EQ(toggleLineComment(s("a"), {0, 0}, s("  ")), edit("a", {0, 0}));
    // First and last line of a longer text.
    EXPECT_EQ(toggleLineComment(s("a\nb\nc"), {5, 0}, s("#")), edit("a\nb\n# c", {4, 3}));
    EXPECT_EQ(toggleLineComment(QString(), {0, 0}, s("#")), edit("", {0, 0}));
    // A token followed by a combining mark is a different character, not a comment.
    EXPECT_EQ(toggleLineComment(s("#\u0301x"), {0, 0}, s("#")).text, s("# #\u0301x"));
}

TEST(LineOperationsTest, BlockComments) {
    EXPECT_EQ(toggleBlockComment(s("x"), {0, 1}, s("/*"), s("*/")), edit("/* x */", {0, 7}));
    EXPECT_EQ(toggleBlockComment(s("/* x */"), {0, 7}, s("/*"), s("*/")), edit("x", {0, 1}));
    EXPECT_EQ(toggleBlockComment(s("x\ny"), {0, 0}, s("/*"), s("*/")), edit("/* x\n */y", {0, 8}));
    EXPECT_EQ(toggleBlockComment(s("a\nx"), {3, 0}, s("<!--"), s("-->")),
              edit("a\n<!-- x -->", {2, 10}));
    EXPECT_EQ(toggleBlockComment(s("/*/"), {0, 3}, s("/*"), s("*/")), edit("", {0, 0}));
    EXPECT_EQ(toggleBlockComment(s("x"), {0, 1}, s(" "), s("*/")), edit("x", {0, 1}));
    EXPECT_EQ(toggleBlockComment(QString(), {0, 0}, s("/*"), s("*/")), edit("/*  */", {0, 6}));
    // A selection running past the end is cut to the text; a start before it is clamped to 0
    // and the length kept.
    EXPECT_EQ(toggleBlockComment(s("ab"), {1, 50}, s("/*"), s("*/")), edit("a/* b */", {1, 7}));
    EXPECT_EQ(toggleBlockComment(s("abcd"), {-2, 3}, s("/*"), s("*/")), edit("/* abc */d", {0, 9}));
}

TEST(LineOperationsTest, SpacesToTabs) {
    EXPECT_EQ(leadingSpacesToTabs(u"      x", 4), s("\t  x"));
    EXPECT_EQ(leadingSpacesToTabs(u"   x", 4), s("   x"));
    EXPECT_EQ(leadingSpacesToTabs(u"\t    x", 4), s("\t    x"));
    EXPECT_EQ(leadingSpacesToTabs(u"        x    y", 4), s("\t\tx    y"));
    EXPECT_EQ(leadingSpacesToTabs(u"  x", 0), s("\t\tx"));
    EXPECT_EQ(spacesToTabsTransform(s("    a\n        b\n"), {20, 5}, 4),
              edit("\ta\n\t\tb\n", {7, 0}));
    EXPECT_EQ(spacesToTabsTransform(QString(), {0, 0}, 4), edit("", {0, 0}));
    EXPECT_EQ(spacesToTabsTransform(s("    a"), {1, 3}, 4), edit("\ta", {1, 1}));
}

TEST(LineOperationsTest, SpacesToTabsKeepsEveryOtherLineBreak) {
    // Only line feeds split lines; every other break character stays where it was.
    const QString text = s("    a\v    b\f    c\r    d\u0085    e\u2028    f\u2029    g\n    h");
    const TextEdit converted = spacesToTabsTransform(text, {0, 0}, 4);
    EXPECT_EQ(converted.text, s("\ta\v    b\f    c\r    d\u0085    e\u2028    f\u2029    g\n\th"));
    EXPECT_EQ(converted.text.count(u'\n'), 1);
}

TEST(LineOperationsTest, ColumnInsert) {
    EXPECT_EQ(insertAtVisualColumn(s("ab"), {0, 0}, 5, s("X"), 4), edit("ab  X", {4, 1}));
    EXPECT_EQ(insertAtVisualColumn(s("\tab"), {0, 0}, 3, s("X"), 4), edit("  X\tab", {2, 1}));
    EXPECT_EQ(insertAtVisualColumn(s("\tab"), {0, 0}, 5, s("X"), 4), edit("\tXab", {1, 1}));
    EXPECT_EQ(insertAtVisualColumn(s("abc\nd\nefgh"), {0, 6}, 2, s("|"), 4),
              edit("a|bc\nd|\nefgh", {1, 1}));
    EXPECT_EQ(insertAtVisualColumn(s("a\r\nb"), {0, 0}, 4, s("|"), 4), edit("a  |\r\nb", {3, 1}));
    // A combining sequence counts as one column.
    EXPECT_EQ(insertAtVisualColumn(s("e\u0301x"), {0, 0}, 2, s("|"), 4), edit("e\u0301|x", {2, 1}));
    EXPECT_EQ(insertAtVisualColumn(QString(), {0, 0}, 3, s("X"), 4), edit("  X", {2, 1}));
    EXPECT_EQ(insertAtVisualColumn(s("ab"), {0, 0}, 0, s("X"), 0), edit("Xab", {0, 1}));
    EXPECT_EQ(insertAtVisualColumn(s("ab"), {1, 0}, 2, QString(), 4), edit("ab", {1, 0}));
    // Last line of a longer text, caret at the very end.
    EXPECT_EQ(insertAtVisualColumn(s("a\nbc"), {4, 0}, 2, s("|"), 4), edit("a\nb|c", {3, 1}));
}

TEST(LineOperationsTest, DuplicatingLines) {
    EXPECT_EQ(duplicateSelectedLines(s("x"), {0, 0}), edit("x\nx", {1, 2}));
    EXPECT_EQ(duplicateSelectedLines(s("a\nb\n"), {0, 0}), edit("a\na\nb\n", {2, 2}));
    EXPECT_EQ(duplicateSelectedLines(s("a\nb"), {0, 3}), edit("a\nb\na\nb", {3, 4}));
    EXPECT_EQ(duplicateSelectedLines(QString(), {0, 0}), edit("\n", {0, 1}));
}

TEST(LineOperationsTest, TrimmingTrailingWhitespace) {
    EXPECT_EQ(trimTrailingWhitespace(s("a \t\nb  "), {0, 7}), edit("a\nb", {0, 3}));
    EXPECT_EQ(trimTrailingWhitespace(s("a b\n"), {1, 1}), edit("a b\n", {1, 1}));
    EXPECT_EQ(trimTrailingWhitespace(QString(), {0, 0}), edit("", {0, 0}));
    EXPECT_EQ(trimTrailingWhitespace(s("  "), {1, 1}), edit("", {0, 0}));
}

TEST(LineOperationsTest, TrimmingAgreesWithTheExpressionItReplaces) {
    const IcuRegex pattern(s("[ \t]+(?=\n|$)"));
    const QStringList pieces = {s(" "),      s("\t"), s("\n"),     s("\r"), s("\r\n"),  s("x"),
                                s("\u2028"), s("\v"), s("\u0085"), s("\f"), s("\u2029")};
    QRandomGenerator random(9);
    for (int round = 0; round < 2000; ++round) {
        QString text;
        for (int i = random.bounded(0, 10); i > 0; --i)
            text.append(pieces[random.bounded(int(pieces.size()))]);
        QString expected = text;
        const auto ranges = pattern.matchRanges(text);
        for (auto it = ranges.rbegin(); it != ranges.rend(); ++it)
            expected.remove(it->location, it->length);
        ASSERT_EQ(trimTrailingWhitespace(text, {0, 0}).text, expected) << text.toStdString();
    }
    // A very long run of blanks without a line break after it finishes in one pass.
    const QString blanks = QString(2000000, u' ') + u'x';
    EXPECT_EQ(trimTrailingWhitespace(blanks, {0, 0}).text, blanks);
    EXPECT_EQ(trimTrailingWhitespace(QString(2000000, u' '), {0, 0}).text, QString());
}

TEST(LineOperationsTest, CaseChanges) {
    EXPECT_EQ(uppercaseSelection(s("straße"), {0, 6}), edit("STRASSE", {0, 7}));
    EXPECT_EQ(uppercaseSelection(s("abc"), {1, 0}), edit("abc", {1, 0}));
    EXPECT_EQ(uppercaseSelection(s("abc"), {9, 2}), edit("abc", {9, 2}));
    EXPECT_EQ(lowercaseSelection(s("ABC DEF"), {4, 99}), edit("ABC def", {4, 3}));
    // Greek final sigma depends on its place in the word.
    EXPECT_EQ(lowercaseSelection(s("ΟΔΟΣ"), {0, 4}).text, s("οδος"));
    // Edges inside a surrogate pair or before a combining mark widen to whole characters.
    EXPECT_EQ(uppercaseSelection(s("a\U0001D4B6b"), {2, 2}), edit("a\U0001D4B6B", {1, 3}));
    EXPECT_EQ(uppercaseSelection(s("ae\u0301"), {0, 2}), edit("AE\u0301", {0, 3}));
    EXPECT_EQ(uppercaseSelection(QString(), {0, 0}), edit("", {0, 0}));
    // A text that grows by more than a few characters, the whole of it or a part.
    const QString sharpS(300, QChar(0x00DF));
    const QString doubled = QStringLiteral("SS").repeated(300);
    EXPECT_EQ(uppercaseSelection(sharpS, {0, 300}), (TextEdit{doubled, {0, 600}}));
    EXPECT_EQ(uppercaseSelection(u'a' + sharpS + u'b', {1, 300}),
              (TextEdit{u'a' + doubled + u'b', {1, 600}}));
    EXPECT_EQ(lowercaseSelection(s("İ"), {0, 1}), edit("i̇", {0, 2}));
}

// A long text is mapped a run of lines at a time; the result must be ICU's for the whole text,
// whatever the lines hold: a final sigma at a line's end or before an ASCII word, letters that
// grow (ß, ŉ), a dotted capital I, a lone surrogate, CR line ends, runs of ASCII lines between.
TEST(LineOperationsTest, LongTextsMapTheirCaseAsICUMapsThemWhole) {
    const QStringList pieces{s("let value = compute(index); // keep"),
                             s("ΟΔΟΣ"),
                             s("ΟΔΟΣ word"),
                             s("Σ"),
                             s("aΣ."),
                             s("straße ŉ"),
                             s("İstanbul"),
                             s("ǅ ǈ"),
                             s("\r"),
                             s(" "),
                             s("MiXeD CaSe 123"),
                             s("é"),
                             s("ΑΣ\u0301"),
                             QString(QChar(0xD800)),
                             s("𝒶𐐨")};
    QRandomGenerator random(7);
    for (int round = 0; round < 40; ++round) {
        QString text;
        for (int line = 0; text.size() < 6000 + round * 300; ++line) {
            // All ASCII; or any piece; or stretches of a few dozen ASCII lines between others.
            const bool asciiOnly = round % 3 == 0 || (round % 3 == 1 && line / 40 % 2 == 0);
            const int count = int(random.bounded(1, 4));
            for (int i = 0; i < count; ++i)
                text += pieces.at(random.bounded(qsizetype(asciiOnly ? 1 : pieces.size())));
            text += u'\n';
        }
        if (round % 5 == 4)
            text.chop(1); // no line feed at the end
        ASSERT_EQ(fullUppercase(text), icuMapped(text, true)) << "round " << round;
        ASSERT_EQ(fullLowercase(text), icuMapped(text, false)) << "round " << round;
    }
    // The ASCII letters before a line's first other letter are its context: a final sigma.
    const QString longLines = QStringLiteral("let x = 1;\n").repeated(500);
    EXPECT_EQ(fullLowercase(longLines + s("let AΣ.\nmore\n")),
              longLines.toLower() + s("let aς.\nmore\n"));
}
