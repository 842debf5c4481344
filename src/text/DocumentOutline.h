#pragma once

#include "text/DocumentOutlineItem.h"
#include "text/EditorLanguage.h"

#include <QList>
#include <QString>
#include <optional>

namespace dunmoss {

// The landmarks of a text (declarations, headings, keys, tags, selectors) found with one set
// of line-anchored patterns per language. Patterns begin with "^\s*", and "\s" crosses line
// breaks; an item's line and range still start on the line of its landmark, never on a blank
// line above it. No size limit here: the window skips long texts.
QList<DocumentOutlineItem> extractOutline(const QString& text, EditorLanguage language);

// Every match of the pattern (anchors match at lines, case-sensitive) whose title group took
// part, in match order; a match that begins with blank lines starts at the line of its first
// other character. The detail is the fixed one, else the detail group's text (empty when
// it took no part), else empty. A pattern that does not compile gives nothing.
QList<DocumentOutlineItem> extractOutlineMatches(const QString& pattern, const QString& text,
                                                 int titleGroup, std::optional<int> detailGroup,
                                                 std::optional<QString> fixedDetail = {});

QList<DocumentOutlineItem> extractJSONOutline(const QString& text);
// All function and class items first, then all arrow-function items.
QList<DocumentOutlineItem> extractScriptOutline(const QString& text);
QList<DocumentOutlineItem> extractTagOutline(const QString& text);
QList<DocumentOutlineItem> extractCSSOutline(const QString& text);
QList<DocumentOutlineItem> extractKeyOutline(const QString& text);
QList<DocumentOutlineItem> extractCodeOutline(const QString& text);
// For plain text: the Swift, Markdown, JSON, script, Python, tag and code extractors together,
// ordered by position (stably) and without a second item of the same line and title.
QList<DocumentOutlineItem> extractAllOutlines(const QString& text);

} // namespace dunmoss
