// The outline is found without ICU's backtracking over runs of blanks; it must list exactly what
// a plain search with each language's whole pattern lists.
#include "text/DocumentOutline.h"
#include "text/TextEditPrinter.h"

#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

// The patterns as written in full, searched with ICU alone.
const QString kDeclaration = QStringLiteral(
    R"re(^\s*(?:public|private|fileprivate|internal|open)?\s*(actor|class|struct|enum|protocol|extension|func)\s+([A-Za-z_][A-Za-z0-9_]*))re");
const QString kHeading = QStringLiteral(R"re(^(#{1,6})\s+(.+)$)re");
const QString kDefinition = QStringLiteral(R"re(^\s*(def|class)\s+([A-Za-z_][A-Za-z0-9_]*))re");
const QString kJson = QStringLiteral(R"re(^\s*"([^"]+)"\s*:\s*(?:\{|\[))re");
const QString kScript = QStringLiteral(
    R"re(^\s*(?:export\s+)?(?:async\s+)?(?:function|class)\s+([A-Za-z_$][A-Za-z0-9_$]*))re");
const QString kArrow = QStringLiteral(
    R"re(^\s*(?:const|let|var)\s+([A-Za-z_$][A-Za-z0-9_$]*)\s*=\s*(?:async\s*)?\(?[^=]*\)?\s*=>)re");
const QString kTag = QStringLiteral(R"re(^\s*<([A-Za-z][A-Za-z0-9:_-]*)(?:\s|>|$))re");
const QString kCss = QStringLiteral(R"re(^\s*([^@{}\s][^{}]+)\s*\{)re");
const QString kKey = QStringLiteral(R"re(^\s*([A-Za-z_][A-Za-z0-9_\.-]+)\s*[:=])re");
const QString kCode =
    QStringLiteral(R"re(^\s*(?:function|func|def|class)\s+([A-Za-z_][A-Za-z0-9_]*))re");

QList<DocumentOutlineItem> fixed(const QString& pattern, const QString& text, const char* detail) {
    return extractOutlineMatches(pattern, text, 1, std::nullopt, QString::fromLatin1(detail));
}

QList<DocumentOutlineItem> referenceOutline(const QString& text, EditorLanguage language) {
    using L = EditorLanguage;
    switch (language) {
    case L::PlainText: {
        QList<DocumentOutlineItem> items = extractOutlineMatches(kDeclaration, text, 2, 1);
        items += extractOutlineMatches(kHeading, text, 2, 1);
        items += fixed(kJson, text, "JSON");
        items += fixed(kScript, text, "JS") + fixed(kArrow, text, "JS");
        items += extractOutlineMatches(kDefinition, text, 2, 1);
        items += fixed(kTag, text, "Tag");
        items += fixed(kCode, text, "Code");
        std::stable_sort(items.begin(), items.end(), [](const auto& a, const auto& b) {
            return a.range.location < b.range.location;
        });
        QSet<QString> seen;
        QList<DocumentOutlineItem> kept;
        for (const DocumentOutlineItem& item : items) {
            const QString key = QString::number(item.line) + u':' + item.title;
            if (!seen.contains(key)) {
                seen.insert(key);
                kept.append(item);
            }
        }
        return kept;
    }
    case L::Swift:
        return extractOutlineMatches(kDeclaration, text, 2, 1);
    case L::Markdown:
        return extractOutlineMatches(kHeading, text, 2, 1);
    case L::Python:
        return extractOutlineMatches(kDefinition, text, 2, 1);
    case L::Json:
        return fixed(kJson, text, "JSON");
    case L::Javascript:
        return fixed(kScript, text, "JS") + fixed(kArrow, text, "JS");
    case L::Html:
        return fixed(kTag, text, "Tag");
    case L::Css:
        return fixed(kCss, text, "CSS");
    case L::Yaml:
        return fixed(kKey, text, "Item");
    default:
        return fixed(kCode, text, "Code");
    }
}

const EditorLanguage kLanguages[] = {
    EditorLanguage::PlainText, EditorLanguage::Swift, EditorLanguage::Markdown,
    EditorLanguage::Python,    EditorLanguage::Json,  EditorLanguage::Javascript,
    EditorLanguage::Html,      EditorLanguage::Css,   EditorLanguage::Yaml,
    EditorLanguage::Go,
};

QString describe(const QList<DocumentOutlineItem>& items) {
    QString out;
    for (const DocumentOutlineItem& item : items)
        out += QStringLiteral("[%1|%2|%3|%4+%5] ")
                   .arg(item.title, item.detail)
                   .arg(item.line)
                   .arg(item.range.location)
                   .arg(item.range.length);
    return out;
}

void expectSameOutline(const QString& text, const QString& origin) {
    for (EditorLanguage language : kLanguages) {
        const QString got = describe(extractOutline(text, language));
        const QString want = describe(referenceOutline(text, language));
        ASSERT_EQ(got.toStdString(), want.toStdString())
            << rawValue(language).toStdString() << " in " << origin.toStdString() << ": "
            << text.toStdString();
    }
}

} // namespace

TEST(DocumentOutlineEquivalence, RandomTextsListWhatTheWholePatternsFind) {
    const QStringList pieces{
        "func",      " ",      "  ",  "\t",  "\n",     "\n\n",   "\r\n",   "\r",
        "\u2028",    "\u0085", "\v",  "\f",  "\u00a0", "\u3000", "public", "private",
        "class",     "struct", "def", "x",   "Ab_1",   "$y",     "const",  "let",
        "var",       "=",      "=>",  "(a)", ")",      "async",  "export", "function",
        "<",         "div",    ">",   "\"",  "\"k\"",  ":",      "{",      "[",
        "}",         "#",      "##",  "@m",  ".",      "-",      "ß",      "\U0001F600",
        "openclass", "a.b"};
    QRandomGenerator random(25);
    for (int round = 0; round < 3000; ++round) {
        QString text;
        for (int i = random.bounded(1, 24); i > 0; --i)
            text += pieces[random.bounded(int(pieces.size()))];
        expectSameOutline(text, QStringLiteral("round %1").arg(round));
        if (testing::Test::HasFatalFailure())
            return;
    }
}

TEST(DocumentOutlineEquivalence, RealFilesAndLongBlankRunsListTheSame) {
    QStringList texts;
    QDirIterator files(QStringLiteral(DUNMOSS_SOURCE_DIR),
                       {"*.cpp", "*.h", "*.md", "*.json", "*.txt", "*.cmake", "*.desktop"},
                       QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext() && texts.size() < 60) {
        const QString path = files.next();
        if (path.contains(QStringLiteral("/build")))
            continue;
        QFile file(path);
        if (file.size() < 40'000 && file.open(QIODevice::ReadOnly))
            texts << QString::fromUtf8(file.readAll());
    }
    ASSERT_GE(texts.size(), 20);
    // Where the whole patterns backtrack the most: blanks before something that is not a
    // landmark, and an arrow assignment with no "=" after it.
    const QString blanks(150, u'\n');
    texts << QStringLiteral("func a\n") + blanks + QStringLiteral("the end\n")
          << QStringLiteral("public ") + blanks + QStringLiteral("  \t class B\n")
          << QStringLiteral("const f = async (") + blanks + QStringLiteral(") => 1\nlet g =") +
                 blanks
          << QStringLiteral("\"key\"") + blanks + QStringLiteral(":") + blanks + u'{'
          << blanks + u'{' + blanks + QStringLiteral("x {");
    for (const QString& text : texts) {
        expectSameOutline(text, text.left(60));
        if (testing::Test::HasFatalFailure())
            return;
    }
}
