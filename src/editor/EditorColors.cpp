#include "editor/EditorColors.h"

namespace dunmoss {

namespace {

QColor rgb(double r, double g, double b, double a = 1.0) {
    return QColor::fromRgbF(float(r), float(g), float(b), float(a));
}

// The light appearance's system colours, which the light and graphite themes keep whatever the
// desktop's own palette is.
EditorColors lightAppearance() {
    EditorColors c;
    c.textBackground = rgb(1, 1, 1);
    c.text = rgb(0, 0, 0);
    c.secondary = rgb(0, 0, 0, 0.5);
    c.accent = rgb(0, 0.478, 1.0);
    c.windowBackground = rgb(0.925, 0.925, 0.925);
    c.separator = rgb(0, 0, 0, 0.1);
    c.tertiary = rgb(0, 0, 0, 0.26);
    c.rulerBackground = c.textBackground;
    return c;
}

} // namespace

QColor EditorColors::selection() const {
    // The selection must stay readable with the unchanged text colour on top of it.
    return withAlpha(accent, 0.28);
}

EditorColors editorColors(EditorTheme theme, const QPalette& palette) {
    EditorColors c;
    switch (theme) {
    case EditorTheme::System: {
        c.textBackground = palette.color(QPalette::Base);
        c.text = palette.color(QPalette::Text);
        c.secondary = palette.color(QPalette::PlaceholderText);
        c.accent = palette.color(QPalette::Highlight);
        c.windowBackground = palette.color(QPalette::Window);
        c.separator = EditorColors::withAlpha(c.text, 0.1);
        c.tertiary = EditorColors::withAlpha(c.text, 0.26);
        c.rulerBackground = c.textBackground;
        break;
    }
    case EditorTheme::Light:
        c = lightAppearance();
        c.textBackground = rgb(0.985, 0.985, 0.975);
        c.rulerBackground = rgb(0.955, 0.955, 0.945);
        break;
    case EditorTheme::Graphite:
        c = lightAppearance();
        c.textBackground = rgb(0.94, 0.945, 0.95);
        c.rulerBackground = rgb(0.9, 0.91, 0.925);
        break;
    case EditorTheme::Midnight:
        c.textBackground = rgb(0.075, 0.085, 0.105);
        c.text = rgb(0.88, 0.90, 0.92);
        c.secondary = rgb(0.54, 0.59, 0.65);
        c.accent = rgb(0.039, 0.518, 1.0);
        c.windowBackground = rgb(0.196, 0.196, 0.196);
        c.separator = rgb(1, 1, 1, 0.1);
        c.tertiary = rgb(1, 1, 1, 0.25);
        c.rulerBackground = rgb(0.055, 0.065, 0.085);
        break;
    }
    return c;
}

} // namespace dunmoss
