#pragma once

#include "window/EditorCommands.h"
#include "window/QuickOpenTypes.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

namespace dunmoss {

// The window commands the palette lists, in the order it lists them. The raw value of each is
// its name as written here.
enum class QuickOpenCommand : std::uint8_t {
    newDocument,
    openDocument,
    saveDocument,
    saveAllDocuments,
    closeAllTabs,
    reloadDocument,
    find,
    findInFolder,
    openWorkspace,
    toggleWorkspace,
    markdownPreview,
    documentOutline,
    compareView,
    splitView,
    cloneView,
    closeSplitView,
    goToLine,
    toggleBookmark,
    nextBookmark,
    previousBookmark,
    columnInsert,
    snippetLibrary,
    textToolbox,
    wordWrap,
    showInvisibles,
    alwaysOnTop,
    formatJSON,
    minifyJSON,
    indentSelection,
    outdentSelection,
    toggleLineComment,
    toggleBlockComment,
};

const QList<QuickOpenCommand>& allQuickOpenCommands();
QString rawValue(QuickOpenCommand command);
// Only an exact, case-sensitive name gives a command.
std::optional<QuickOpenCommand> quickOpenCommandFromRaw(const QString& raw);
QString quickOpenCommandTitleKey(QuickOpenCommand command);
QString quickOpenCommandSystemImage(QuickOpenCommand command);

// The field of the window's command record that the menu and the header bar reach the same
// operation through; the palette runs exactly that closure.
EditorCommandField quickOpenCommandField(QuickOpenCommand command);

// One entry per command, in order, with localised titles and the common subtitle.
QList<QuickOpenEntry> quickOpenCommandEntries();

} // namespace dunmoss
