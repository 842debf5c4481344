#pragma once

#include <QObject>
#include <QPointer>
#include <QUuid>

class QWidget;

namespace dunmoss {

class EditorArea;
class EditorWindowModel;

// Keeps the keyboard with the editor of the active tab (or the welcome panel standing in for
// it) while the window is active and the person has chosen no field and no sheet: at start-up, when
// what had the keyboard is hidden (a closed bar, the welcome panel giving way to a tab), when the
// window's own focus lands on a button, and when the active tab changes while no field has the
// keyboard. A field, a list or the other pane the person chose keeps it. It also tells the model
// which pane has the keyboard, so tools, undo and the status bar act on that pane's document.
class EditorFocus : public QObject {
    Q_OBJECT
public:
    EditorFocus(QWidget& window, EditorArea& area, EditorWindowModel& model);

    // After every refresh of the window from its model.
    void settle();
    // Hands the keyboard to the active editor at once, even from a field (a tab was clicked).
    void focusActiveEditor();
    // Once the window's start-up steps ran, and whenever the window becomes active: a focus the
    // toolkit handed out itself goes to the editor.
    void settleSoon();

    // Whether the widget keeps the keyboard once it has it: fields, lists and text views.
    static bool keepsKeyboard(const QWidget* widget);

private:
    QWidget* activeEditor() const;
    // The active editor, or the welcome panel while it stands in for it.
    QWidget* keyboardHome() const;
    void noteFocus(QWidget* old, QWidget* now);

    QWidget& m_window;
    EditorArea& m_area;
    EditorWindowModel& m_model;
    QUuid m_settledTabID;
    bool m_settleScheduled = false;
};

} // namespace dunmoss
