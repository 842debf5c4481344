#pragma once

// The outline as a plain ICU search with each language's whole pattern finds it: what the
// outline extractor must list, for the tests and the outline fuzz target. Cubic on long runs of
// blanks, so only for short texts.
#include "text/DocumentOutline.h"

#include <QSet>
#include <algorithm>

namespace dunmoss::reference {

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

inline QList<DocumentOutlineItem> fixed(const QString& pattern, const QString& text,
                                        const char* detail) {
    return extractOutlineMatches(pattern, text, 1, std::nullopt, QString::fromLatin1(detail));
}

inline QList<DocumentOutlineItem> referenceOutline(const QString& text, EditorLanguage language) {
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

} // namespace dunmoss::reference
