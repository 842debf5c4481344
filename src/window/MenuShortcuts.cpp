#include "window/MenuShortcuts.h"

#include <QHash>

namespace dunmoss {

namespace {

// Main thread only, like the menus.
QHash<QString, QKeySequence>& table() {
    static QHash<QString, QKeySequence> shortcuts;
    return shortcuts;
}

} // namespace

void MenuShortcuts::record(const QString& titleKey, const QKeySequence& shortcut) {
    if (!shortcut.isEmpty())
        table().insert(titleKey, shortcut);
}

QKeySequence MenuShortcuts::shortcut(const QString& titleKey) {
    return table().value(titleKey);
}

QString MenuShortcuts::text(const QString& titleKey) {
    return shortcut(titleKey).toString(QKeySequence::NativeText);
}

} // namespace dunmoss
