#pragma once

#include <QUuid>
#include <functional>

namespace dunmoss {

class EditorWindowModel;

// Closing tabs: one, or all at once, asking first when unsaved work would be lost. A close
// repairs everything that named the tab (active tab, the pending external-change question, the
// second pane, the compare view), drops the tab's undo history and text storage, and never leaves
// the window without a tab: the last one closed gives way to a new untitled tab and the welcome
// panel. The questions are raised through the window's flags; their answers may come later and
// find the pending tab again by identifier.
class TabClosing {
public:
    explicit TabClosing(EditorWindowModel& model) : m_model(model) {}

    // Closes the tab without asking; nothing when no tab has the identifier.
    void closeTab(const QUuid& tabID);
    // Without force, asks first while a writable tab is modified.
    void closeAllTabs(bool force);

    // The tab strip's and the menu's close: at once for a tab without unsaved changes, else the
    // close-unsaved question.
    void requestCloseTab(const QUuid& tabID);
    // The same for the tab whose pane has the keyboard.
    void requestCloseKeyboardTab();
    // The close-all question when any tab is modified, else closes all at once.
    void requestCloseAllTabs();

    // Answers of the close-unsaved question about the pending tab.
    void saveAndClosePendingTab(std::function<void()> done = {});
    void discardPendingTab();
    void keepPendingTab();

    // Answers of the close-all question. Save All closes everything only when no writable tab
    // is left modified (a cancelled panel or a refused save keeps all tabs open).
    void saveAllThenCloseAll(std::function<void()> done = {});
    void discardAllTabs();

private:
    EditorWindowModel& m_model;
};

} // namespace dunmoss
