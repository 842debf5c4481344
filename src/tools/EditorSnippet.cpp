#include "tools/EditorSnippet.h"

#include "platform/Localization.h"

namespace dunmoss {

const QList<EditorSnippet>& builtInSnippets() {
    static const QList<EditorSnippet> snippets{
        {QStringLiteral("json-object"), QLatin1String(lkey("snippet.json-object.title")),
         QLatin1String(lkey("snippet.json-object.detail")), QStringLiteral("curlybraces"),
         QStringLiteral("{\n  \"name\": \"\",\n  \"items\": []\n}\n")},
        {QStringLiteral("markdown-checklist"),
         QLatin1String(lkey("snippet.markdown-checklist.title")),
         QLatin1String(lkey("snippet.markdown-checklist.detail")), QStringLiteral("checklist"),
         QStringLiteral("# Title\n\n- [ ] First task\n- [ ] Second task\n- [ ] Follow up\n")},
        {QStringLiteral("html-page"), QLatin1String(lkey("snippet.html-page.title")),
         QLatin1String(lkey("snippet.html-page.detail")),
         QStringLiteral("chevron.left.forwardslash.chevron.right"),
         QStringLiteral("<!doctype html>\n<html lang=\"en\">\n<head>\n  <meta charset=\"utf-8\">\n"
                        "  <title>Document</title>\n</head>\n<body>\n  <main></main>\n</body>\n"
                        "</html>\n")},
        {QStringLiteral("sql-select"), QLatin1String(lkey("snippet.sql-select.title")),
         QLatin1String(lkey("snippet.sql-select.detail")), QStringLiteral("tablecells"),
         QStringLiteral("SELECT\n  id,\n  name\nFROM table_name\nWHERE created_at >= "
                        "CURRENT_DATE\nORDER BY created_at DESC;\n")},
        {QStringLiteral("swift-function"), QLatin1String(lkey("snippet.swift-function.title")),
         QLatin1String(lkey("snippet.swift-function.detail")), QStringLiteral("swift"),
         QStringLiteral("private func performTask() {\n    // TODO: Implement\n}\n")},
    };
    return snippets;
}

QString snippetPreview(const EditorSnippet& snippet) {
    const QStringList lines = snippet.text.split(u'\n');
    return lines.mid(0, 2).join(u' ');
}

} // namespace dunmoss
