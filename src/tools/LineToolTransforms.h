#pragma once

#include "platform/TextRange.h"
#include "text/TextEdit.h"

#include <QString>

namespace dunmoss {

// The line tools' own transforms, beside the text engines'. Widths are fixed at four: the line
// tools do not follow the tab-width settings.

// Removes the whole lines the selection touches (with the line feed ending the last of them)
// and puts the caret where they began.
SpliceEdit linesDeleted(const QString& text, TextRange selection);
// Removes one tab, or up to four spaces, at the start of every line the selection touches, and
// selects those lines.
TextEdit outdentLines(const QString& text, TextRange selection);
// Every tab of the whole text becomes four spaces (no column alignment).
TextEdit tabsToSpacesTransform(const QString& text, TextRange selection);

} // namespace dunmoss
