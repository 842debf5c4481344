#pragma once

#include <QColor>
#include <QPalette>
#include <QString>
#include <functional>

class QAbstractButton;
class QLabel;
class QWidget;

namespace dunmoss {

// A colour a widget derives from its window's palette goes stale when that palette changes (the
// window switching to Midnight) or the widget moves into another window: panels are built before
// they have a window at all. These helpers derive such colours again after every change.

// The palette the widget has without colours of its own: its parent's (a separate window's only
// when it takes its parent's palette), else the application's.
QPalette inheritedPalette(const QWidget* widget);

// Runs `apply` now and again after every change of the palette the widget inherits, also when it
// gets a parent. `apply` may set colours on the widget itself.
void followPalette(QWidget* widget, std::function<void()> apply);

// Makes a sheet or alert that a window opens take the window's palette (a separate window keeps
// the application's otherwise), now and after every change of it. Call it before giving the sheet
// colours of its own.
void useParentWindowPalette(QWidget* sheet);

// A colour read from a palette.
using PaletteColor = QColor (*)(const QPalette&);
QColor labelColor(const QPalette& palette);       // window text
QColor buttonLabelColor(const QPalette& palette); // button text
QColor baseColor(const QPalette& palette);        // the background of text and lists

// Fills the widget's background with the colour of the inherited palette.
void useBackgroundColor(QWidget* widget, PaletteColor color);
// Draws the widget's text (window, button and field text) in the colour of the inherited palette.
void useTextColor(QWidget* widget, PaletteColor color);
// Shows the symbol in the label or on the button, drawn in the colour of the inherited palette.
void useSymbol(QLabel* label, const QString& symbolName, int size, PaletteColor color);
void useSymbol(QAbstractButton* button, const QString& symbolName, int size, PaletteColor color);

} // namespace dunmoss
