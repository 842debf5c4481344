#pragma once

#include "platform/TextRange.h"

#include <QList>
#include <QString>

namespace dunmoss {

// Keeps, in order, the ranges that lie inside a text of the given length (location not
// negative and not NotFound, length not negative, end within the text), dropping repeats of an
// earlier range. An empty result becomes the caret at 0, so the list is never empty.
QList<TextRange> normalizedSelectedRanges(const QList<TextRange>& ranges, qsizetype textLength);

// The location limited to 0...textLength and the length to what is left after it.
TextRange clampedSelection(qsizetype location, qsizetype length, qsizetype textLength);

// What the editor view may hand back as its selection list: ranges with a real location and a
// length that is not negative. Not checked against the text, which may be changing; every
// consumer clamps before use.
QList<TextRange> acceptableBindingRanges(const QList<TextRange>& ranges);

// The whole of the 1-based line, without its line break. Zero and negative numbers mean line 1;
// a number past the end gives the last line reached.
TextRange lineSelectionRange(const QString& text, int line);

// The 1-based visual column after the prefix, with tab characters advancing to the next
// multiple of the tab width (a width below 1 counts as 1). Counts user-perceived characters.
int visualColumnOfPrefix(const QString& prefix, int tabWidth);

} // namespace dunmoss
