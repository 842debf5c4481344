#include "editor/EditorFont.h"

#include <QFontDatabase>
#include <algorithm>
#include <cmath>

namespace dunmoss {

QFont editorFont(qreal size) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(std::max(1, int(std::lround(size))));
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace dunmoss
