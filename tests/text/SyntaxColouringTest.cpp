#include "text/SyntaxColouring.h"
#include "../../fuzz/support/ColouringReference.h"
#include "text/DelimitedSpanScan.h"
#include "text/KeywordAlternation.h"
#include "text/NumberScan.h"
#include "text/QuotedKeyScan.h"
#include "text/SyntaxRegexCache.h"
#include "text/TextEditPrinter.h"

#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

// The whole text on odd rounds, a random part of it on even ones.
TextRange wholeOrRandomRange(QRandomGenerator& random, const QString& text, int round) {
    const qsizetype start = random.bounded(int(text.size()) + 1);
    if (round % 2)
        return TextRange{0, text.size()};
    return TextRange{start, random.bounded(int(text.size() - start) + 1)};
}

QString roleName(SyntaxColorRole role) {
    static const char* names[] = {"keyword",  "string", "comment",     "number",    "name",
                                  "typeName", "marker", "declaration", "inlineCode"};
    return QString::fromLatin1(names[int(role)]);
}

QString describe(const SyntaxStyle& style) {
    QString text = style.role ? roleName(*style.role) : QStringLiteral("none");
    if (style.bold)
        text += QStringLiteral("+bold");
    return text;
}

// The style every unit of [location, location + length) has, or "mixed".
QString styleOf(const QList<SyntaxStyleRun>& runs, qsizetype location, qsizetype length) {
    QString result;
    for (qsizetype i = location; i < location + length; ++i) {
        SyntaxStyle style;
        for (const SyntaxStyleRun& run : runs)
            if (run.location <= i && i < run.end())
                style = run.style;
        const QString here = describe(style);
        if (!result.isEmpty() && here != result)
            return QStringLiteral("mixed: ") + result + u'/' + here;
        result = here;
    }
    return result;
}

struct Case {
    EditorLanguage language;
    const char* text;
    const char* fragment; // its first occurrence in the text
    const char* style;
};

} // namespace

TEST(SyntaxColouring, EachLanguageGroupColoursItsExamples) {
    using L = EditorLanguage;
    const Case cases[] = {
        // Swift: later passes override earlier ones.
        {L::Swift, R"(let s = "for")", "let", "keyword"},
        {L::Swift, R"(let s = "for")", R"("for")", "string"},
        {L::Swift, R"(let u = "a // b" + x)", R"(// b" + x)", "comment"},
        {L::Swift, R"(let u = "a // b" + x)", R"("a )", "string"},
        {L::Swift, "/* TODO: 42 Foo */", "42", "number"},
        {L::Swift, "/* TODO: 42 Foo */", "Foo", "typeName"},
        {L::Swift, "/* TODO: 42 Foo */", "TODO:", "marker"},
        {L::Swift, "@objc struct Point {}", "@objc", "name"},
        {L::Swift, "@objc struct Point {}", "struct", "keyword"},
        {L::Swift, "@objc struct Point {}", "Point", "declaration+bold"},
        {L::Swift, "func run() {}", "run", "declaration"},
        {L::Swift, "let v = 3.25", "3.25", "number"},
        // JSON: the key pass takes the spaces and the colon; strings in arrays stay plain.
        {L::Json, R"({"key"  : "v", "n": -1.5e3, "a": ["x"], "t": true})", R"("key"  :)", "name"},
        {L::Json, R"({"key"  : "v", "n": -1.5e3, "a": ["x"], "t": true})", R"("v")", "string"},
        {L::Json, R"({"key"  : "v", "n": -1.5e3, "a": ["x"], "t": true})", "-1.5e3", "number"},
        {L::Json, R"({"key"  : "v", "n": -1.5e3, "a": ["x"], "t": true})", R"("x")", "none"},
        {L::Json, R"({"key"  : "v", "n": -1.5e3, "a": ["x"], "t": true})", "true", "keyword"},
        // Markdown.
        {L::Markdown, "# Title here\n#Tag\n> quoted\n", "# Title here", "name+bold"},
        {L::Markdown, "# Title here\n#Tag\n> quoted\n", "#Tag", "none"},
        {L::Markdown, "# Title here\n#Tag\n> quoted\n", "> quoted", "comment"},
        {L::Markdown, "see [docs](http://x) and `code` **big**", "[docs](http://x)", "name"},
        {L::Markdown, "see [docs](http://x) and `code` **big**", "`code`", "inlineCode"},
        {L::Markdown, "see [docs](http://x) and `code` **big**", "**big**", "keyword"},
        // HTML runs the XML rules first.
        {L::Html, R"(<!doctype html><p class="x">&amp;</p><!-- c -->)", "<!doctype html>",
         "keyword"},
        {L::Html, R"(<!doctype html><p class="x">&amp;</p><!-- c -->)", "&amp;", "name"},
        {L::Html, R"(<!doctype html><p class="x">&amp;</p><!-- c -->)", "<p", "keyword"},
        {L::Html, R"(<!doctype html><p class="x">&amp;</p><!-- c -->)", "class", "name"},
        {L::Html, R"(<!doctype html><p class="x">&amp;</p><!-- c -->)", R"("x")", "string"},
        {L::Html, R"(<!doctype html><p class="x">&amp;</p><!-- c -->)", "<!-- c -->", "comment"},
        {L::Xml, R"(<a b="1" c ="2"/>)", "b", "name"},
        {L::Xml, R"(<a b="1" c ="2"/>)", "c", "none"},
        // CSS: "%" is not part of the number when a space follows it.
        {L::Css, "@media { a { color: #fff; margin: 12px 1.5em 50% ; t: 200ms } }", "@media",
         "keyword"},
        {L::Css, "a { color: #fff; margin: 12px 1.5em 50% ; t: 200ms }", "#fff", "keyword"},
        {L::Css, "a { color: #fff; margin: 12px 1.5em 50% ; t: 200ms }", "12px", "number"},
        {L::Css, "a { color: #fff; margin: 12px 1.5em 50% ; t: 200ms }", "1.5em", "number"},
        {L::Css, "a { color: #fff; margin: 12px 1.5em 50% ; t: 200ms }", "200ms", "number"},
        {L::Css, "a { color: #fff; margin: 12px 1.5em 50% ; t: 200ms }", "50", "number"},
        {L::Css, "a { color: #fff; margin: 12px 1.5em 50% ; t: 200ms }", "% ", "none"},
        {L::Css, "a { color: #fff; margin: 12px 1.5em 50% ; t: 200ms }", "color", "name"},
        // Python: the comment pass runs after the string pass.
        {L::Python, "x = 'a#b'\ns = \"\"\"doc\nmore\"\"\"\ndef run(): pass", "#b'", "comment"},
        {L::Python, "x = 'a#b'\ns = \"\"\"doc\nmore\"\"\"\ndef run(): pass",
         "\"\"\"doc\nmore\"\"\"", "string"},
        {L::Python, "x = 'a#b'\ns = \"\"\"doc\nmore\"\"\"\ndef run(): pass", "run", "declaration"},
        {L::Python, "x = 'a#b'\ns = \"\"\"doc\nmore\"\"\"\ndef run(): pass", "pass", "keyword"},
        // Shell, SQL, YAML.
        {L::Shell, "echo \"$HOME\" ${USER} # done", "echo", "keyword"},
        {L::Shell, "echo \"$HOME\" ${USER} # done", "${USER}", "name"},
        {L::Shell, "echo \"$HOME\" ${USER} # done", "$HOME", "name"},
        {L::Sql, "Select 'it''s' FROM t -- c", "Select", "keyword"},
        {L::Sql, "Select 'it''s' FROM t -- c", "'it''s'", "string"},
        {L::Sql, "Select 'it''s' FROM t -- c", "-- c", "comment"},
        {L::Yaml, "key: Yes # note\nname: \"a#b\"", "key", "name"},
        {L::Yaml, "key: Yes # note\nname: \"a#b\"", "Yes", "keyword"},
        {L::Yaml, "key: Yes # note\nname: \"a#b\"", "# note", "comment"},
        {L::Yaml, "key: Yes # note\nname: \"a#b\"", "\"a#b\"", "string"},
        // JavaScript and the generic languages.
        {L::Typescript, "const t = `a${b}`; function go() {}", "`a${b}`", "string"},
        {L::Typescript, "const t = `a${b}`; function go() {}", "go", "declaration"},
        {L::Cpp, "#include <x>\nint n = 42; /* a\nb */ class Box {};", "#include <x>", "comment"},
        {L::Cpp, "#include <x>\nint n = 42; /* a\nb */ class Box {};", "/* a\nb */", "comment"},
        {L::Cpp, "#include <x>\nint n = 42; /* a\nb */ class Box {};", "Box", "declaration"},
        {L::Rust, "fn main() { let x = 1; } // end", "// end", "comment"},
        {L::PlainText, "let x = 1 // not code", "let x = 1 // not code", "none"},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        const QString fragment = QString::fromUtf8(c.fragment);
        const qsizetype at = text.indexOf(fragment);
        ASSERT_GE(at, 0) << c.fragment;
        const auto runs = syntaxStyleRuns(text, TextRange{0, text.size()}, c.language);
        EXPECT_EQ(styleOf(runs, at, fragment.size()), QString::fromLatin1(c.style))
            << rawValue(c.language).toStdString() << ": " << c.fragment << " in " << c.text;
    }
}

TEST(SyntaxColouring, RunsAreSortedMergedAndNeverOverlap) {
    const QString text = QStringLiteral("struct A {}\nstruct B {} // x 1");
    const auto runs = syntaxStyleRuns(text, TextRange{0, text.size()}, EditorLanguage::Swift);
    ASSERT_FALSE(runs.isEmpty());
    for (qsizetype i = 1; i < runs.size(); ++i) {
        EXPECT_LE(runs[i - 1].end(), runs[i].location);
        EXPECT_FALSE(runs[i - 1].end() == runs[i].location && runs[i - 1].style == runs[i].style);
    }
}

TEST(SyntaxColouring, OnlyTheRangeIsSearchedAndItsEdgesActAsTheTextsEnds) {
    // The comment opens before the range, so its inside is coloured as plain code; the
    // range's start counts as a word boundary.
    const QString text = QStringLiteral("/* open\nreturn 5 */ x");
    const qsizetype start = text.indexOf(u'\n') + 1;
    const auto runs =
        syntaxStyleRuns(text, TextRange{start, text.size() - start}, EditorLanguage::Javascript);
    EXPECT_EQ(styleOf(runs, start, 6), QStringLiteral("keyword"));
    EXPECT_EQ(styleOf(runs, 0, start), QStringLiteral("none"));
    for (const SyntaxStyleRun& run : runs)
        EXPECT_GE(run.location, start);
    // A Markdown heading anchored at the range's start.
    const QString md = QStringLiteral("xx# Head");
    EXPECT_EQ(styleOf(syntaxStyleRuns(md, TextRange{2, 6}, EditorLanguage::Markdown), 2, 6),
              QStringLiteral("name+bold"));
}

TEST(SyntaxColouring, NoPassRunsAboveOneMillionUnits) {
    QString text(1'000'000, u' ');
    text.replace(0, 6, QStringLiteral("return"));
    EXPECT_FALSE(syntaxStyleRuns(text, TextRange{0, 100}, EditorLanguage::Javascript).isEmpty());
    text += u' ';
    EXPECT_TRUE(syntaxStyleRuns(text, TextRange{0, 100}, EditorLanguage::Javascript).isEmpty());
}

TEST(SyntaxColouring, AGroupThatTakesNoPartAndABadPatternColourNothing) {
    const QList<HighlightPass> passes{
        {QStringLiteral("(a)|(b)"), IcuRegex::NoOptions, 2, SyntaxColorRole::Number},
        {QStringLiteral("(unclosed"), IcuRegex::NoOptions, 0, SyntaxColorRole::Keyword},
    };
    const auto runs = syntaxStyleRuns(u"a b", TextRange{0, 3}, passes);
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0], (SyntaxStyleRun{2, 1, {SyntaxColorRole::Number, false}}));
    EXPECT_FALSE(cachedRegex(QStringLiteral("(unclosed"), IcuRegex::NoOptions));
}

TEST(SyntaxColouring, EveryRulePatternCompiles) {
    for (const QList<HighlightPass>* list : allHighlightPassLists()) {
        ASSERT_FALSE(list->isEmpty());
        for (const HighlightPass& pass : *list) {
            const std::optional<IcuRegex> regex = cachedRegex(pass.pattern, pass.options);
            ASSERT_TRUE(regex) << pass.pattern.toStdString();
            EXPECT_LE(pass.group, regex->captureGroupCount()) << pass.pattern.toStdString();
        }
    }
    EXPECT_TRUE(highlightPasses(EditorLanguage::PlainText).isEmpty());
    EXPECT_EQ(highlightPasses(EditorLanguage::Html).size(),
              highlightPasses(EditorLanguage::Xml).size() + 2);
}

TEST(SyntaxColouring, TheCacheKeysByOptionsAndPattern) {
    EXPECT_EQ(regexCacheKey(QStringLiteral("#.*"), IcuRegex::NoOptions),
              QStringLiteral("0\u0001#.*"));
    const auto plain = cachedRegex(QStringLiteral("ab"), IcuRegex::NoOptions);
    const auto folded = cachedRegex(QStringLiteral("ab"), IcuRegex::CaseInsensitive);
    ASSERT_TRUE(plain && folded);
    EXPECT_EQ(plain->matchRanges(u"AB ab").size(), 1u);
    EXPECT_EQ(folded->matchRanges(u"AB ab").size(), 2u);
}

TEST(SyntaxColouring, LineRangeAroundWidensToWholeLines) {
    const QString text = QStringLiteral("aaaa\nbbbb\ncccc\ndddd");
    struct Row {
        qsizetype location, length, margin;
        TextRange expected;
    };
    const Row rows[] = {
        {6, 1, 0, {5, 5}},                     // inside line 2
        {6, 1, 5, {0, 15}},                    // widened into lines 1 and 3
        {5, 0, 0, {5, 5}},                     // an empty range at a line start
        {0, 100, 0, {0, 19}},                  // the length clamped to the text
        {TextRange::NotFound, 2, 0, {0, 5}},   // not found counts as 0
        {-3, 0, -7, {0, 5}},                   // negative values clamp to 0
        {17, 0, 1'000'000'000'000LL, {0, 19}}, // a huge margin takes everything
        {9, 1, 0, {5, 5}},                     // the line feed belongs to its line
    };
    for (const Row& row : rows)
        EXPECT_EQ(lineRangeAround(text, row.location, row.length, row.margin), row.expected)
            << row.location << "+" << row.length << " m" << row.margin;
    EXPECT_EQ(lineRangeAround(u"", 0, 0, 10), (TextRange{0, 0}));
}

TEST(SyntaxColouring, TheKeywordFastPathFindsWhatTheExpressionFinds) {
    QList<HighlightPass> keywordPasses;
    for (const QList<HighlightPass>* list : allHighlightPassLists())
        for (const HighlightPass& pass : *list)
            if (KeywordAlternation::fromPass(pass))
                keywordPasses.append(pass);
    // Swift, JSON, Python, Shell, JavaScript and the generic keywords; the case-insensitive
    // ones (SQL, YAML) keep the expression, whose case folding reaches beyond ASCII.
    ASSERT_EQ(keywordPasses.size(), 6);

    const QStringList pieces{"if",
                             "int",
                             "return",
                             "Self",
                             "self",
                             "for",
                             "in",
                             "as",
                             "ab",   // the first letter and length of "as", not its end
                             "fir",  // of "for"
                             "selt", // of "self"
                             "x",
                             "_",
                             "9",
                             " ",
                             "\n",
                             ".",
                             "(",
                             "\u00e9",
                             "\u0301",
                             "\u200d",
                             "\u200b",
                             "\u00ad",
                             "\u2028",
                             "\U0001D400",
                             "\U0001F600",
                             QString(QChar(0xD835)),
                             QString(QChar(0xDC00)),
                             "\u0660",
                             "\u203f"};
    QRandomGenerator random(12);
    for (int round = 0; round < 3000; ++round) {
        QString text;
        const int count = random.bounded(1, 12);
        for (int i = 0; i < count; ++i)
            text += pieces[random.bounded(int(pieces.size()))];
        const qsizetype start = random.bounded(int(text.size()) + 1);
        const TextRange range{start, random.bounded(int(text.size() - start) + 1)};
        const HighlightPass& pass = keywordPasses[round % keywordPasses.size()];
        ASSERT_EQ(reference::scannedMatches(*KeywordAlternation::fromPass(pass), text, range),
                  reference::referenceMatches(pass, text, range))
            << text.toStdString() << " @" << range.location << "+" << range.length;
    }
}

TEST(SyntaxColouring, TheQuotedKeyAndValueFastPathsFindWhatTheExpressionsFind) {
    const QStringList pieces{
        "\"",   "\\\"",   "\\",     "\\\\",   ":", " ", "\t",         "\n",
        "\r\n", "\u2028", "\u0085", "\u00a0", "a", "{", "\U0001F600", QString(QChar(0xD835))};
    QRandomGenerator random(25);
    for (const qsizetype pass : {0, 1}) {
        const HighlightPass& rule = highlightPasses(EditorLanguage::Json).at(pass);
        ASSERT_TRUE(QuotedKeyScan::fromPass(rule));
        for (int round = 0; round < 5000; ++round) {
            QString text;
            for (int i = random.bounded(1, 20); i > 0; --i)
                text += pieces[random.bounded(int(pieces.size()))];
            const TextRange range = wholeOrRandomRange(random, text, round);
            ASSERT_EQ(reference::scannedMatches(*QuotedKeyScan::fromPass(rule), text, range),
                      reference::referenceMatches(rule, text, range))
                << pass << ": " << text.toStdString() << " @" << range.location << "+"
                << range.length;
        }
    }
}

TEST(SyntaxColouring, JsonHoldingStringifiedJsonKeepsItsColours) {
    // The same passes with the key rule in a form the fast path does not take.
    QList<HighlightPass> expressionOnly = highlightPasses(EditorLanguage::Json);
    for (const qsizetype pass : {0, 1}) {
        expressionOnly[pass].pattern = QStringLiteral("(?:") + expressionOnly[pass].pattern + u')';
        ASSERT_FALSE(QuotedKeyScan::fromPass(expressionOnly[pass]));
    }
    QString inner;
    for (int i = 0; i < 40; ++i)
        inner += QStringLiteral(R"({\"id\": %1, \"name\":\"a \\\" b\", \"ok\": true},)").arg(i);
    const QStringList texts{
        QStringLiteral("{\"payload\": \"[") + inner + QStringLiteral("]\", \"n\": -1.5e3}"),
        // Unclosed: the string runs to the end.
        QStringLiteral("{\"payload\": \"[") + inner,
        QStringLiteral("[\"a\" : 1, \"b\"\n:\"c\", \"d\\\ne\": {}]"),
    };
    for (const QString& text : texts) {
        const TextRange whole{0, text.size()};
        EXPECT_EQ(syntaxStyleRuns(text, whole, EditorLanguage::Json),
                  syntaxStyleRuns(text, whole, expressionOnly))
            << text.toStdString();
    }
}

TEST(SyntaxColouring, BlankLedYamlKeysColourAsTheWholePatternDoes) {
    // The same passes with the key rule under an option it does not use, which the fast path
    // does not take.
    QList<HighlightPass> expressionOnly = highlightPasses(EditorLanguage::Yaml);
    qsizetype keyRule = -1;
    for (qsizetype i = 0; i < expressionOnly.size(); ++i)
        if (expressionOnly[i].pattern.startsWith(u"^\\s*"))
            keyRule = i;
    ASSERT_GE(keyRule, 0);
    expressionOnly[keyRule].options |= IcuRegex::UseUnicodeWordBoundaries;
    const QStringList pieces{"key",    "a.b-c",  ":",      " ", "\t", "\n",   "\n\n", "\r\n", "\r",
                             "\u2028", "\u0085", "\u00a0", "#", "\"", "true", "- ",   "9"};
    QRandomGenerator random(25);
    for (int round = 0; round < 3000; ++round) {
        QString text;
        for (int i = random.bounded(1, 20); i > 0; --i)
            text += pieces[random.bounded(int(pieces.size()))];
        const qsizetype start = random.bounded(int(text.size()) + 1);
        const TextRange range =
            round % 2 ? TextRange{0, text.size()} : TextRange{start, text.size() - start};
        ASSERT_EQ(syntaxStyleRuns(text, range, EditorLanguage::Yaml),
                  syntaxStyleRuns(text, range, expressionOnly))
            << text.toStdString() << " @" << range.location;
    }
}

namespace {

// Every string and comment pass the delimited-span fast path takes, from every language.
QList<HighlightPass> delimitedSpanPasses() {
    QList<HighlightPass> taken;
    for (const QList<HighlightPass>* passes : allHighlightPassLists())
        for (const HighlightPass& pass : *passes)
            if (DelimitedSpanScan::fromPass(pass))
                taken.append(pass);
    return taken;
}

} // namespace

TEST(SyntaxColouring, StringAndCommentFastPathFindsWhatTheExpressionFinds) {
    // Every string and comment rule is taken, Markdown's code, bold and link rules, and HTML's
    // doctype in any case.
    EXPECT_TRUE(DelimitedSpanScan::fromPass(highlightPasses(EditorLanguage::Html).at(4)));
    for (const HighlightPass& pass : highlightPasses(EditorLanguage::Markdown)) {
        if (pass.options == IcuRegex::NoOptions) {
            EXPECT_TRUE(DelimitedSpanScan::fromPass(pass)) << pass.pattern.toStdString();
        }
    }
    for (const QList<HighlightPass>* list : allHighlightPassLists()) {
        for (const HighlightPass& pass : *list) {
            if ((pass.role == SyntaxColorRole::String || pass.role == SyntaxColorRole::Comment) &&
                pass.group == 0 && pass.options == IcuRegex::NoOptions) {
                EXPECT_TRUE(DelimitedSpanScan::fromPass(pass)) << pass.pattern.toStdString();
            }
        }
    }
    const QList<HighlightPass> passes = delimitedSpanPasses();
    const QStringList pieces{"\"",        "'",         "`",          "\\",
                             "\\\"",      "\\'",       "/*",         "*/",
                             "/",         "*",         "<!--",       "-->",
                             "-",         "\"\"\"",    "'''",        "''",
                             "<!DOCTYPE", "<!doctype", "<!DocTyPe",  ">",
                             "\u017F",    "\u212A",    "\u1E97",     "\u0130",
                             "\u00DF",    "#",         "[",          "]",
                             "(",         ")",         "](",         "**",
                             "__",        "_",         "//",         "--",
                             "\n",        "\r\n",      "\u2028",     "\u0085",
                             "a",         " ",         "\U0001F600", QString(QChar(0xD835))};
    QRandomGenerator random(25);
    for (int round = 0; round < 3000; ++round) {
        QString text;
        for (int i = random.bounded(1, 24); i > 0; --i)
            text += pieces[random.bounded(int(pieces.size()))];
        const TextRange range = wholeOrRandomRange(random, text, round);
        for (const HighlightPass& pass : passes)
            ASSERT_EQ(reference::scannedMatches(*DelimitedSpanScan::fromPass(pass), text, range),
                      reference::referenceMatches(pass, text, range))
                << pass.pattern.toStdString() << " on " << text.toStdString() << " @"
                << range.location << "+" << range.length;
    }
}

TEST(SyntaxColouring, UnclosedStringsAndBlocksColourAsTheWholePatternDoes) {
    // Each opener of these fails after scanning on to the end, where ICU tries every one.
    const QStringList texts{
        QStringLiteral("x = \"") + QStringLiteral("a\\\" ").repeated(400),
        QStringLiteral("x = '") + QStringLiteral("a\\' ").repeated(400),
        QStringLiteral("x = `") + QStringLiteral("a\\` ").repeated(400),
        QStringLiteral("/* a ").repeated(400),
        QStringLiteral("<!-- a ").repeated(400),
        QStringLiteral("s = \"\"\"") + QStringLiteral("\\\"a ").repeated(400),
        QStringLiteral("'''a\\'").repeated(300),
        QStringLiteral("x = '") + QStringLiteral("a'' ").repeated(400),
        QStringLiteral("\"''\"").repeated(400),
        QStringLiteral("/*\"// '# ").repeated(300),
        QStringLiteral("[a ").repeated(400),
        QStringLiteral("<!DOCTYPE a <!doctype ").repeated(200),
        QStringLiteral("[a](b ").repeated(300),
        QStringLiteral("**a __b `c ").repeated(200),
        QStringLiteral("\"a\\\n\" '").repeated(300),
    };
    const QList<HighlightPass> passes = delimitedSpanPasses();
    for (const QString& text : texts)
        for (const HighlightPass& pass : passes) {
            const TextRange whole{0, text.size()};
            ASSERT_EQ(reference::scannedMatches(*DelimitedSpanScan::fromPass(pass), text, whole),
                      reference::referenceMatches(pass, text, whole))
                << pass.pattern.toStdString() << " on " << text.left(40).toStdString();
        }
}

TEST(SyntaxColouring, RealFilesColourStringsAndCommentsAsTheWholePatternDoes) {
    QStringList texts;
    QDirIterator files(QStringLiteral(DUNMOSS_SOURCE_DIR),
                       {"*.cpp", "*.h", "*.md", "*.json", "*.txt", "*.cmake", "*.sh"}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext() && texts.size() < 60) {
        const QString path = files.next();
        if (path.contains(QStringLiteral("/build")))
            continue;
        QFile file(path);
        if (file.size() < 40'000 && file.open(QIODevice::ReadOnly))
            texts << QString::fromUtf8(file.readAll());
    }
    ASSERT_GE(texts.size(), 20);
    const QList<HighlightPass> passes = delimitedSpanPasses();
    for (const QString& text : texts)
        for (const HighlightPass& pass : passes) {
            const TextRange whole{0, text.size()};
            ASSERT_EQ(reference::scannedMatches(*DelimitedSpanScan::fromPass(pass), text, whole),
                      reference::referenceMatches(pass, text, whole))
                << pass.pattern.toStdString() << " on " << text.left(80).toStdString();
        }
}

TEST(SyntaxColouring, TheNumberFastPathFindsWhatTheExpressionFinds) {
    QList<HighlightPass> numberPasses;
    for (const QList<HighlightPass>* list : allHighlightPassLists())
        for (const HighlightPass& pass : *list)
            if (NumberScan::fromPass(pass))
                numberPasses.append(pass);
    // The plain number of most languages and JSON's signed one with an exponent; CSS's with
    // units keeps the expression.
    ASSERT_EQ(numberPasses.size(), 7);

    const QStringList pieces{"1", "42",     "0",      ".",      "-",      "+",         "e",
                             "E", "x",      "_",      " ",      "a",      "\n",        ",",
                             "(", "\u0301", "\u0660", "\u00e9", "\u200d", "\U0001D7CE"};
    QRandomGenerator random(21);
    for (int round = 0; round < 6000; ++round) {
        QString text;
        const int count = random.bounded(1, 14);
        for (int i = 0; i < count; ++i)
            text += pieces[random.bounded(int(pieces.size()))];
        const qsizetype start = random.bounded(int(text.size()) + 1);
        const TextRange range{start, random.bounded(int(text.size() - start) + 1)};
        const HighlightPass& pass = numberPasses[round % numberPasses.size()];
        ASSERT_EQ(reference::scannedMatches(*NumberScan::fromPass(pass), text, range),
                  reference::referenceMatches(pass, text, range))
            << pass.pattern.toStdString() << " on " << text.toStdString() << " @" << range.location
            << "+" << range.length;
    }
}
