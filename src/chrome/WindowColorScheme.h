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

// The application's palette follows the stored theme the same way, so that what opens in a
// window of its own (menus, the settings window, the toolkit's own file panels and alerts)
// matches the editor windows. A theme that asks for no scheme gives the desktop's palette back.
void applyApplicationColorScheme(const QString& themeRawValue);

} // namespace dunmoss
