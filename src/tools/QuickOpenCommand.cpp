#include "tools/QuickOpenCommand.h"

#include "platform/Localization.h"

#include <array>

namespace dunmoss {

namespace {

struct CommandInfo {
    QuickOpenCommand command;
    const char* raw;
    const char* titleKey;
    const char* systemImage;
    EditorCommandField field;
};

using C = QuickOpenCommand;
using E = EditorCommands;

// Declaration order; each command's door is the menu's closure of the same purpose.
const std::array<CommandInfo, 32> kCommands{{
    {C::newDocument, "newDocument", "command.new", "doc.badge.plus", &E::newDocument},
    {C::openDocument, "openDocument", "command.open", "folder", &E::openDocument},
    {C::saveDocument, "saveDocument", "command.save", "square.and.arrow.down", &E::saveDocument},
    {C::saveAllDocuments, "saveAllDocuments", "command.save-all", "square.and.arrow.down.on.square",
     &E::saveAllDocuments},
    {C::closeAllTabs, "closeAllTabs", "command.close-all", "xmark.square", &E::closeAllTabs},
    {C::reloadDocument, "reloadDocument", "command.reload", "arrow.clockwise", &E::reloadDocument},
    {C::find, "find", "command.find", "doc.text.magnifyingglass", &E::showFind},
    {C::findInFolder, "findInFolder", "tools.folder-search", "magnifyingglass",
     &E::toggleFolderSearch},
    {C::openWorkspace, "openWorkspace", "workspace.open", "folder.badge.plus", &E::openWorkspace},
    {C::toggleWorkspace, "toggleWorkspace", "workspace.toggle", "folder.badge.plus",
     &E::toggleWorkspace},
    {C::markdownPreview, "markdownPreview", "tools.markdown-preview", "doc.richtext",
     &E::toggleMarkdownPreview},
    {C::documentOutline, "documentOutline", "tools.document-outline", "list.bullet.indent",
     &E::toggleDocumentOutline},
    {C::compareView, "compareView", "tools.compare-view", "rectangle.split.3x1",
     &E::toggleCompareView},
    {C::splitView, "splitView", "tools.split-view", "rectangle.split.2x1", &E::openSplitView},
    {C::cloneView, "cloneView", "tools.clone-view", "rectangle.on.rectangle", &E::cloneActiveView},
    {C::closeSplitView, "closeSplitView", "tools.split-view.close", "rectangle",
     &E::closeSplitView},
    {C::goToLine, "goToLine", "tools.goto-line", "text.line.first.and.arrowtriangle.forward",
     &E::showGoToLine},
    {C::toggleBookmark, "toggleBookmark", "tools.bookmark.toggle", "bookmark", &E::toggleBookmark},
    {C::nextBookmark, "nextBookmark", "tools.bookmark.next", "bookmark", &E::nextBookmark},
    {C::previousBookmark, "previousBookmark", "tools.bookmark.previous", "bookmark",
     &E::previousBookmark},
    {C::columnInsert, "columnInsert", "tools.column-insert", "tablecells", &E::showColumnInsert},
    {C::snippetLibrary, "snippetLibrary", "tools.snippets", "text.badge.plus",
     &E::showSnippetLibrary},
    {C::textToolbox, "textToolbox", "tools.toolbox", "wand.and.sparkles", &E::showTextToolbox},
    {C::wordWrap, "wordWrap", "tools.word-wrap", "text.alignleft", &E::toggleWordWrap},
    {C::showInvisibles, "showInvisibles", "tools.show-invisibles", "paragraphsign",
     &E::toggleInvisibles},
    {C::alwaysOnTop, "alwaysOnTop", "window.always-on-top", "pin", &E::toggleAlwaysOnTop},
    {C::formatJSON, "formatJSON", "tools.json-pretty", "curlybraces", &E::formatJSON},
    {C::minifyJSON, "minifyJSON", "tools.json-minify", "curlybraces", &E::minifyJSON},
    {C::indentSelection, "indentSelection", "tools.edit.indent", "increase.indent",
     &E::indentSelection},
    {C::outdentSelection, "outdentSelection", "tools.edit.outdent", "decrease.indent",
     &E::outdentSelection},
    {C::toggleLineComment, "toggleLineComment", "tools.edit.line-comment", "text.quote",
     &E::toggleLineComment},
    {C::toggleBlockComment, "toggleBlockComment", "tools.edit.block-comment", "character.bubble",
     &E::toggleBlockComment},
}};

const CommandInfo& info(QuickOpenCommand command) {
    return kCommands.at(static_cast<std::size_t>(command));
}

} // namespace

const QList<QuickOpenCommand>& allQuickOpenCommands() {
    static const QList<QuickOpenCommand> commands = [] {
        QList<QuickOpenCommand> list;
        for (const CommandInfo& entry : kCommands)
            list.append(entry.command);
        return list;
    }();
    return commands;
}

QString rawValue(QuickOpenCommand command) {
    return QString::fromLatin1(info(command).raw);
}

std::optional<QuickOpenCommand> quickOpenCommandFromRaw(const QString& raw) {
    for (const CommandInfo& entry : kCommands)
        if (raw == QLatin1String(entry.raw))
            return entry.command;
    return std::nullopt;
}

QString quickOpenCommandTitleKey(QuickOpenCommand command) {
    return QString::fromLatin1(info(command).titleKey);
}

QString quickOpenCommandSystemImage(QuickOpenCommand command) {
    return QString::fromLatin1(info(command).systemImage);
}

EditorCommandField quickOpenCommandField(QuickOpenCommand command) {
    return info(command).field;
}

QList<QuickOpenEntry> quickOpenCommandEntries() {
    const QString subtitle = localizedString(QStringLiteral("command.quick-open.command-subtitle"));
    QList<QuickOpenEntry> entries;
    entries.reserve(int(kCommands.size()));
    for (const CommandInfo& entry : kCommands) {
        const QString raw = QString::fromLatin1(entry.raw);
        entries.append(QuickOpenEntry{
            QStringLiteral("command:") + raw, localizedString(QString::fromLatin1(entry.titleKey)),
            subtitle, QString::fromLatin1(entry.systemImage), QuickOpenAction::runCommand(raw)});
    }
    return entries;
}

} // namespace dunmoss
