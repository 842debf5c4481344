#pragma once

#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QString>
#include <QStringList>

class QToolButton;
class QWidget;

namespace dunmoss {

// Interface symbols are named like "doc.plaintext" or "speedometer" everywhere in the window
// code. This table turns such a name into freedesktop icon names, tried in order in the current
// theme and then in the fallback theme; when none exists (a bare machine without an icon theme)
// a small drawn stand-in is used, so every symbol always shows something.

// The freedesktop names tried for a symbol; empty for a name the table does not know.
QStringList freedesktopIconNames(const QString& symbolName);

// Whether the table knows the symbol (unknown names still draw a generic stand-in).
bool isKnownSymbol(const QString& symbolName);

// The symbol drawn in one colour, like a template image: monochrome theme icons are recoloured,
// stand-ins are drawn in the colour. Pixmaps are cached per name, size, colour and scale.
QPixmap symbolPixmap(const QString& symbolName, int size, const QColor& color,
                     qreal devicePixelRatio = 1.0);
QIcon symbolIcon(const QString& symbolName, const QColor& color, int size = 16);

// The drawn stand-in alone (used when no theme has the symbol, and by tests).
QPixmap drawnSymbolPixmap(const QString& symbolName, int size, const QColor& color,
                          qreal devicePixelRatio = 1.0);

// The colours the chrome draws symbols and captions in: the platform's secondary label colour
// (text at reduced contrast) and the system orange of the modified mark and large-file banner.
QColor secondaryLabelColor(const QPalette& palette);
QColor systemOrange();
// Keeps the widget's text in the secondary colour of the palette it inherits, also when it is
// moved into another window or its window's colour scheme changes.
void useSecondaryTextColor(QWidget* widget);
// The bars' background (tab strip, status bar): a shade apart from the window background.
QColor barMaterialColor(const QPalette& palette);

// The small borderless "xmark" button of the chrome (closing a tab, dismissing a message),
// drawn in the secondary colour, never taking the keyboard focus.
QToolButton* makeCloseSymbolButton(const QString& toolTip, QWidget* parent);

// Points the icon lookup at the Adwaita theme when the desktop names none. Call once at start.
void configureIconThemeFallback();

} // namespace dunmoss
