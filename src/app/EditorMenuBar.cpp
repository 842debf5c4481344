#include "app/EditorMenuBar.h"

#include "app/ApplicationActions.h"
#include "app/EditorCommandsRegistry.h"
#include "app/EditorWindowPresence.h"
#include "editor/LiteralText.h"
#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "text/EditorTheme.h"
#include "window/MenuShortcuts.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMenu>
#include <QUndoStack>

namespace dunmoss {

namespace {

constexpr auto Ctrl = Qt::CTRL;
constexpr auto Shift = Qt::SHIFT;
constexpr auto Alt = Qt::ALT;

QString text(const char* key) {
    return localizedString(QString::fromLatin1(key));
}

// Cut, Copy, Paste and Select All act on whatever text field has the focus.
void invokeOnFocusWidget(const char* slot) {
    QWidget* focus = QApplication::focusWidget();
    if (!focus)
        return;
    const QByteArray signature = QByteArray(slot) + "()";
    if (focus->metaObject()->indexOfMethod(signature.constData()) >= 0)
        QMetaObject::invokeMethod(focus, slot);
}

const char* const kWordWrapKey = "editor.word-wrap.enabled";
const char* const kShowInvisiblesKey = "editor.show-invisibles.enabled";
const char* const kAutoSaveKey = "editor.autosave.enabled";

} // namespace

EditorMenuBar::EditorMenuBar(EditMenuContext context, QWidget* parent)
    : EditorMenuBar(std::move(context), Defaults::standard(), parent) {}

EditorMenuBar::EditorMenuBar(EditMenuContext context, Defaults& defaults, QWidget* parent)
    : QMenuBar(parent), m_context(std::move(context)), m_defaults(defaults) {
    setObjectName(QStringLiteral("editorMenuBar"));
    buildFileMenu();
    buildEditMenu();
    buildToolsMenu();
    buildWindowMenu();
    buildHelpMenu();
    connect(&m_defaults, &Defaults::changed, this, [this](const QString& key) {
        for (const Toggle& toggle : m_toggles)
            if (toggle.keys.contains(key)) {
                refreshToggles();
                return;
            }
    });
}

QAction* EditorMenuBar::addItem(QMenu* menu, const char* key, const QKeySequence& shortcut,
                                std::function<void()> action) {
    QAction* item = menu->addAction(text(key));
    item->setObjectName(QString::fromLatin1(key));
    if (!shortcut.isEmpty())
        item->setShortcut(shortcut);
    MenuShortcuts::record(QString::fromLatin1(key), shortcut);
    connect(item, &QAction::triggered, this, [action = std::move(action)] { action(); });
    m_actions.insert(QString::fromLatin1(key), item);
    return item;
}

QAction* EditorMenuBar::addCommand(QMenu* menu, const char* key, const QKeySequence& shortcut,
                                   EditorCommandField field) {
    return addItem(menu, key, shortcut, [field] { performRegisteredCommand(field); });
}

QAction* EditorMenuBar::addToggle(QMenu* menu, const char* key, std::function<bool()> read,
                                  std::function<void(bool)> write, QStringList watchedKeys) {
    QAction* item = menu->addAction(text(key));
    item->setObjectName(QString::fromLatin1(key));
    item->setCheckable(true);
    item->setChecked(read());
    connect(item, &QAction::triggered, this,
            [write = std::move(write)](bool checked) { write(checked); });
    m_actions.insert(QString::fromLatin1(key), item);
    m_toggles.append({item, std::move(read), std::move(watchedKeys)});
    return item;
}

void EditorMenuBar::refreshToggles() {
    for (const Toggle& toggle : m_toggles) {
        const bool value = toggle.read();
        if (toggle.action->isChecked() != value)
            toggle.action->setChecked(value);
    }
}

void EditorMenuBar::buildFileMenu() {
    QMenu* file = addMenu(text(lkey("menu.file")));
    file->setObjectName(QStringLiteral("menu.file"));
    addItem(file, lkey("command.new"), Ctrl | Qt::Key_N, [] {
        performCommandOrOpenWindow(&EditorCommands::newDocument, PendingEditorCommand::NewDocument);
    });
    addItem(file, lkey("command.open"), Ctrl | Qt::Key_O, [] {
        performCommandOrOpenWindow(&EditorCommands::openDocument,
                                   PendingEditorCommand::OpenDocument);
    });
    addItem(file, lkey("command.command-palette"), Ctrl | Qt::Key_K, [] {
        performCommandOrOpenWindow(&EditorCommands::quickOpen, PendingEditorCommand::QuickOpen);
    });
    file->addSeparator();
    addCommand(file, lkey("command.save"), Ctrl | Qt::Key_S, &EditorCommands::saveDocument);
    addCommand(file, lkey("command.save-as"), Ctrl | Shift | Qt::Key_S,
               &EditorCommands::saveDocumentAs);
    addCommand(file, lkey("command.save-all"), Ctrl | Alt | Qt::Key_S,
               &EditorCommands::saveAllDocuments);
    addCommand(file, lkey("command.close-tab"), Ctrl | Qt::Key_W, &EditorCommands::closeActiveTab);
    addCommand(file, lkey("command.close-all"), Ctrl | Alt | Qt::Key_W,
               &EditorCommands::closeAllTabs);
    addCommand(file, lkey("command.reload"), Ctrl | Alt | Qt::Key_R,
               &EditorCommands::reloadDocument);
    file->addSeparator();
    addCommand(file, lkey("command.print"), Ctrl | Qt::Key_P, &EditorCommands::printDocument);
    file->addSeparator();
    QAction* quit = addItem(file, lkey("menu.quit"), Ctrl | Qt::Key_Q, [] { quitApplication(); });
    quit->setMenuRole(QAction::QuitRole);
}

void EditorMenuBar::buildEditMenu() {
    QMenu* edit = addMenu(text(lkey("menu.edit")));
    edit->setObjectName(QStringLiteral("menu.edit"));
    addItem(edit, lkey("menu.edit.undo"), Ctrl | Qt::Key_Z, [this] {
        if (auto* line = qobject_cast<QLineEdit*>(QApplication::focusWidget())) {
            line->undo();
            return;
        }
        if (m_context.undoStep)
            m_context.undoStep(false);
    });
    addItem(edit, lkey("menu.edit.redo"), Ctrl | Shift | Qt::Key_Z, [this] {
        if (auto* line = qobject_cast<QLineEdit*>(QApplication::focusWidget())) {
            line->redo();
            return;
        }
        if (m_context.undoStep)
            m_context.undoStep(true);
    });
    edit->addSeparator();
    addItem(edit, lkey("menu.edit.cut"), QKeySequence::Cut, [] { invokeOnFocusWidget("cut"); });
    addItem(edit, lkey("menu.edit.copy"), QKeySequence::Copy, [] { invokeOnFocusWidget("copy"); });
    addItem(edit, lkey("menu.edit.paste"), QKeySequence::Paste,
            [] { invokeOnFocusWidget("paste"); });
    edit->addSeparator();
    addItem(edit, lkey("menu.edit.select-all"), QKeySequence::SelectAll,
            [] { invokeOnFocusWidget("selectAll"); });
    edit->addSeparator();
    QAction* settings = addItem(edit, lkey("menu.settings"), Ctrl | Qt::Key_Comma, [] {
        if (openSettingsAction())
            openSettingsAction()();
    });
    settings->setMenuRole(QAction::PreferencesRole);
    connect(edit, &QMenu::aboutToShow, this, &EditorMenuBar::refreshUndoTitles);
    refreshUndoTitles();
}

void EditorMenuBar::refreshUndoTitles() {
    QUndoStack* stack = m_context.activeUndoStack ? m_context.activeUndoStack() : nullptr;
    const QString undoName =
        stack && stack->canUndo() ? literalMnemonicText(stack->undoText()) : QString();
    const QString redoName =
        stack && stack->canRedo() ? literalMnemonicText(stack->redoText()) : QString();
    m_actions.value(QStringLiteral("menu.edit.undo"))
        ->setText(undoName.isEmpty() ? text(lkey("menu.edit.undo"))
                                     : text(lkey("menu.edit.undo.format")).arg(undoName));
    m_actions.value(QStringLiteral("menu.edit.redo"))
        ->setText(redoName.isEmpty() ? text(lkey("menu.edit.redo"))
                                     : text(lkey("menu.edit.redo.format")).arg(redoName));
}

void EditorMenuBar::buildToolsMenu() {
    m_tools = addMenu(text(lkey("tools.title")));
    m_tools->setObjectName(QStringLiteral("tools.title"));
    QMenu* m = m_tools;
    using C = EditorCommands;
    addCommand(m, lkey("command.find"), Ctrl | Qt::Key_F, &C::showFind);
    addCommand(m, lkey("tools.folder-search"), Ctrl | Shift | Qt::Key_F, &C::toggleFolderSearch);
    m->addSeparator();
    addCommand(m, lkey("workspace.open"), Ctrl | Alt | Qt::Key_O, &C::openWorkspace);
    addCommand(m, lkey("workspace.toggle"), {}, &C::toggleWorkspace);
    addCommand(m, lkey("tools.json-pretty"), Ctrl | Shift | Qt::Key_J, &C::formatJSON);
    addCommand(m, lkey("tools.json-minify"), {}, &C::minifyJSON);
    m->addSeparator();
    addCommand(m, lkey("tools.markdown-preview"), {}, &C::toggleMarkdownPreview);
    addCommand(m, lkey("tools.document-outline"), {}, &C::toggleDocumentOutline);
    addCommand(m, lkey("tools.compare-view"), {}, &C::toggleCompareView);
    addCommand(m, lkey("tools.split-view"), Ctrl | Alt | Qt::Key_Backslash, &C::openSplitView);
    addCommand(m, lkey("tools.clone-view"), Ctrl | Shift | Alt | Qt::Key_Backslash,
               &C::cloneActiveView);
    addCommand(m, lkey("tools.split-view.close"), {}, &C::closeSplitView);
    m->addSeparator();
    const auto boolSetting = [this](const char* key, bool fallback) {
        return [this, key, fallback] {
            return m_defaults.boolean(QString::fromLatin1(key), fallback);
        };
    };
    const auto writeSetting = [this](const char* key) {
        return [this, key](bool value) { m_defaults.setValue(QString::fromLatin1(key), value); };
    };
    addToggle(m, lkey("tools.word-wrap"), boolSetting(kWordWrapKey, true),
              writeSetting(kWordWrapKey), {QString::fromLatin1(kWordWrapKey)});
    addToggle(m, lkey("tools.show-invisibles"), boolSetting(kShowInvisiblesKey, false),
              writeSetting(kShowInvisiblesKey), {QString::fromLatin1(kShowInvisiblesKey)});
    addToggle(m, lkey("tools.autosave"), boolSetting(kAutoSaveKey, true),
              writeSetting(kAutoSaveKey), {QString::fromLatin1(kAutoSaveKey)});
    addToggle(
        m, lkey("window.always-on-top"),
        [this] { return alwaysOnTopEnabled(m_defaults, QCoreApplication::arguments()); },
        [this](bool value) {
            setAlwaysOnTop(value, false, m_defaults, QCoreApplication::arguments());
        },
        {QString::fromLatin1(kAlwaysOnTopKey), QString::fromLatin1(kUiTestingAlwaysOnTopKey)});
    m->addSeparator();
    addCommand(m, lkey("tools.goto-line"), Ctrl | Qt::Key_L, &C::showGoToLine);
    addCommand(m, lkey("tools.bookmark.toggle"), Ctrl | Alt | Qt::Key_B, &C::toggleBookmark);
    addCommand(m, lkey("tools.bookmark.next"), {}, &C::nextBookmark);
    addCommand(m, lkey("tools.bookmark.previous"), {}, &C::previousBookmark);
    addCommand(m, lkey("tools.bookmark.clear"), {}, &C::clearBookmarks);
    m->addSeparator();
    addCommand(m, lkey("tools.column-insert"), {}, &C::showColumnInsert);
    addCommand(m, lkey("tools.snippets"), {}, &C::showSnippetLibrary);
    addCommand(m, lkey("tools.toolbox"), {}, &C::showTextToolbox);
    addCommand(m, lkey("tools.external-command.open"), {}, &C::showExternalCommand);
    m->addSeparator();
    addCommand(m, lkey("tools.line.duplicate"), Ctrl | Shift | Qt::Key_D, &C::duplicateLine);
    addCommand(m, lkey("tools.line.delete"), {}, &C::deleteLine);
    addCommand(m, lkey("tools.line.move-up"), Ctrl | Alt | Qt::Key_Up, &C::moveLineUp);
    addCommand(m, lkey("tools.line.move-down"), Ctrl | Alt | Qt::Key_Down, &C::moveLineDown);
    addCommand(m, lkey("tools.line.sort"), {}, &C::sortLines);
    m->addSeparator();
    addCommand(m, lkey("tools.edit.indent"), Ctrl | Qt::Key_BracketRight, &C::indentSelection);
    addCommand(m, lkey("tools.edit.outdent"), Ctrl | Qt::Key_BracketLeft, &C::outdentSelection);
    addCommand(m, lkey("tools.edit.line-comment"), Ctrl | Qt::Key_Slash, &C::toggleLineComment);
    addCommand(m, lkey("tools.edit.block-comment"), Ctrl | Alt | Qt::Key_Slash,
               &C::toggleBlockComment);
    m->addSeparator();
    addCommand(m, lkey("tools.text.trim-trailing"), {}, &C::trimTrailingWhitespace);
    addCommand(m, lkey("tools.text.tabs-to-spaces"), {}, &C::tabsToSpaces);
    addCommand(m, lkey("tools.text.spaces-to-tabs"), {}, &C::spacesToTabs);
    addCommand(m, lkey("tools.text.uppercase"), {}, &C::uppercaseSelection);
    addCommand(m, lkey("tools.text.lowercase"), {}, &C::lowercaseSelection);
}

QList<QAction*> EditorMenuBar::toolsActions() const {
    return m_tools->actions();
}

void EditorMenuBar::buildWindowMenu() {
    QMenu* window = addMenu(text(lkey("menu.window")));
    window->setObjectName(QStringLiteral("menu.window"));
    addItem(window, lkey("window.show-main"), {}, [] { showMainWindow(); });
}

void EditorMenuBar::buildHelpMenu() {
    QMenu* help = addMenu(text(lkey("menu.help")));
    help->setObjectName(QStringLiteral("menu.help"));
    addItem(help, lkey("help.title"), {}, [] {
        performCommandOrOpenWindow(&EditorCommands::showHelp, PendingEditorCommand::ShowHelp);
    });
    help->addSeparator();
    addItem(help, lkey("command.check-for-updates"), {}, [] {
        if (checkForUpdatesAction())
            checkForUpdatesAction()();
    });
}

} // namespace dunmoss
