#pragma once

class QWidget;

namespace dunmoss {

// Where a dialog raised for `window` belongs: the topmost of the window's open modal dialogs and
// sheets, else the window itself. An alert about a sheet's input is the sheet's: closing it gives
// the keyboard back to the sheet's field, not to a window the sheet still blocks.
QWidget* dialogHost(QWidget* window);

// Once a dialog opened on `host` has gone, `host` has the keyboard again when it is a dialog still
// open (a window manager would hand it to whatever window it picks), in its first text field.
void returnKeyboardTo(QWidget* host);

} // namespace dunmoss
