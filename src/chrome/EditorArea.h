#pragma once

#include "window/EditorWindowState.h"

#include <QHash>
#include <QList>
#include <QWidget>
#include <functional>

class QFrame;
class QHBoxLayout;
class QVBoxLayout;

namespace dunmoss {

class EditorPane;
class EditorWindowModel;

// What stands side by side in the editor area, left to right.
enum class EditorAreaElement {
    WorkspaceSidebar,
    Divider,
    Welcome,
    EditorPane,
    SecondPane,
    Outline,
    MarkdownPreview,
    ComparePanel,
};

// The row for the state: sidebar, centre (welcome panel or editor pane), second pane, outline,
// markdown preview and compare panel, each optional element after a divider (the sidebar
// before one).
QList<EditorAreaElement> editorAreaElements(const EditorWindowState& state);

// The panels that later parts of the window provide; the area places them by the state.
enum class EditorAreaPanel { Workspace, Welcome, SplitHeader, Outline, MarkdownPreview, Compare };

// The part of the window between the tab strip (and find panels) and the status bar. It decides
// from the window state which elements are shown, in which order and with which sizes, and
// changes no state itself.
class EditorArea : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSecondPaneMinimumWidth = 300;

    explicit EditorArea(EditorWindowModel& model, QWidget* parent = nullptr);

    // Installs a panel widget (owned by the area from then on); null removes it.
    void setPanel(EditorAreaPanel panel, QWidget* widget);
    QWidget* panel(EditorAreaPanel panel) const { return m_panels.value(panel); }

    // Rebuilds the row from the model's current state.
    void refresh(const std::function<void()>& showFind);

    EditorPane* primaryPane() const { return m_primary; }
    EditorPane* secondaryPane() const { return m_secondary; }
    QWidget* secondPaneContainer() const { return m_secondColumn; }
    // The shown elements in order, as the row holds them (for layout checks).
    QList<EditorAreaElement> shownElements() const;

private:
    struct Element {
        EditorAreaElement kind;
        QWidget* widget;
    };
    QWidget* holder(EditorAreaPanel panel) const { return m_holders.value(panel); }

    EditorWindowModel& m_model;
    QHBoxLayout* m_row = nullptr;
    QHash<EditorAreaPanel, QWidget*> m_panels;
    QHash<EditorAreaPanel, QWidget*> m_holders;
    QWidget* m_centre = nullptr;
    EditorPane* m_primary = nullptr;
    QWidget* m_secondColumn = nullptr;
    QFrame* m_secondHeaderDivider = nullptr;
    EditorPane* m_secondary = nullptr;
    // Every widget of the row in fixed order, with its kind; refresh shows and hides them.
    QList<Element> m_elements;
};

} // namespace dunmoss
