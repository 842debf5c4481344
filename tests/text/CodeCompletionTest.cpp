#include "text/CodeCompletion.h"
#include "support/TestFiles.h"
#include "text/CompletionVocabulary.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

QStringList complete(const QString& text, EditorLanguage language, const QString& partial,
                     const std::optional<QUrl>& file = std::nullopt,
                     TextRange selection = TextRange::notFound()) {
    if (selection.isNotFound())
        selection = TextRange{text.size(), 0};
    return wordCompletions(text, language, partial, selection, file);
}

} // namespace

TEST(WordCompletion, PrefixMatchesLeadThenLocaleOrderWithoutTheTypedWord) {
    EXPECT_EQ(complete(QStringLiteral("let total = count + total"), EditorLanguage::Swift,
                       QStringLiteral("to")),
              (QStringList{"total", "actor", "protocol"}));
    // The typed word is not offered again in any letter case.
    EXPECT_FALSE(complete(QString(), EditorLanguage::Swift, QStringLiteral("Class"))
                     .contains(QStringLiteral("class")));
    // A keyword beats an equal identifier; an identifier needs three ASCII characters.
    const QStringList python = complete(QStringLiteral("ab abc while whilex élan"),
                                        EditorLanguage::Python, QStringLiteral(" whi "));
    EXPECT_EQ(python, (QStringList{"while", "whilex"}));
    EXPECT_TRUE(
        complete(QStringLiteral("ab"), EditorLanguage::PlainText, QStringLiteral("ab")).isEmpty());
}

TEST(WordCompletion, AnEmptyPrefixOffersEverythingInOrderCutAtEighty) {
    QString text;
    for (int i = 0; i < 200; ++i)
        text += QStringLiteral("name%1 ").arg(i, 3, 10, QChar(u'0'));
    const QStringList all = complete(text, EditorLanguage::Cpp, QString());
    ASSERT_EQ(all.size(), kCompletionLimit);
    for (int i = 1; i < all.size(); ++i)
        EXPECT_FALSE(completionOrder(all[i], all[i - 1], QString())) << all[i].toStdString();
    EXPECT_EQ(all.first(), QStringLiteral("break"));
    const QStringList sql = complete(QString(), EditorLanguage::Sql, QString());
    EXPECT_EQ(sql.size(), completionApiList(EditorLanguage::Sql).size() +
                              completionKeywordList(EditorLanguage::Sql).size());
    EXPECT_TRUE(sql.contains(QStringLiteral("GROUP BY")));
}

TEST(WordCompletion, PathEntriesComeFromTheDocumentsFolderOrHome) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path();
    ASSERT_TRUE(QDir(root).mkpath(QStringLiteral("src/inner")));
    ASSERT_TRUE(QDir(root).mkpath(QStringLiteral("Srv")));
    test::writeFile(root + QStringLiteral("/SRC.txt"), "x");
    test::writeFile(root + QStringLiteral("/other.txt"), "x");
    test::writeFile(root + QStringLiteral("/.srchidden"), "x");
    test::writeFile(root + QStringLiteral("/src/main.c"), "x");
    const QUrl file = QUrl::fromLocalFile(root + QStringLiteral("/doc.md"));

    QStringList found = pathCompletions(QStringLiteral("see ./sr"), 8, 0, file);
    found.sort();
    EXPECT_EQ(found, (QStringList{"SRC.txt", "Srv/", "src/"}));
    found = pathCompletions(QStringLiteral("'src/"), 5, 0, file);
    found.sort();
    EXPECT_EQ(found, (QStringList{"inner/", "main.c"}));
    EXPECT_EQ(pathCompletions(QStringLiteral("x ") + root + QStringLiteral("/src/inn"), 99, 0,
                              std::nullopt),
              QStringList{"inner/"});
    // No token with a slash or a leading dot, a selection, or a missing folder: nothing.
    EXPECT_TRUE(pathCompletions(QStringLiteral("src"), 3, 0, file).isEmpty());
    EXPECT_TRUE(pathCompletions(QStringLiteral("./sr"), 4, 1, file).isEmpty());
    EXPECT_TRUE(pathCompletions(QStringLiteral("nothere/"), 8, 0, file).isEmpty());
    // Path entries lead the word list and the selection only stops the path part.
    const QStringList words = wordCompletions(QStringLiteral("./sr sorted"), EditorLanguage::Go,
                                              QStringLiteral("sr"), TextRange{4, 0}, file);
    EXPECT_TRUE(words.contains(QStringLiteral("src/")));

    // An untitled document resolves against the home folder; "~" is a folder name.
    const auto home = pathCompletionContext(QStringLiteral("src/ma"), 6, std::nullopt);
    ASSERT_TRUE(home);
    EXPECT_EQ(home->directoryPath, QDir::cleanPath(QDir::homePath() + QStringLiteral("/src")));
    EXPECT_EQ(home->namePrefix, QStringLiteral("ma"));
    const auto tilde = pathCompletionContext(QStringLiteral("<~/a"), 4, file);
    ASSERT_TRUE(tilde);
    EXPECT_EQ(tilde->directoryPath, root + QStringLiteral("/~"));
    const auto up = pathCompletionContext(QStringLiteral("../x"), 4, file);
    ASSERT_TRUE(up);
    EXPECT_EQ(up->directoryPath, QFileInfo(root).absolutePath());
}

TEST(ParameterHint, TheCallAroundTheCaretNamesTheSignature) {
    using L = EditorLanguage;
    struct Row {
        EditorLanguage language;
        const char* text; // the caret at the end
        const char* hint;
    };
    const Row rows[] = {
        {L::Python, "print(a, (b), ", R"(print(*objects, sep=' ', end='\n'))"},
        {L::Python, "print(a,\n  b", ""},
        {L::Python, "print (", R"(print(*objects, sep=' ', end='\n'))"},
        {L::Javascript, "console.log(", "console.log(...data)"},
        {L::Typescript, "foo(", ""},
        {L::Go, "sort(", "sort(compare)"},
        {L::Go, "sorted(", ""},
        {L::Swift, "xs.first(", "first(where predicate: (Element) throws -> Bool)"},
        {L::Sql, "select count(", ""},
        {L::Sql, "select COUNT(x", "COUNT(expression)"},
        {L::Swift, "(map)", ""},
    };
    for (const Row& row : rows) {
        const QString text = QString::fromUtf8(row.text);
        EXPECT_EQ(parameterHint(text, row.language, TextRange{text.size(), 0}),
                  QString::fromUtf8(row.hint))
            << row.text;
    }
    EXPECT_EQ(parameterHint(QStringLiteral("print("), L::Python, TextRange{0, 6}), QString());
    EXPECT_EQ(identifierBeforeIndex(7, u"héllo  ("),
              std::optional<QString>(QStringLiteral("héllo")));
    EXPECT_EQ(identifierBeforeIndex(3, u"a, ("), std::nullopt);
    EXPECT_EQ(identifierBeforeIndex(0, u"("), std::nullopt);
}
