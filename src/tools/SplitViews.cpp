#include "tools/SplitViews.h"

#include "platform/Localization.h"
#include "window/EditorWindowModel.h"

namespace dunmoss {

namespace {

// The first tab other than the active one; the active tab itself when it is alone.
QUuid firstOtherTab(const EditorWindowState& state) {
    for (const EditorTab& tab : state.tabs)
        if (tab.id != state.activeTabID)
            return tab.id;
    return state.activeTabID;
}

} // namespace

void SplitViews::openSplitView() {
    m_model.update([](EditorWindowState& state) {
        state.split.splitMode = SplitEditorMode::Split;
        state.split.secondaryTabID = firstOtherTab(state);
        state.findMessage = localizedString(QStringLiteral("tools.split-view.enabled"));
    });
}

void SplitViews::cloneActiveView() {
    m_model.update([](EditorWindowState& state) {
        state.split.splitMode = SplitEditorMode::Clone;
        state.split.secondaryTabID = state.activeTabID;
        state.findMessage = localizedString(QStringLiteral("tools.clone-view.enabled"));
    });
}

void SplitViews::closeSplitView() {
    if (m_model.state().split.splitMode == SplitEditorMode::Single)
        return;
    m_model.update([](EditorWindowState& state) {
        state.split.splitMode = SplitEditorMode::Single;
        state.split.secondaryTabID.reset();
        state.findMessage = localizedString(QStringLiteral("tools.split-view.closed"));
    });
}

void SplitViews::chooseSecondaryTab(const QUuid& tabID) {
    m_model.update([&](EditorWindowState& state) {
        state.split.secondaryTabID = tabID == state.activeTabID ? firstOtherTab(state) : tabID;
    });
}

} // namespace dunmoss
