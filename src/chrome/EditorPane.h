#pragma once

#include "editor/CodeEditorProps.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class QFrame;

namespace dunmoss {

class CodeEditorView;
class EditorWindowModel;
class LargeFileBanner;

// The props of the code-editing view for the tab at the index: bindings that find the tab by its
// identifier on every access (so a pane keeps addressing the same document when tabs move or
// close), the tab's own undo stack, the window's shared text storages and the display settings.
// The index must name a tab.
CodeEditorProps editorPaneProps(EditorWindowModel& model, int tabIndex,
                                std::function<void()> showFind);

// One tab's document for editing: the large-file banner and a divider above the code-editing
// view while the tab is a read-only preview, then the view, which fills the rest. The same
// view is kept across updates and only takes new values, so switching tabs moves it to the
// other tab's storage instead of building a new one.
class EditorPane : public QWidget {
    Q_OBJECT
public:
    explicit EditorPane(EditorWindowModel& model, QWidget* parent = nullptr);

    // Shows the tab at the index (which must name a tab) with the current settings.
    void showTab(int tabIndex, std::function<void()> showFind);

    CodeEditorView* editorView() const { return m_editor; }
    LargeFileBanner* banner() const { return m_banner; }
    bool showsBanner() const;

private:
    // The size the editor view will get in the pane as it is now.
    QSize roomForEditor() const;

    EditorWindowModel& m_model;
    LargeFileBanner* m_banner = nullptr;
    QFrame* m_bannerDivider = nullptr;
    CodeEditorView* m_editor = nullptr;
};

} // namespace dunmoss
