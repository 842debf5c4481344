#include "text/LanguageCatalogue.h"
#include "platform/Defaults.h"
#include "platform/Localization.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

EditorLanguage detect(const char* path) {
    return detectLanguage(QUrl::fromLocalFile(QString::fromUtf8(path)));
}

} // namespace

TEST(LanguageCatalogue, EveryExtensionOfTheTableMapsToItsLanguage) {
    const std::pair<const char*, EditorLanguage> table[] = {
        {"swift", EditorLanguage::Swift},
        {"json", EditorLanguage::Json},
        {"jsonc", EditorLanguage::Json},
        {"md", EditorLanguage::Markdown},
        {"markdown", EditorLanguage::Markdown},
        {"js", EditorLanguage::Javascript},
        {"jsx", EditorLanguage::Javascript},
        {"mjs", EditorLanguage::Javascript},
        {"cjs", EditorLanguage::Javascript},
        {"ts", EditorLanguage::Typescript},
        {"tsx", EditorLanguage::Typescript},
        {"html", EditorLanguage::Html},
        {"htm", EditorLanguage::Html},
        {"xhtml", EditorLanguage::Html},
        {"css", EditorLanguage::Css},
        {"scss", EditorLanguage::Css},
        {"sass", EditorLanguage::Css},
        {"less", EditorLanguage::Css},
        {"py", EditorLanguage::Python},
        {"pyw", EditorLanguage::Python},
        {"sh", EditorLanguage::Shell},
        {"bash", EditorLanguage::Shell},
        {"zsh", EditorLanguage::Shell},
        {"fish", EditorLanguage::Shell},
        {"command", EditorLanguage::Shell},
        {"sql", EditorLanguage::Sql},
        {"yaml", EditorLanguage::Yaml},
        {"yml", EditorLanguage::Yaml},
        {"toml", EditorLanguage::Yaml},
        {"xml", EditorLanguage::Xml},
        {"plist", EditorLanguage::Xml},
        {"svg", EditorLanguage::Xml},
        {"xib", EditorLanguage::Xml},
        {"storyboard", EditorLanguage::Xml},
        {"c", EditorLanguage::Cpp},
        {"cc", EditorLanguage::Cpp},
        {"cpp", EditorLanguage::Cpp},
        {"cxx", EditorLanguage::Cpp},
        {"h", EditorLanguage::Cpp},
        {"hpp", EditorLanguage::Cpp},
        {"hh", EditorLanguage::Cpp},
        {"m", EditorLanguage::Cpp},
        {"mm", EditorLanguage::Cpp},
        {"java", EditorLanguage::Java},
        {"cs", EditorLanguage::Csharp},
        {"go", EditorLanguage::Go},
        {"rs", EditorLanguage::Rust},
        {"rb", EditorLanguage::Ruby},
        {"php", EditorLanguage::Php},
        {"kt", EditorLanguage::Kotlin},
        {"kts", EditorLanguage::Kotlin},
        {"lua", EditorLanguage::Code},
        {"r", EditorLanguage::Code},
        {"pl", EditorLanguage::Code},
        {"pm", EditorLanguage::Code},
    };
    EXPECT_EQ(std::size(table), 55u);
    for (const auto& [extension, language] : table) {
        const QString path = QStringLiteral("/tmp/file.") + QLatin1String(extension);
        EXPECT_EQ(detectLanguage(QUrl::fromLocalFile(path)), language) << extension;
        EXPECT_EQ(detectLanguage(QUrl::fromLocalFile(path.toUpper())), language) << extension;
    }
}

TEST(LanguageCatalogue, DetectionEdgeCases) {
    EXPECT_EQ(detectLanguage(std::nullopt), EditorLanguage::PlainText);
    EXPECT_EQ(detect("/x/README.MD"), EditorLanguage::Markdown);
    EXPECT_EQ(detect("/x/notes.Md"), EditorLanguage::Markdown);
    EXPECT_EQ(detect("/x/Makefile"), EditorLanguage::PlainText);
    EXPECT_EQ(detect("/x/archive.tar.gz"), EditorLanguage::PlainText);
    EXPECT_EQ(detect("/x/script.R"), EditorLanguage::Code);
    EXPECT_EQ(detect("/x/header.h"), EditorLanguage::Cpp);
    EXPECT_EQ(detect("/x/main.m"), EditorLanguage::Cpp);
    EXPECT_EQ(detect("/x/config.toml"), EditorLanguage::Yaml);
    EXPECT_EQ(detect("/x/Info.plist"), EditorLanguage::Xml);
    EXPECT_EQ(detect("/x/icon.svg"), EditorLanguage::Xml);
    EXPECT_EQ(detect("/x/ends-in-dot."), EditorLanguage::PlainText);
    EXPECT_EQ(detect("/x/.py"), EditorLanguage::PlainText);
    EXPECT_EQ(detect("/dir.py/file"), EditorLanguage::PlainText);
    EXPECT_EQ(detect("/x/weird name.rs"), EditorLanguage::Rust);
    EXPECT_EQ(pathExtension(QStringLiteral("a.b.c")), QStringLiteral("c"));
}

TEST(LanguageCatalogue, NameKeysAndCommentTokens) {
    EXPECT_EQ(displayName(EditorLanguage::PlainText), QStringLiteral("language.plain-text"));
    EXPECT_EQ(displayName(EditorLanguage::Csharp), QStringLiteral("language.csharp"));
    for (const EditorLanguage language : allEditorLanguages()) {
        const QString key = displayName(language);
        EXPECT_TRUE(key.startsWith(QStringLiteral("language."))) << key.toStdString();
        EXPECT_TRUE(localizedStringInLproj(key, QStringLiteral("en")).has_value());
        EXPECT_TRUE(localizedStringInLproj(key, QStringLiteral("zh-Hans")).has_value());
        const CommentTokens tokens = commentTokens(language);
        EXPECT_TRUE(tokens.line || (tokens.blockStart && tokens.blockEnd));
        EXPECT_EQ(tokens.blockStart.has_value(), tokens.blockEnd.has_value());
    }
    EXPECT_EQ(commentTokens(EditorLanguage::Python),
              (CommentTokens{QStringLiteral("#"), std::nullopt, std::nullopt}));
    EXPECT_EQ(commentTokens(EditorLanguage::Sql),
              (CommentTokens{QStringLiteral("--"), QStringLiteral("/*"), QStringLiteral("*/")}));
    EXPECT_EQ(commentTokens(EditorLanguage::Css),
              (CommentTokens{std::nullopt, QStringLiteral("/*"), QStringLiteral("*/")}));
    EXPECT_EQ(commentTokens(EditorLanguage::Html),
              (CommentTokens{std::nullopt, QStringLiteral("<!--"), QStringLiteral("-->")}));
    EXPECT_EQ(commentTokens(EditorLanguage::Kotlin).line, QStringLiteral("//"));
}

TEST(LanguageCatalogue, PerLanguageTabWidthIsClampedAndFallsBack) {
    QTemporaryDir dir;
    Defaults defaults(dir.filePath(QStringLiteral("settings.ini")));
    const EditorLanguage python = EditorLanguage::Python;
    EXPECT_EQ(languageTabWidthKey(python), QStringLiteral("editor.language.python.tab-width"));
    // The fallback is returned unchanged, even outside 2...8.
    EXPECT_EQ(languageTabWidth(python, 12, defaults), 12);
    EXPECT_EQ(languageTabWidth(python, 1, defaults), 1);
    for (const auto& [stored, read] : {std::pair{1, 2}, {20, 8}, {3, 3}, {8, 8}, {2, 2}}) {
        defaults.setValue(languageTabWidthKey(python), stored);
        EXPECT_EQ(languageTabWidth(python, 4, defaults), read) << stored;
    }
    for (const int unset : {0, -3}) {
        defaults.setValue(languageTabWidthKey(python), unset);
        EXPECT_EQ(languageTabWidth(python, 4, defaults), 4) << unset;
    }
    setLanguageTabWidth(1, python, defaults);
    EXPECT_EQ(defaults.integer(languageTabWidthKey(python)), 2);
    setLanguageTabWidth(9, python, defaults);
    EXPECT_EQ(defaults.integer(languageTabWidthKey(python)), 8);
    setLanguageTabWidth(5, EditorLanguage::Go, defaults);
    EXPECT_EQ(languageTabWidth(EditorLanguage::Go, 4, defaults), 5);
    EXPECT_EQ(languageTabWidth(EditorLanguage::Rust, 4, defaults), 4);
}
