#pragma once

#include <QKeySequence>
#include <QString>

namespace dunmoss {

// The key combinations of the menu items, by the item's title key, as the menu bar defines
// them. The menu bar records each shortcut when it builds an item, so whatever shows a
// shortcut elsewhere (the help sheet) reads the one table the menus use.
class MenuShortcuts {
public:
    static void record(const QString& titleKey, const QKeySequence& shortcut);
    // Empty when no menu item with that key has a shortcut.
    static QKeySequence shortcut(const QString& titleKey);
    // The shortcut as this system writes key names ("Ctrl+Shift+F").
    static QString text(const QString& titleKey);
};

} // namespace dunmoss
