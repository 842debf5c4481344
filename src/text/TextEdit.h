#pragma once

#include "platform/TextRange.h"
#include "text/TextSplice.h"

#include <QString>

namespace dunmoss {

// The outcome of a text transform: the new whole text and the selection to show in it.
struct TextEdit {
    QString text;
    TextRange selection;

    friend bool operator==(const TextEdit&, const TextEdit&) = default;
};

// The outcome of a transform that changes one stretch of the text: that stretch and the
// selection to show afterwards. Applying it costs what the stretch costs, where a whole new
// text costs a copy of the text.
struct SpliceEdit {
    TextSplice splice;
    TextRange selection;

    // The same as a whole new text; `text` is the one the splice was made against.
    TextEdit appliedTo(const QString& text) const { return {splice.appliedTo(text), selection}; }

    friend bool operator==(const SpliceEdit&, const SpliceEdit&) = default;
};

} // namespace dunmoss
