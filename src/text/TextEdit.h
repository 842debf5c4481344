#pragma once

#include "platform/TextRange.h"

#include <QString>

namespace dunmoss {

// The outcome of a text transform: the new whole text and the selection to show in it.
struct TextEdit {
    QString text;
    TextRange selection;

    friend bool operator==(const TextEdit&, const TextEdit&) = default;
};

} // namespace dunmoss
