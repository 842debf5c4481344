#pragma once

#include <QFont>

namespace dunmoss {

// The font the code-editing view shows text in at a size (in pixels).
QFont editorFont(qreal size);

} // namespace dunmoss
