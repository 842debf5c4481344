#include "tools/HelpSheet.h"

#include "window/MenuShortcuts.h"

namespace dunmoss {

QList<HelpShortcut> helpSheetShortcuts() {
    QList<HelpShortcut> rows;
    for (const char* key :
         {"command.new", "command.open", "command.save", "command.command-palette", "command.find",
          "tools.folder-search", "tools.goto-line", "command.print"}) {
        const QString titleKey = QString::fromLatin1(key);
        rows.append({titleKey, MenuShortcuts::text(titleKey)});
    }
    return rows;
}

} // namespace dunmoss
