#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace dunmoss {

// The languages the editor knows; the raw value (persisted) is the case name.
enum class EditorLanguage {
    PlainText,
    Swift,
    Json,
    Markdown,
    Javascript,
    Typescript,
    Html,
    Css,
    Python,
    Shell,
    Sql,
    Yaml,
    Xml,
    Cpp,
    Java,
    Csharp,
    Go,
    Rust,
    Ruby,
    Php,
    Kotlin,
    Code,
};

const QList<EditorLanguage>& allEditorLanguages();
QString rawValue(EditorLanguage language);
std::optional<EditorLanguage> editorLanguageFromRawValue(const QString& raw);

} // namespace dunmoss
