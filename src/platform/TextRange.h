#pragma once

#include <QtGlobal>
#include <limits>

namespace dunmoss {

// A range of UTF-16 code units, counted exactly as QString indexes them.
struct TextRange {
    static constexpr qsizetype NotFound = std::numeric_limits<qsizetype>::max();

    qsizetype location = 0;
    qsizetype length = 0;

    constexpr qsizetype end() const { return location + length; }
    constexpr bool isNotFound() const { return location == NotFound; }
    constexpr bool contains(qsizetype index) const {
        return index >= location && index < location + length;
    }
    friend constexpr bool operator==(const TextRange&, const TextRange&) = default;

    static constexpr TextRange notFound() { return TextRange{NotFound, 0}; }
};

} // namespace dunmoss
