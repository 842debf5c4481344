#include "app/SettingsShortcuts.h"

#include "platform/Localization.h"
#include "window/MenuShortcuts.h"

namespace dunmoss {

QList<SettingsShortcutRow> settingsShortcutRows() {
    static const char* const kKeys[] = {
        lkey("command.new"),
        lkey("command.open"),
        lkey("command.save"),
        lkey("command.save-as"),
        lkey("command.save-all"),
        lkey("command.close-tab"),
        lkey("command.close-all"),
        lkey("command.reload"),
        lkey("command.command-palette"),
        lkey("command.find"),
        lkey("find.next"),
        lkey("find.previous"),
        lkey("tools.folder-search"),
        lkey("workspace.open"),
        lkey("tools.json-pretty"),
        lkey("tools.goto-line"),
        lkey("tools.split-view"),
        lkey("tools.clone-view"),
        lkey("tools.bookmark.toggle"),
        lkey("tools.line.duplicate"),
        lkey("tools.line.move-up"),
        lkey("tools.line.move-down"),
        lkey("tools.edit.line-comment"),
        lkey("tools.edit.block-comment"),
        lkey("tools.edit.indent"),
        lkey("tools.edit.outdent"),
    };
    QList<SettingsShortcutRow> rows;
    for (const char* key : kKeys) {
        const QString titleKey = QString::fromLatin1(key);
        rows.append({titleKey, MenuShortcuts::text(titleKey)});
    }
    return rows;
}

} // namespace dunmoss
