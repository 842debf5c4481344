#pragma once

#include "text/EditorTheme.h"
#include "text/SyntaxHighlightRules.h"

#include <QColor>
#include <QPalette>

namespace dunmoss {

// The colour of a syntax role in a theme. Midnight fixes the first five roles; the others, and
// every role of the other themes, take the system colours of the theme's appearance (light for
// light and graphite, dark for midnight, the palette's own for the system theme).
QColor syntaxRoleColor(SyntaxColorRole role, EditorTheme theme, const QPalette& systemPalette);

} // namespace dunmoss
