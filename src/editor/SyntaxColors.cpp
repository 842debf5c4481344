#include "editor/SyntaxColors.h"

#include "editor/EditorColors.h"

namespace dunmoss {

namespace {

QColor rgb(double r, double g, double b) {
    return QColor::fromRgbF(float(r), float(g), float(b));
}

bool isDarkAppearance(EditorTheme theme, const QPalette& palette) {
    switch (theme) {
    case EditorTheme::Light:
    case EditorTheme::Graphite:
        return false;
    case EditorTheme::Midnight:
        return true;
    case EditorTheme::System:
        break;
    }
    return palette.color(QPalette::Base).lightness() < 128;
}

// The system colours of the light and the dark appearance; on light backgrounds green, orange
// and teal are a shade darker so that they stay legible on white.
QColor systemColor(SyntaxColorRole role, bool dark) {
    switch (role) {
    case SyntaxColorRole::Keyword: // purple
        return dark ? QColor(191, 90, 242) : QColor(175, 82, 222);
    case SyntaxColorRole::String: // green
        return dark ? QColor(50, 215, 75) : QColor(40, 167, 69);
    case SyntaxColorRole::Number: // orange
        return dark ? QColor(255, 159, 10) : QColor(230, 126, 0);
    case SyntaxColorRole::Name: // blue
        return dark ? QColor(10, 132, 255) : QColor(0, 122, 255);
    case SyntaxColorRole::TypeName: // teal
        return dark ? QColor(64, 200, 224) : QColor(48, 158, 186);
    case SyntaxColorRole::Marker: // red
        return dark ? QColor(255, 69, 58) : QColor(255, 59, 48);
    case SyntaxColorRole::InlineCode: // pink
        return dark ? QColor(255, 55, 95) : QColor(255, 45, 85);
    case SyntaxColorRole::Comment:
    case SyntaxColorRole::Declaration:
        break; // from the theme's own colours
    }
    return {};
}

} // namespace

QColor syntaxRoleColor(SyntaxColorRole role, EditorTheme theme, const QPalette& systemPalette) {
    if (theme == EditorTheme::Midnight) {
        switch (role) {
        case SyntaxColorRole::Keyword:
            return rgb(0.74, 0.58, 1.0);
        case SyntaxColorRole::String:
            return rgb(0.45, 0.83, 0.58);
        case SyntaxColorRole::Comment:
            return rgb(0.54, 0.59, 0.65);
        case SyntaxColorRole::Number:
            return rgb(0.98, 0.67, 0.38);
        case SyntaxColorRole::Name:
            return rgb(0.45, 0.72, 1.0);
        default:
            break;
        }
    }
    const EditorColors colors = editorColors(theme, systemPalette);
    if (role == SyntaxColorRole::Comment)
        return colors.secondary;
    if (role == SyntaxColorRole::Declaration)
        return colors.accent;
    return systemColor(role, isDarkAppearance(theme, systemPalette));
}

} // namespace dunmoss
