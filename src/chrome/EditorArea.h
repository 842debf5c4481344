#pragma once

#include "window/EditorWindowState.h"

#include <QHash>
#include <QList>
#include <QWidget>
#include <functional>

class QFrame;
class QSplitter;

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
// from the window state which elements are shown and in which order, and changes no state
// itself. The elements stand in a splitter: side panels start at their own widths and can be
// dragged wider or narrower; the editor takes the room left and keeps a usable width. When the
// window is too narrow for every panel beside the editor, panels first shrink to their
// minimums, then give way (the one shown longest first) until the window is wide enough again.
class EditorArea : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSecondPaneMinimumWidth = 300;
    static constexpr int kEditorMinimumWidth = 360;
    // No side panel is squeezed below this, nor below what its controls need up to the width
    // it starts at.
    static constexpr int kPanelMinimumWidth = 180;

    explicit EditorArea(EditorWindowModel& model, QWidget* parent = nullptr);

    // Installs a panel widget (owned by the area from then on); null removes it.
    void setPanel(EditorAreaPanel panel, QWidget* widget);
    QWidget* panel(EditorAreaPanel panel) const { return m_panels.value(panel); }

    // Rebuilds the row from the model's current state.
    void refresh(const std::function<void()>& showFind);

    EditorPane* primaryPane() const { return m_primary; }
    EditorPane* secondaryPane() const { return m_secondary; }
    QWidget* secondPaneContainer() const { return m_secondColumn; }
    QSplitter* splitter() const { return m_splitter; }
    // The shown elements in order, a divider between each two (for layout checks).
    QList<EditorAreaElement> shownElements() const;
    // The side panels the state shows that gave way for lack of room.
    QList<EditorAreaElement> panelsGivingWay() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Element {
        EditorAreaElement kind;
        QWidget* widget;
        bool wanted = false;
        bool givingWay = false;
        // When the state last asked for it; the panel shown longest gives way first.
        quint64 wantedSince = 0;
    };
    QWidget* holder(EditorAreaPanel panel) const { return m_holders.value(panel); }
    // Shows the wanted elements that fit beside the editor.
    void fitPanels();

    EditorWindowModel& m_model;
    QSplitter* m_splitter = nullptr;
    QHash<EditorAreaPanel, QWidget*> m_panels;
    QHash<EditorAreaPanel, QWidget*> m_holders;
    QWidget* m_centre = nullptr;
    EditorPane* m_primary = nullptr;
    QWidget* m_secondColumn = nullptr;
    QFrame* m_secondHeaderDivider = nullptr;
    EditorPane* m_secondary = nullptr;
    // Every element of the row in fixed order.
    QList<Element> m_elements;
    quint64 m_wantedCount = 0;
};

} // namespace dunmoss
