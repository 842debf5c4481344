#pragma once

#include "editor/TextStorage.h"

#include <QFont>

namespace dunmoss {

// The font and text options a code-editing view gives the documents it shows, at a font size,
// tab width (in spaces) and wrapping. A document filled beforehand with them (see
// TextStorage::prepareDocument) is taken by the view as it is: each of them changed on a filled
// document lays every one of its lines out again.
TextStorage::Look editorLook(qreal fontSize, int tabWidth, bool wordWrap, qreal width = 0);

// The distance between tab stops `tabWidth` spaces apart in the font; never less than a pixel
// per space.
qreal tabStopDistance(const QFont& font, int tabWidth);

} // namespace dunmoss
