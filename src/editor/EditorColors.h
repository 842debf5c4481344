#pragma once

#include "text/EditorTheme.h"

#include <QColor>
#include <QPalette>

namespace dunmoss {

// The colours a code-editing view and its ruler take from the theme. The system theme follows
// the palette; light and graphite use light-appearance system colours with their own fixed
// backgrounds; midnight is fixed throughout.
struct EditorColors {
    QColor textBackground;
    QColor text;
    QColor secondary; // labels, hints
    QColor accent;    // caret, bookmarks, bracket marks
    QColor rulerBackground;
    QColor windowBackground;
    QColor separator;
    QColor tertiary;

    QColor indentGuide() const { return withAlpha(secondary, 0.18); }
    QColor invisibleCharacter() const { return withAlpha(secondary, 0.55); }
    QColor hintBackground() const { return withAlpha(textBackground, 0.94); }
    QColor hintBorder() const { return withAlpha(secondary, 0.18); }
    QColor bracketMark() const { return withAlpha(accent, 0.22); }
    QColor selection() const;

    static QColor withAlpha(QColor color, qreal alpha) {
        color.setAlphaF(float(alpha));
        return color;
    }
};

EditorColors editorColors(EditorTheme theme, const QPalette& systemPalette);

} // namespace dunmoss
