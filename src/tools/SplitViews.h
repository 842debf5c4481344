#pragma once

#include <QUuid>

namespace dunmoss {

class EditorWindowModel;

// The second editor pane: another tab beside the active one (split), or the active tab again
// (clone). Which tab the pane shows is decided from the state on every refresh
// (`secondaryTabIndex`), so a closed or re-activated tab never leaves it stale.
class SplitViews {
public:
    explicit SplitViews(EditorWindowModel& model) : m_model(model) {}

    // Wishes for the first tab other than the active one (the active tab when it is alone).
    void openSplitView();
    void cloneActiveView();
    // Nothing at all, not even a status, while no second pane is shown.
    void closeSplitView();
    // The split picker: choosing the active tab picks the first other tab instead.
    void chooseSecondaryTab(const QUuid& tabID);

private:
    EditorWindowModel& m_model;
};

} // namespace dunmoss
