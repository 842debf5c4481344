#pragma once

#include <QList>
#include <QString>

namespace dunmoss {

// One row of the settings window's shortcut list: a command's title key and its keys as the
// menus (or, for find next and previous, the find bar) bind them, with this system's key names.
struct SettingsShortcutRow {
    QString titleKey;
    QString keyText;
};

// The 26 rows of the shortcut list, in their fixed order.
QList<SettingsShortcutRow> settingsShortcutRows();

} // namespace dunmoss
