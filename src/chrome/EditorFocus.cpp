#include "chrome/EditorFocus.h"

#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>

namespace dunmoss {

namespace {

QWidget* paneText(const EditorPane* pane) {
    if (!pane || !pane->isVisible() || !pane->editorView())
        return nullptr;
    return pane->editorView()->textView();
}

// A sheet, a popover or a menu has the keyboard: it gives it back itself when it goes.
bool somethingElseAsked() {
    return QApplication::activeModalWidget() || QApplication::activePopupWidget();
}

} // namespace

EditorFocus::EditorFocus(QWidget& window, EditorArea& area, EditorWindowModel& model)
    : QObject(&window), m_window(window), m_area(area), m_model(model) {
    connect(qApp, &QApplication::focusChanged, this, &EditorFocus::noteFocus);
}

bool EditorFocus::keepsKeyboard(const QWidget* widget) {
    if (!widget)
        return false;
    if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        return combo->isEditable();
    return qobject_cast<const QLineEdit*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget) ||
           qobject_cast<const QAbstractItemView*>(widget) ||
           qobject_cast<const QPlainTextEdit*>(widget) || qobject_cast<const QTextEdit*>(widget);
}

QWidget* EditorFocus::activeEditor() const {
    return paneText(m_area.primaryPane());
}

QWidget* EditorFocus::keyboardHome() const {
    if (QWidget* editor = activeEditor())
        return editor;
    // The welcome panel stands in for the editor: typed text reaches the document through it.
    QWidget* welcome = m_area.panel(EditorAreaPanel::Welcome);
    return welcome && welcome->isVisible() ? welcome : nullptr;
}

void EditorFocus::settle() {
    const QUuid active = activeTab(m_model.state()).id;
    const bool tabChanged = active != m_settledTabID;
    m_settledTabID = active;
    QWidget* editor = keyboardHome();
    if (!editor || !m_window.isVisible() || somethingElseAsked())
        return;
    QWidget* current = m_window.focusWidget();
    if (const auto* button = qobject_cast<QAbstractButton*>(current); button && button->isDown())
        return; // a press in progress would lose its click
    const bool lost = !current || current == &m_window || !current->isVisible();
    if (lost || (tabChanged && !keepsKeyboard(current)))
        editor->setFocus(Qt::OtherFocusReason);
    // Which pane has the keyboard; a field elsewhere leaves it as it was.
    current = m_window.focusWidget();
    if (current == editor)
        m_model.setKeyboardInSecondPane(false);
    else if (current && current == paneText(m_area.secondaryPane()))
        m_model.setKeyboardInSecondPane(true);
}

void EditorFocus::focusActiveEditor() {
    if (QWidget* editor = activeEditor())
        editor->setFocus(Qt::MouseFocusReason);
}

void EditorFocus::settleSoon() {
    if (m_settleScheduled)
        return;
    m_settleScheduled = true;
    // After the toolkit's own handing out of the focus, which follows the activation.
    QTimer::singleShot(0, this, [this] {
        m_settleScheduled = false;
        QWidget* editor = keyboardHome();
        if (!editor || !m_window.isVisible() || somethingElseAsked())
            return;
        if (!keepsKeyboard(m_window.focusWidget()))
            editor->setFocus(Qt::OtherFocusReason);
        settle();
    });
}

void EditorFocus::noteFocus(QWidget* old, QWidget* now) {
    if (now && now->window() == &m_window) {
        if (now == paneText(m_area.primaryPane()))
            m_model.setKeyboardInSecondPane(false);
        else if (now == paneText(m_area.secondaryPane()))
            m_model.setKeyboardInSecondPane(true);
    }
    // The keyboard left a widget because it was hidden (a closed bar, a panel giving way): the
    // toolkit hands it to the next widget in the chain, which nobody chose.
    if (old && old->window() == &m_window && !old->isVisible() && now != keyboardHome()) {
        const QPointer<QWidget> moved = now;
        QTimer::singleShot(0, this, [this, moved] {
            QWidget* editor = keyboardHome();
            if (editor && m_window.isVisible() && !somethingElseAsked() &&
                m_window.focusWidget() == moved)
                editor->setFocus(Qt::OtherFocusReason);
        });
    }
}

} // namespace dunmoss
