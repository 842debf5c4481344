#pragma once

#include "text/EditorTheme.h"

#include <QPalette>
#include <QString>

class QWidget;

namespace dunmoss {

// The palette of a light or dark window.
QPalette colorSchemePalette(ColorScheme scheme);

// Gives the window the palette of the scheme its stored theme asks for ("light" and "graphite"
// light, "midnight" dark), or the application's again when there is none ("system", or a text
// that names no theme). Popovers the window opens take it too. Nothing happens when the scheme
// is the one already applied.
void applyPreferredColorScheme(QWidget& window, const QString& themeRawValue);

} // namespace dunmoss
