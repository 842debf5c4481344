#include "text/LanguageCatalogue.h"

#include "platform/Defaults.h"
#include "platform/Localization.h"

#include <QHash>
#include <algorithm>

namespace dunmoss {

namespace {

struct LanguageEntry {
    EditorLanguage language;
    const char* nameKey;
    // Extensions in the order they are tested, separated by spaces.
    const char* extensions;
};

// Catalogue order is the enumeration's order; detection tests the extensions in this order.
constexpr LanguageEntry kLanguages[] = {
    {EditorLanguage::PlainText, lkey("language.plain-text"), ""},
    {EditorLanguage::Swift, lkey("language.swift"), "swift"},
    {EditorLanguage::Json, lkey("language.json"), "json jsonc"},
    {EditorLanguage::Markdown, lkey("language.markdown"), "md markdown"},
    {EditorLanguage::Javascript, lkey("language.javascript"), "js jsx mjs cjs"},
    {EditorLanguage::Typescript, lkey("language.typescript"), "ts tsx"},
    {EditorLanguage::Html, lkey("language.html"), "html htm xhtml"},
    {EditorLanguage::Css, lkey("language.css"), "css scss sass less"},
    {EditorLanguage::Python, lkey("language.python"), "py pyw"},
    {EditorLanguage::Shell, lkey("language.shell"), "sh bash zsh fish command"},
    {EditorLanguage::Sql, lkey("language.sql"), "sql"},
    {EditorLanguage::Yaml, lkey("language.yaml"), "yaml yml toml"},
    {EditorLanguage::Xml, lkey("language.xml"), "xml plist svg xib storyboard"},
    {EditorLanguage::Cpp, lkey("language.cpp"), "c cc cpp cxx h hpp hh m mm"},
    {EditorLanguage::Java, lkey("language.java"), "java"},
    {EditorLanguage::Csharp, lkey("language.csharp"), "cs"},
    {EditorLanguage::Go, lkey("language.go"), "go"},
    {EditorLanguage::Rust, lkey("language.rust"), "rs"},
    {EditorLanguage::Ruby, lkey("language.ruby"), "rb"},
    {EditorLanguage::Php, lkey("language.php"), "php"},
    {EditorLanguage::Kotlin, lkey("language.kotlin"), "kt kts"},
    {EditorLanguage::Code, lkey("language.code"), "lua r pl pm"},
};

const LanguageEntry& entryFor(EditorLanguage language) {
    for (const auto& entry : kLanguages)
        if (entry.language == language)
            return entry;
    return kLanguages[0];
}

} // namespace

QString displayName(EditorLanguage language) {
    return QString::fromLatin1(entryFor(language).nameKey);
}

QString pathExtension(const QString& fileName) {
    QString name = fileName;
    while (name.endsWith(QLatin1Char('/')))
        name.chop(1);
    name = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return {};
    return name.mid(dot + 1);
}

EditorLanguage detectLanguageFromFileName(const QString& fileName) {
    // Asked for every tab at each refresh of the window: the lists are read once, into one
    // table where the first language to claim an extension keeps it.
    static const QHash<QString, EditorLanguage> byExtension = [] {
        QHash<QString, EditorLanguage> table;
        for (const auto& entry : kLanguages)
            for (const QLatin1String candidate :
                 QLatin1String(entry.extensions).tokenize(QLatin1Char(' '), Qt::SkipEmptyParts))
                if (!table.contains(candidate))
                    table.insert(QString(candidate), entry.language);
        return table;
    }();
    const QString extension = pathExtension(fileName).toLower();
    if (extension.isEmpty())
        return EditorLanguage::PlainText;
    return byExtension.value(extension, EditorLanguage::PlainText);
}

EditorLanguage detectLanguage(const std::optional<QUrl>& fileURL) {
    if (!fileURL)
        return EditorLanguage::PlainText;
    return detectLanguageFromFileName(fileURL->path());
}

CommentTokens commentTokens(EditorLanguage language) {
    const QString hash = QStringLiteral("#");
    const QString slashes = QStringLiteral("//");
    const QString cStart = QStringLiteral("/*");
    const QString cEnd = QStringLiteral("*/");
    switch (language) {
    case EditorLanguage::PlainText:
    case EditorLanguage::Python:
    case EditorLanguage::Shell:
    case EditorLanguage::Yaml:
    case EditorLanguage::Ruby:
    case EditorLanguage::Code:
        return {hash, std::nullopt, std::nullopt};
    case EditorLanguage::Sql:
        return {QStringLiteral("--"), cStart, cEnd};
    case EditorLanguage::Css:
        return {std::nullopt, cStart, cEnd};
    case EditorLanguage::Markdown:
    case EditorLanguage::Html:
    case EditorLanguage::Xml:
        return {std::nullopt, QStringLiteral("<!--"), QStringLiteral("-->")};
    case EditorLanguage::Swift:
    case EditorLanguage::Json:
    case EditorLanguage::Javascript:
    case EditorLanguage::Typescript:
    case EditorLanguage::Cpp:
    case EditorLanguage::Java:
    case EditorLanguage::Csharp:
    case EditorLanguage::Go:
    case EditorLanguage::Rust:
    case EditorLanguage::Php:
    case EditorLanguage::Kotlin:
        break;
    }
    return {slashes, cStart, cEnd};
}

QString languageTabWidthKey(EditorLanguage language) {
    return QStringLiteral("editor.language.") + rawValue(language) + QStringLiteral(".tab-width");
}

namespace {
int clampTabWidth(qint64 width) {
    return int(std::clamp<qint64>(width, kMinimumLanguageTabWidth, kMaximumLanguageTabWidth));
}
} // namespace

int languageTabWidth(EditorLanguage language, int fallback, const Defaults& defaults) {
    const qint64 stored = defaults.integer(languageTabWidthKey(language), 0);
    return stored > 0 ? clampTabWidth(stored) : fallback;
}

void setLanguageTabWidth(int width, EditorLanguage language, Defaults& defaults) {
    defaults.setValue(languageTabWidthKey(language), clampTabWidth(width));
}

} // namespace dunmoss
