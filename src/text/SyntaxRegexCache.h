#pragma once

#include "platform/IcuRegex.h"

#include <QString>
#include <optional>

namespace dunmoss {

// The compiled expressions of the colouring rules, shared by every view of the process and
// never emptied. One lock guards it and is held while an expression compiles. A pattern that
// does not compile leaves no entry, so the next call tries again.
std::optional<IcuRegex> cachedRegex(const QString& pattern, IcuRegex::Options options);

// The cache key: the options' raw value in decimal, U+0001, then the pattern.
QString regexCacheKey(const QString& pattern, IcuRegex::Options options);

} // namespace dunmoss
