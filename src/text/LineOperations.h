#pragma once

#include "platform/TextRange.h"
#include "text/TextEdit.h"

#include <QString>
#include <QStringView>
#include <functional>

namespace dunmoss {

// Line and selection operations on a whole text and one selection. Lines end at line feeds,
// the only line break of a text in memory. Every operation returns the new text (or, for one
// that changes a single stretch of it, that stretch) and the selection to show; none changes
// anything else.

// The whole lines a selection touches, with the line feed ending the last of them. A
// selection ending just after a line feed does not touch the next line.
TextRange selectedLineRange(const QString& text, TextRange selection);
// The lines containing the range (the caret's line for an empty range), with their line feed.
TextRange lineRangeOf(QStringView text, TextRange range);

// The selected lines swapped with the line above or below them, as one stretch replaced;
// nothing changes at the start or end of the text.
SpliceEdit linesMoved(const QString& text, TextRange selection, bool down);
// Sorts the selected lines (the whole text for an empty selection) in the current locale,
// ignoring case, keeping equal lines in their order.
TextEdit sortSelectedLines(const QString& text, TextRange selection);
bool lineSortPrecedes(QStringView a, QStringView b);
TextEdit insertAtLineStarts(const QString& text, TextRange selection, const QString& prefix);
TextEdit toggleLineComment(const QString& text, TextRange selection, const QString& token);
TextEdit toggleBlockComment(const QString& text, TextRange selection, const QString& open,
                            const QString& close);
// A copy of the selected lines inserted after them, and selected.
SpliceEdit linesDuplicated(const QString& text, TextRange selection);

// Leading runs of spaces become tabs (and the spaces left over) on every line of the text.
TextEdit spacesToTabsTransform(const QString& text, TextRange selection, int tabWidth);
QString leadingSpacesToTabs(QStringView line, int tabWidth);
// Inserts the text at a visual column (1-based; tabs advance to the next stop) on every line
// of the selection's block, padding short lines with spaces.
TextEdit insertAtVisualColumn(const QString& text, TextRange selection, int column,
                              const QString& inserted, int tabWidth);
// Removes spaces and tabs before each line feed and at the end of the text.
TextEdit trimTrailingWhitespace(const QString& text, TextRange selection);

// Replaces the selected characters by their transform and selects the result.
TextEdit transformSelectedText(const QString& text, TextRange selection,
                               const std::function<QString(QStringView)>& transform);
TextEdit uppercaseSelection(const QString& text, TextRange selection);
TextEdit lowercaseSelection(const QString& text, TextRange selection);
// Full Unicode case mappings, independent of the locale ("ß" becomes "SS").
QString fullUppercase(QStringView text);
QString fullLowercase(QStringView text);

// The selection clamped into a text of the given length.
TextRange clampedSelection(TextRange selection, qsizetype textLength);

} // namespace dunmoss
