#pragma once

#include "platform/LaterThanRepaints.h"

#include <QObject>
#include <functional>

namespace dunmoss {

class EditorWindowModel;
class FindReplaceBar;
class FolderSearchPanel;
class SearchCenterPanel;
class WindowLayout;

// Puts the find bar, the search center and the folder search panel into the window's layout, wired
// to the window's find and search-center operations, and keeps them in step with the window's state
// (one refresh per turn of the event loop, after the layout's own).
class FindPanels : public QObject {
    Q_OBJECT
public:
    // `focusEditor` hands the keyboard to the editor after a hit was opened from a list.
    FindPanels(WindowLayout& layout, EditorWindowModel& model,
               std::function<void()> focusEditor = {});

    FindReplaceBar* findBar() const { return m_bar; }
    SearchCenterPanel* searchCenter() const { return m_center; }
    FolderSearchPanel* folderSearch() const { return m_folder; }

    void refreshNow();

private:
    void scheduleRefresh();

    EditorWindowModel& m_model;
    FindReplaceBar* m_bar = nullptr;
    SearchCenterPanel* m_center = nullptr;
    FolderSearchPanel* m_folder = nullptr;
    // After the repaints a change brought, as the window's own refresh.
    LaterThanRepaints* m_refreshLater = nullptr;
    bool m_folderShown = false;
};

} // namespace dunmoss
