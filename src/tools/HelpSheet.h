#pragma once

#include <QList>
#include <QString>

namespace dunmoss {

// One row of the help sheet: a command's title key and its key combination as the menus
// define it, written with this system's key names.
struct HelpShortcut {
    QString titleKey;
    QString keyText;
};

// The eight basic shortcuts the help sheet lists, in its fixed order.
QList<HelpShortcut> helpSheetShortcuts();

} // namespace dunmoss
