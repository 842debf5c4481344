#pragma once

#include "text/EditorLanguage.h"

#include <QString>
#include <QUrl>
#include <optional>

namespace dunmoss {

class Defaults;

inline constexpr const char* kGlobalTabWidthKey = "editor.tab-width";
inline constexpr int kMinimumLanguageTabWidth = 2;
inline constexpr int kMaximumLanguageTabWidth = 8;

// The localisation key of the language's name ("language.plain-text", ...).
QString displayName(EditorLanguage language);

// The language of a file from its lower-cased extension; plain text for no URL, no extension or
// an unknown one. The file's content is never read.
EditorLanguage detectLanguage(const std::optional<QUrl>& fileURL);
// The same for a bare file name or path.
EditorLanguage detectLanguageFromFileName(const QString& fileName);
// The text after the last dot of the last path component; empty when there is none, when the
// name ends in a dot, or when the only dot starts the name (".profile").
QString pathExtension(const QString& fileName);

// Comment syntax: a line token, a block pair, or both.
struct CommentTokens {
    std::optional<QString> line;
    std::optional<QString> blockStart;
    std::optional<QString> blockEnd;
    friend bool operator==(const CommentTokens&, const CommentTokens&) = default;
};
CommentTokens commentTokens(EditorLanguage language);

// "editor.language.<raw value>.tab-width".
QString languageTabWidthKey(EditorLanguage language);
// A stored width above 0, clamped to 2...8; otherwise the fallback unchanged.
int languageTabWidth(EditorLanguage language, int fallback, const Defaults& defaults);
// Stores the width clamped to 2...8. A stored width always overrides the global one.
void setLanguageTabWidth(int width, EditorLanguage language, Defaults& defaults);

} // namespace dunmoss
