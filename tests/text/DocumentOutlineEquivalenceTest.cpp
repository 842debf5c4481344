// The outline is found without ICU's backtracking over runs of blanks; it must list exactly what
// a plain search with each language's whole pattern lists.
#include "../../fuzz/support/OutlineReference.h"
#include "text/DocumentOutline.h"
#include "text/TextEditPrinter.h"

#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace dunmoss;
using reference::referenceOutline;

namespace {

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
