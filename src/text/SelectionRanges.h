#pragma once

#include "platform/TextRange.h"

#include <QList>
#include <QString>
#include <QStringView>
#include <optional>
#include <span>
#include <utility>

namespace dunmoss {

// The ranges in the given order, each distinct range (location and length) once.
QList<TextRange> withoutRepeatedRanges(std::span<const TextRange> ranges);

// The ranges that fit a text of the given length (caret at the very end included), in the given
// order, each distinct range once. Nothing is clamped, added or reordered; may be empty.
QList<TextRange> sanitizedSelectedRanges(const QList<TextRange>& ranges, qsizetype length);

// The text in a non-empty range that lies inside the text, with the range itself.
std::optional<std::pair<QString, TextRange>> selectedTextAndRange(QStringView text,
                                                                  TextRange range);

} // namespace dunmoss
