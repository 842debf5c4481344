#pragma once

#include "editor/WindowDivider.h"
#include "window/WindowLayoutRows.h"

#include <QHash>
#include <QLayout>
#include <QList>
#include <QWidget>
#include <functional>

class QVBoxLayout;

namespace dunmoss {

class EditorArea;
class EditorWindowModel;
class MessageBar;
class StatusBarView;
class TabStripView;
class WindowStatusLine;

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
// state after every change. It keeps no state of its own; the pieces get plain values. The
// editor keeps room for a few lines: when the window is too low for every panel above it, the
// result panels (find results, search center, folder search) give way, the one shown longest
// first, until the window is tall enough again. The find bar and the message bar always stay, and
// so does the panel whose field holds the keyboard: it counts as the newest from then on, so that
// results arriving elsewhere never hide it or send the keys typed next into the document.
class WindowLayout : public QWidget {
    Q_OBJECT
public:
    static constexpr int kEditorMinimumLines = 8;

    explicit WindowLayout(EditorWindowModel& model, QWidget* parent = nullptr);

    // Installs a panel widget (owned by the layout from then on); null removes it. The folder
    // search panel reads its "showsInlineResults" property.
    void setPanel(WindowPanel panel, QWidget* widget);
    QWidget* panel(WindowPanel panel) const { return m_panels.value(panel); }

    void refresh(const std::function<void()>& showFind);
    // Shows a panel the state shows but that gave way for lack of room, as the newest: the others
    // give way for it. False when it was not giving way.
    bool bringBack(WindowPanel panel);

    TabStripView* tabStrip() const { return m_tabStrip; }
    StatusBarView* statusBar() const { return m_statusBar; }
    WindowStatusLine* statusLine() const { return m_statusLine; }
    EditorArea* editorArea() const { return m_editorArea; }
    MessageBar* messageBar() const { return m_messageBar; }
    // The rows shown, top to bottom.
    QList<WindowRow> shownRows() const;
    // The panels the state shows that gave way for lack of room.
    QList<WindowRow> rowsGivingWay() const;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Row {
        WindowRow kind;
        QWidget* widget;
        bool wanted = false;
        bool givingWay = false;
        // When the state last asked for it; the panel shown longest gives way first.
        quint64 wantedSince = 0;
    };
    // Shows the wanted rows, without the panels that would leave the editor too little room;
    // the kept row stays whatever room it leaves.
    void fitRows(const Row* kept = nullptr);
    // Tells the folder search panel whether it lists its results itself: while the search center
    // is closed or gives way.
    void updateFolderInlineResults();
    int editorMinimumHeight() const;
    // The height of one line of the message bar at the window's width, shown or not.
    int newsRoom() const;
    // The height of the status line with a one-line message, shown or not.
    int statusRoom() const;

    EditorWindowModel& m_model;
    QHash<WindowPanel, QWidget*> m_panels;
    QHash<WindowPanel, QWidget*> m_holders;
    QList<Row> m_rows;
    quint64 m_wantedCount = 0;
    bool m_fitting = false;
    mutable int m_newsRoom = 0;
    mutable int m_newsRoomWidth = -1;
    mutable int m_statusRoom = -1;
    TabStripView* m_tabStrip = nullptr;
    EditorArea* m_editorArea = nullptr;
    MessageBar* m_messageBar = nullptr;
    StatusBarView* m_statusBar = nullptr;
    WindowStatusLine* m_statusLine = nullptr;
};

} // namespace dunmoss
