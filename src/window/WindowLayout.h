#pragma once

#include "window/EditorWindowState.h"
#include "window/StatusBarItems.h"

#include <QHash>
#include <QLayout>
#include <QList>
#include <QWidget>
#include <functional>

class QFrame;
class QVBoxLayout;

namespace dunmoss {

class EditorArea;
class EditorWindowModel;
class StatusBarView;
class TabStripView;
class WindowStatusLine;

// The rows of an editor window, top to bottom.
enum class WindowRow {
    Header,
    Divider,
    TabStrip,
    FindBar,
    StatusLine,
    FindResults,
    OpenDocumentResults,
    SearchCenter,
    FolderSearch,
    EditorArea,
    StatusBar,
};

// Header, divider, tab strip, divider, each shown panel followed by a divider (find bar, find
// results, open-document results, search center, folder search, always in this order), the
// editor area, a divider and the status bar. While the find bar is hidden, a status message
// stands in its place (see showsStatusLine).
QList<WindowRow> windowLayoutRows(const EditorWindowState& state);

// The window's status message is shown on its own line whenever it is not empty and no find
// bar is on screen to show it.
bool showsStatusLine(const EditorWindowState& state, bool findBarInstalled = true);

// Large-file mode: a preview, or a text of more than 1,000,000 characters (counted as the user
// sees them, and only as far as needed to know).
bool isLargeFileMode(const EditorTab& tab);

// The status bar's values for the active tab (the first tab while the active id names none).
StatusBarValues statusBarValues(const EditorWindowState& state);

// The folder search panel lists its results itself only while the search center is hidden.
bool folderSearchShowsInlineResults(const EditorWindowState& state);

// A thin separator line between two rows (horizontal) or two columns (vertical).
QFrame* makeWindowDivider(Qt::Orientation orientation, QWidget* parent);

// Puts a panel widget into its holder, which owns it from then on, in place of the panel
// stored under the key; null only removes the old one.
template <typename Key>
void replacePanel(QHash<Key, QWidget*>& panels, Key key, QWidget* holder, QWidget* widget) {
    if (QWidget* old = panels.take(key))
        old->deleteLater();
    if (widget) {
        widget->setParent(holder);
        holder->layout()->addWidget(widget);
        panels.insert(key, widget);
    }
}

// The panels that later parts of the window provide; the layout places them by the state.
enum class WindowPanel {
    Header,
    FindBar,
    FindResults,
    OpenDocumentResults,
    SearchCenter,
    FolderSearch
};

// The content of one editor window: a single column with no spacing, rebuilt from the window
// state after every change. It keeps no state of its own; the pieces get plain values.
class WindowLayout : public QWidget {
    Q_OBJECT
public:
    explicit WindowLayout(EditorWindowModel& model, QWidget* parent = nullptr);

    // Installs a panel widget (owned by the layout from then on); null removes it. The folder
    // search panel reads its "showsInlineResults" property.
    void setPanel(WindowPanel panel, QWidget* widget);
    QWidget* panel(WindowPanel panel) const { return m_panels.value(panel); }

    void refresh(const std::function<void()>& showFind);

    TabStripView* tabStrip() const { return m_tabStrip; }
    StatusBarView* statusBar() const { return m_statusBar; }
    WindowStatusLine* statusLine() const { return m_statusLine; }
    EditorArea* editorArea() const { return m_editorArea; }
    // The rows shown, top to bottom.
    QList<WindowRow> shownRows() const;

    static constexpr const char* kShowsInlineResultsProperty = "showsInlineResults";

private:
    struct Row {
        WindowRow kind;
        QWidget* widget;
    };

    EditorWindowModel& m_model;
    QHash<WindowPanel, QWidget*> m_panels;
    QHash<WindowPanel, QWidget*> m_holders;
    QList<Row> m_rows;
    TabStripView* m_tabStrip = nullptr;
    EditorArea* m_editorArea = nullptr;
    StatusBarView* m_statusBar = nullptr;
    WindowStatusLine* m_statusLine = nullptr;
};

} // namespace dunmoss
