#pragma once

#include <QList>
#include <QString>

namespace dunmoss {

// A built-in text template of the snippet library.
struct EditorSnippet {
    QString id;
    QString titleKey;
    QString detailKey;
    QString systemImage;
    // Lines each ended by a line feed.
    QString text;
};

// The five snippets, in the library's order.
const QList<EditorSnippet>& builtInSnippets();
// The first two lines of the text joined by one space: the list's one-line preview.
QString snippetPreview(const EditorSnippet& snippet);

} // namespace dunmoss
