#include "text/DocumentOutline.h"
#include "text/TextEditPrinter.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

struct Expected {
    const char* title;
    const char* detail;
    int line;
};

QStringList summary(const QList<DocumentOutlineItem>& items) {
    QStringList out;
    for (const DocumentOutlineItem& item : items)
        out << QStringLiteral("%1|%2|%3").arg(item.title, item.detail).arg(item.line);
    return out;
}

QStringList summary(std::initializer_list<Expected> expected) {
    QStringList out;
    for (const Expected& e : expected)
        out << QStringLiteral("%1|%2|%3")
                   .arg(QString::fromUtf8(e.title), QString::fromUtf8(e.detail))
                   .arg(e.line);
    return out;
}

} // namespace

TEST(DocumentOutline, EachLanguageListsItsLandmarksWithLinesAndDetails) {
    using L = EditorLanguage;
    struct Row {
        EditorLanguage language;
        const char* text;
        std::initializer_list<Expected> items;
    };
    const Row rows[] = {
        {L::Swift,
         "import Foo\nlet x = 1\npublic struct Point {\n  func move() {}\n}",
         {{"Point", "struct", 3}, {"move", "func", 4}}},
        // "\s*" crosses blank lines, but B is listed at its own line.
        {L::Swift, "struct A {}\n\n\nstruct B {}", {{"A", "struct", 1}, {"B", "struct", 4}}},
        {L::Markdown, "## Usage\n####### x\n# Top", {{"Usage", "##", 1}, {"Top", "#", 3}}},
        {L::Python,
         "class A:\n    def run(self):\n        pass",
         {{"A", "class", 1}, {"run", "def", 2}}},
        {L::Json,
         "{\n  \"items\": [1],\n  \"name\": \"x\",\n  \"meta\" : {}\n}",
         {{"items", "JSON", 2}, {"meta", "JSON", 4}}},
        // Function and class items first, then arrow functions.
        {L::Javascript,
         "const f = (a) => a\n\n\n\nfunction g() {}",
         {{"g", "JS", 5}, {"f", "JS", 1}}},
        {L::Html, "<html>\n<body class=\"x\">\n</body>", {{"html", "Tag", 1}, {"body", "Tag", 2}}},
        {L::Css, "a.b {\n}\n@media x {\n}", {{"a.b ", "CSS", 1}}},
        {L::Yaml, "name: x\nversion = 2\n- item", {{"name", "Item", 1}, {"version", "Item", 2}}},
        {L::Go, "package x\nfunc main() {}\nclass Y", {{"main", "Code", 2}, {"Y", "Code", 3}}},
        // Plain text keeps one item per line and title, the Swift one before the code one.
        {L::PlainText,
         "one\ntwo\nthree\nfunc main\n# Notes",
         {{"main", "func", 4}, {"Notes", "#", 5}}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(summary(extractOutline(QString::fromUtf8(row.text), row.language)),
                  summary(row.items))
            << rawValue(row.language).toStdString() << ": " << row.text;
}

TEST(DocumentOutline, ItemsStartOnTheirOwnLineAndCarryFreshIdentifiers) {
    const QString text = QStringLiteral("x\n\n  def run(self):");
    const auto items = extractOutline(text, EditorLanguage::Python);
    ASSERT_EQ(items.size(), 1);
    // "\s*" took in the blank line above; the item starts at its own line, indent included.
    const qsizetype end = text.indexOf(QStringLiteral("run")) + 3;
    EXPECT_EQ(items[0].range, (TextRange{3, end - 3}));
    EXPECT_EQ(items[0].line, 3);
    EXPECT_EQ(items[0].title, QStringLiteral("run"));
    const auto again = extractOutline(text, EditorLanguage::Python);
    EXPECT_NE(items[0].id, again[0].id);
    EXPECT_FALSE(items[0].id.isNull());
}

// Blank lines above a landmark (empty, or of blanks only) belong to no item: each item's line
// and range start at the line of its first character, whatever the language.
TEST(DocumentOutline, BlankLinesAboveALandmarkAreNotPartOfIt) {
    struct Row {
        EditorLanguage language;
        QString text;
        QString landmark; // where the item's own line starts
    };
    const Row rows[] = {
        {EditorLanguage::Python, QStringLiteral("import os\n\nclass Foo:\n"), "class Foo"},
        {EditorLanguage::Python, QStringLiteral("a = 1\n  \n\t\n    def run(x):"), "    def"},
        {EditorLanguage::Swift, QStringLiteral("\n\n\npublic struct P {}"), "public"},
        {EditorLanguage::Json, QStringLiteral("{\n\n  \"k\": {}\n}"), "  \"k\""},
        {EditorLanguage::PlainText, QStringLiteral("note\n \nfunc main"), "func main"},
    };
    for (const Row& row : rows) {
        const auto items = extractOutline(row.text, row.language);
        ASSERT_EQ(items.size(), 1) << row.text.toStdString();
        const qsizetype start = row.text.indexOf(row.landmark);
        EXPECT_EQ(items[0].range.location, start) << row.text.toStdString();
        EXPECT_EQ(items[0].line, row.text.left(start).count(u'\n') + 1) << row.text.toStdString();
        EXPECT_FALSE(row.text.mid(items[0].range.location, items[0].range.length).contains(u'\n'));
    }
}

TEST(DocumentOutline, EmptyTextsAndBadPatternsGiveNothing) {
    for (EditorLanguage language : allEditorLanguages())
        EXPECT_TRUE(extractOutline(QString(), language).isEmpty()) << int(language);
    EXPECT_TRUE(
        extractOutlineMatches(QStringLiteral("(open"), QStringLiteral("open"), 1, std::nullopt)
            .isEmpty());
    // A detail group that took no part gives an empty detail.
    const auto items =
        extractOutlineMatches(QStringLiteral("^(x)(y)?"), QStringLiteral("x\nxy"), 1, 2);
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].detail, QString());
    EXPECT_EQ(items[1].detail, QStringLiteral("y"));
    EXPECT_EQ(items[1].line, 2);
}

TEST(DocumentOutline, SelectorsAreFoundBetweenBracesAsInTheWholeText) {
    // The CSS extractor searches only up to each "{"; it must list what the pattern finds
    // over the whole text.
    const QString pattern = QStringLiteral(R"re(^\s*([^@{}\s][^{}]+)\s*\{)re");
    const QStringList pieces{"a", ".b", " ", "\n", "{", "}", "@m", "\t", ":x", "\r\n", "\u2028"};
    QRandomGenerator random(5);
    for (int round = 0; round < 2000; ++round) {
        QString text;
        for (int i = random.bounded(1, 16); i > 0; --i)
            text += pieces[random.bounded(int(pieces.size()))];
        const auto fast = extractCSSOutline(text);
        const auto slow =
            extractOutlineMatches(pattern, text, 1, std::nullopt, QStringLiteral("CSS"));
        ASSERT_EQ(fast.size(), slow.size()) << text.toStdString();
        for (qsizetype i = 0; i < fast.size(); ++i) {
            EXPECT_EQ(fast[i].range, slow[i].range) << text.toStdString();
            EXPECT_EQ(fast[i].title, slow[i].title);
            EXPECT_EQ(fast[i].line, slow[i].line);
        }
    }
}
