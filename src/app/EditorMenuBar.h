#pragma once

#include "window/EditorCommands.h"

#include <QHash>
#include <QMenuBar>
#include <functional>

class QUndoStack;

namespace dunmoss {

class Defaults;

// What the Edit menu needs of its window.
struct EditMenuContext {
    // The undo stack of the tab whose pane has the keyboard; null when there is none.
    std::function<QUndoStack*()> activeUndoStack;
    // Undoes (or redoes) a step of that tab, in line with the input its views hold.
    std::function<void(bool redo)> undoStep;
};

// One window's menu bar. It holds no editing logic: every document item calls a closure of the
// process-wide command slot, New, Open, Command Palette and Help also work with no window, and
// four toggles write their stored settings directly. Titles are looked up when it is built.
class EditorMenuBar : public QMenuBar {
    Q_OBJECT
public:
    EditorMenuBar(EditMenuContext context, Defaults& defaults, QWidget* parent = nullptr);
    explicit EditorMenuBar(EditMenuContext context, QWidget* parent = nullptr);

    // The item whose title key (or, for the Edit items, "menu.edit.*" key) is given.
    QAction* actionForKey(const QString& key) const { return m_actions.value(key); }
    QList<QAction*> toolsActions() const;

private:
    void buildFileMenu();
    void buildEditMenu();
    void buildToolsMenu();
    void buildWindowMenu();
    void buildHelpMenu();

    QAction* addItem(QMenu* menu, const char* key, const QKeySequence& shortcut,
                     std::function<void()> action);
    QAction* addCommand(QMenu* menu, const char* key, const QKeySequence& shortcut,
                        EditorCommandField field);
    QAction* addToggle(QMenu* menu, const char* key, std::function<bool()> read,
                       std::function<void(bool)> write, QStringList watchedKeys);
    void refreshUndoTitles();
    void refreshToggles();

    EditMenuContext m_context;
    Defaults& m_defaults;
    QMenu* m_tools = nullptr;
    QHash<QString, QAction*> m_actions;
    struct Toggle {
        QAction* action;
        std::function<bool()> read;
        QStringList keys;
    };
    QList<Toggle> m_toggles;
};

} // namespace dunmoss
