#include "text/EditorLanguage.h"

namespace dunmoss {

namespace {
struct LanguageName {
    EditorLanguage language;
    const char* raw;
};
constexpr LanguageName kNames[] = {
    {EditorLanguage::PlainText, "plainText"},
    {EditorLanguage::Swift, "swift"},
    {EditorLanguage::Json, "json"},
    {EditorLanguage::Markdown, "markdown"},
    {EditorLanguage::Javascript, "javascript"},
    {EditorLanguage::Typescript, "typescript"},
    {EditorLanguage::Html, "html"},
    {EditorLanguage::Css, "css"},
    {EditorLanguage::Python, "python"},
    {EditorLanguage::Shell, "shell"},
    {EditorLanguage::Sql, "sql"},
    {EditorLanguage::Yaml, "yaml"},
    {EditorLanguage::Xml, "xml"},
    {EditorLanguage::Cpp, "cpp"},
    {EditorLanguage::Java, "java"},
    {EditorLanguage::Csharp, "csharp"},
    {EditorLanguage::Go, "go"},
    {EditorLanguage::Rust, "rust"},
    {EditorLanguage::Ruby, "ruby"},
    {EditorLanguage::Php, "php"},
    {EditorLanguage::Kotlin, "kotlin"},
    {EditorLanguage::Code, "code"},
};
} // namespace

const QList<EditorLanguage>& allEditorLanguages() {
    static const QList<EditorLanguage> all = [] {
        QList<EditorLanguage> list;
        for (const auto& n : kNames)
            list.append(n.language);
        return list;
    }();
    return all;
}

QString rawValue(EditorLanguage language) {
    for (const auto& n : kNames)
        if (n.language == language)
            return QString::fromLatin1(n.raw);
    return QStringLiteral("plainText");
}

std::optional<EditorLanguage> editorLanguageFromRawValue(const QString& raw) {
    for (const auto& n : kNames)
        if (raw == QLatin1String(n.raw))
            return n.language;
    return std::nullopt;
}

} // namespace dunmoss
