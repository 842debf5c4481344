#include "app/EditorMenuBar.h"
#include "app/EditorCommandsRegistry.h"
#include "app/EditorWindowPresence.h"
#include "platform/Defaults.h"
#include "platform/Localization.h"
#include "text/EditorTheme.h"
#include "window/MenuShortcuts.h"

#include <QAction>
#include <QMenu>
#include <QTemporaryDir>
#include <QUndoStack>
#include <gtest/gtest.h>
#include <memory>

using namespace dunmoss;

namespace {

class MenuBar : public ::testing::Test {
protected:
    void SetUp() override {
        EditorCommandsRegistry::shared().reset();
        resetEditorWindowPresence();
        setPendingEditorCommand(PendingEditorCommand::None);
        defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("settings.ini")));
        EditMenuContext context;
        context.activeUndoStack = [this] { return &stack; };
        context.undoStep = [this](bool redo) { redo ? stack.redo() : stack.undo(); };
        menu = std::make_unique<EditorMenuBar>(std::move(context), *defaults);
    }
    void TearDown() override {
        EditorCommandsRegistry::shared().reset();
        resetEditorWindowPresence();
        setPendingEditorCommand(PendingEditorCommand::None);
    }

    QAction* item(const char* key) const {
        QAction* action = menu->actionForKey(QString::fromLatin1(key));
        EXPECT_NE(action, nullptr) << key;
        return action;
    }

    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;
    QUndoStack stack;
    std::unique_ptr<EditorMenuBar> menu;
    QObject window;
};

} // namespace

TEST_F(MenuBar, ToolsMenuLayout) {
    int buttons = 0, toggles = 0, dividers = 0;
    for (QAction* action : menu->toolsActions()) {
        if (action->isSeparator())
            ++dividers;
        else if (action->isCheckable())
            ++toggles;
        else
            ++buttons;
        EXPECT_TRUE(action->isEnabled());
    }
    EXPECT_EQ(buttons, 35);
    EXPECT_EQ(toggles, 4);
    EXPECT_EQ(dividers, 8);
    EXPECT_EQ(menu->toolsActions().first()->text(),
              localizedString(QStringLiteral("command.find")));
}

TEST_F(MenuBar, ShortcutsUseControlForCommandAndAltForOption) {
    const QList<std::pair<const char*, QKeySequence>> expected = {
        {"command.new", QKeySequence(QStringLiteral("Ctrl+N"))},
        {"command.save-as", QKeySequence(QStringLiteral("Ctrl+Shift+S"))},
        {"command.save-all", QKeySequence(QStringLiteral("Ctrl+Alt+S"))},
        {"command.close-all", QKeySequence(QStringLiteral("Ctrl+Alt+W"))},
        {"command.reload", QKeySequence(QStringLiteral("Ctrl+Alt+R"))},
        {"command.command-palette", QKeySequence(QStringLiteral("Ctrl+K"))},
        {"tools.split-view", QKeySequence(QStringLiteral("Ctrl+Alt+\\"))},
        {"tools.line.move-up", QKeySequence(QStringLiteral("Ctrl+Alt+Up"))},
        {"tools.edit.indent", QKeySequence(QStringLiteral("Ctrl+]"))},
        {"tools.edit.block-comment", QKeySequence(QStringLiteral("Ctrl+Alt+/"))},
        {"menu.quit", QKeySequence(QStringLiteral("Ctrl+Q"))},
        {"menu.settings", QKeySequence(QStringLiteral("Ctrl+,"))},
    };
    // The help sheet reads the same table the menus were built from.
    for (const auto& [key, sequence] : expected) {
        EXPECT_EQ(item(key)->shortcut(), sequence) << key;
        EXPECT_EQ(MenuShortcuts::shortcut(QString::fromLatin1(key)), sequence) << key;
    }
    EXPECT_EQ(MenuShortcuts::text(QStringLiteral("tools.folder-search")), "Ctrl+Shift+F");
    EXPECT_TRUE(item("tools.markdown-preview")->shortcut().isEmpty());
    EXPECT_TRUE(item("command.check-for-updates")->shortcut().isEmpty());
}

TEST_F(MenuBar, ItemsReachTheSlotAndNothingWhenItIsEmpty) {
    item("command.save")->trigger(); // empty slot: nothing, and no crash
    item("tools.line.sort")->trigger();
    QHash<QString, int> calls;
    EditorCommands commands;
    for (const auto& info : allEditorCommandFields()) {
        const QString name = QString::fromLatin1(info.name);
        commands.*(info.field) = [&calls, name] { ++calls[name]; };
    }
    EditorCommandsRegistry::shared().install(&window, commands);
    item("command.save")->trigger();
    item("tools.line.sort")->trigger();
    item("tools.bookmark.previous")->trigger();
    item("command.print")->trigger();
    EXPECT_EQ(calls.value("saveDocument"), 1);
    EXPECT_EQ(calls.value("sortLines"), 1);
    EXPECT_EQ(calls.value("previousBookmark"), 1);
    EXPECT_EQ(calls.value("printDocument"), 1);
    // The setting toggles never go through the record.
    item("tools.word-wrap")->trigger();
    EXPECT_EQ(calls.value("toggleWordWrap"), 0);
}

TEST_F(MenuBar, NewWithNoWindowBecomesPending) {
    int opened = 0;
    openEditorWindowAction() = [&] { ++opened; };
    item("command.new")->trigger();
    EXPECT_EQ(pendingEditorCommand(), PendingEditorCommand::NewDocument);
    item("help.title")->trigger();
    EXPECT_EQ(pendingEditorCommand(), PendingEditorCommand::ShowHelp);
    EXPECT_EQ(opened, 1);
}

TEST_F(MenuBar, TogglesWriteTheirSettingsAndFollowThem) {
    QAction* wrap = item("tools.word-wrap");
    EXPECT_TRUE(wrap->isChecked()); // default on
    wrap->trigger();
    EXPECT_FALSE(defaults->boolean(QStringLiteral("editor.word-wrap.enabled"), true));
    defaults->setValue(QStringLiteral("editor.word-wrap.enabled"), true);
    EXPECT_TRUE(wrap->isChecked());

    QAction* autosave = item("tools.autosave");
    autosave->trigger();
    EXPECT_FALSE(defaults->boolean(QStringLiteral("editor.autosave.enabled"), true));

    QAction* onTop = item("window.always-on-top");
    EXPECT_FALSE(onTop->isChecked());
    bool applied = false;
    setAlwaysOnTopApplier([&](bool enabled, bool bringToFront) {
        applied = enabled;
        EXPECT_FALSE(bringToFront);
    });
    onTop->trigger();
    EXPECT_TRUE(applied);
    EXPECT_TRUE(defaults->boolean(alwaysOnTopKey(), false));
    setAlwaysOnTopApplier(nullptr);
}

TEST_F(MenuBar, UndoTitlesNameTheStep) {
    QMenu* edit = menu->findChild<QMenu*>(QStringLiteral("menu.edit"));
    ASSERT_NE(edit, nullptr);
    emit edit->aboutToShow();
    EXPECT_EQ(item("menu.edit.undo")->text(), localizedString(QStringLiteral("menu.edit.undo")));
    auto* step = new QUndoCommand(QStringLiteral("Sort Lines"));
    stack.push(step);
    emit edit->aboutToShow();
    EXPECT_EQ(item("menu.edit.undo")->text(),
              localizedString(QStringLiteral("menu.edit.undo.format")).arg("Sort Lines"));
    item("menu.edit.undo")->trigger();
    EXPECT_EQ(stack.index(), 0);
    emit edit->aboutToShow();
    EXPECT_EQ(item("menu.edit.redo")->text(),
              localizedString(QStringLiteral("menu.edit.redo.format")).arg("Sort Lines"));
}
