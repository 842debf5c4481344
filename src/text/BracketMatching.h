#pragma once

#include "platform/TextRange.h"

#include <QList>
#include <QStringView>
#include <optional>

namespace dunmoss {

// Texts longer than this are not scanned for brackets at all.
inline constexpr qsizetype kBracketMatchingMaxLength = 1'000'000;

// The partner of the bracket ( [ { ) ] } at the index, counting only brackets of the same kind;
// nothing for any other character, an index outside the text or an unbalanced bracket.
std::optional<qsizetype> matchingBracketLocation(qsizetype index, QStringView text);

// The one-character ranges to mark for a selection: empty, or the bracket at the caret (the
// character at the caret wins over the one before it) followed by its partner. A non-empty
// selection, an empty text or a text over the size limit marks nothing.
QList<TextRange> bracketHighlightRanges(QStringView text, TextRange selection);

} // namespace dunmoss
