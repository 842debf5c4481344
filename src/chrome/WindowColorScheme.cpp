#include "chrome/WindowColorScheme.h"

#include <QApplication>
#include <QStyle>
#include <QWidget>

namespace dunmoss {

namespace {

const char* const kAppliedSchemeProperty = "dunmossColorScheme";

QPalette darkPalette() {
    QPalette palette;
    const QColor window(0x24, 0x25, 0x28);
    const QColor base(0x1b, 0x1c, 0x1f);
    const QColor text(0xe6, 0xe6, 0xe8);
    const QColor disabledText(0x7a, 0x7b, 0x80);
    const QColor highlight(0x3d, 0x6f, 0xd8);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window.lighter(112));
    palette.setColor(QPalette::ToolTipBase, window.lighter(130));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, disabledText);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0x32, 0x33, 0x37));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Light, QColor(0x4a, 0x4b, 0x50));
    palette.setColor(QPalette::Midlight, QColor(0x3a, 0x3b, 0x40));
    palette.setColor(QPalette::Mid, QColor(0x46, 0x47, 0x4c));
    palette.setColor(QPalette::Dark, QColor(0x12, 0x12, 0x14));
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, highlight);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, highlight.lighter(130));
    palette.setColor(QPalette::LinkVisited, highlight.lighter(110));
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabledText);
    return palette;
}

ColorScheme schemeOf(const QString& themeRawValue) {
    const std::optional<EditorTheme> theme = editorThemeFromRawValue(themeRawValue);
    return theme ? colorScheme(*theme) : ColorScheme::None;
}

} // namespace

QPalette colorSchemePalette(ColorScheme scheme) {
    if (scheme == ColorScheme::Dark)
        return darkPalette();
    // The style's own palette is its light one, whatever the desktop's appearance is.
    return QApplication::style()->standardPalette();
}

void applyPreferredColorScheme(QWidget& window, const QString& themeRawValue) {
    const ColorScheme scheme = schemeOf(themeRawValue);
    const int applied = int(scheme);
    const QVariant previous = window.property(kAppliedSchemeProperty);
    if (previous.isValid() && previous.toInt() == applied)
        return;
    window.setProperty(kAppliedSchemeProperty, applied);
    window.setPalette(scheme == ColorScheme::None ? QPalette() : colorSchemePalette(scheme));
}

void applyApplicationColorScheme(const QString& themeRawValue) {
    const ColorScheme scheme = schemeOf(themeRawValue);
    const QVariant previous = qApp->property(kAppliedSchemeProperty);
    if (previous.isValid() && previous.toInt() == int(scheme))
        return;
    qApp->setProperty(kAppliedSchemeProperty, int(scheme));
    // An empty palette resolves to the desktop's, also after the desktop changes it.
    QApplication::setPalette(scheme == ColorScheme::None ? QPalette() : colorSchemePalette(scheme));
}

} // namespace dunmoss
