#include "window/TabClosing.h"

#include "platform/Localization.h"
#include "text/EditorTab.h"
#include "window/DocumentSaving.h"
#include "window/DocumentWriteQueue.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QPointer>

namespace dunmoss {

namespace {

bool anyWritableTabModified(const EditorWindowState& state) {
    for (const EditorTab& tab : state.tabs)
        if (tabIsModified(tab))
            return true;
    return false;
}

// The window after its last tab went: one new untitled tab, the welcome panel, no second pane
// and no comparison.
void resetToUntitledTab(EditorWindowState& state) {
    EditorTab tab = untitledTab();
    state.activeTabID = tab.id;
    state.tabs = {std::move(tab)};
    state.panels.showWelcome = true;
    state.split.splitMode = SplitEditorMode::Single;
    state.split.secondaryTabID.reset();
    state.split.compareTabID.reset();
    state.split.showCompareView = false;
}

} // namespace

void TabClosing::closeTab(const QUuid& tabID) {
    const std::optional<int> found = m_model.tabIndex(tabID);
    if (!found)
        return;
    const int closedIndex = *found;
    m_model.forgetTab(tabID);
    m_model.update([&](EditorWindowState& state) {
        state.tabs.removeAt(closedIndex);
        if (state.decisions.externalChangeTabID == tabID) {
            state.decisions.externalChangeTabID.reset();
            for (const EditorTab& tab : state.tabs)
                if (tab.hasExternalChanges) {
                    state.decisions.externalChangeTabID = tab.id;
                    break;
                }
        }
        if (state.tabs.isEmpty()) {
            resetToUntitledTab(state);
            return;
        }
        if (state.activeTabID == tabID)
            state.activeTabID = state.tabs.at(std::min<int>(closedIndex, state.tabs.size() - 1)).id;
        if (state.split.secondaryTabID == tabID) {
            state.split.secondaryTabID.reset();
            for (const EditorTab& tab : state.tabs)
                if (tab.id != state.activeTabID) {
                    state.split.secondaryTabID = tab.id;
                    break;
                }
        }
        if (state.split.compareTabID == tabID) {
            state.split.compareTabID.reset();
            state.split.showCompareView = false;
        }
    });
    m_model.refreshSplitSecondaryTab();
    m_model.persistSession();
}

void TabClosing::closeAllTabs(bool force) {
    if (!force && anyWritableTabModified(m_model.state())) {
        m_model.update([](EditorWindowState& state) { state.decisions.showCloseAllAlert = true; });
        return;
    }
    const SessionSaveBatch batch(m_model);
    QList<QUuid> closed;
    for (const EditorTab& tab : m_model.state().tabs)
        closed.append(tab.id);
    for (const QUuid& id : closed)
        m_model.forgetTab(id);
    m_model.update([](EditorWindowState& state) {
        resetToUntitledTab(state);
        state.decisions.pendingCloseTabID.reset();
        state.decisions.showCloseAllAlert = false;
        state.decisions.externalChangeTabID.reset();
        state.findMessage = localizedString(QStringLiteral("command.close-all.done"));
    });
    m_model.persistSession();
}

void TabClosing::requestCloseTab(const QUuid& tabID) {
    const EditorTab* tab = m_model.tab(tabID);
    if (!tab)
        return;
    // A save of it is under way: asked once it is written, when the question may no longer be.
    if (m_model.saving().isWriting(tabID)) {
        const QPointer<EditorWindowModel> model = &m_model;
        m_model.saving().writes().whenWritten(tabID, [model, tabID] {
            if (model)
                TabClosing(*model).requestCloseTab(tabID);
        });
        return;
    }
    if (!tabIsModified(*tab)) {
        closeTab(tabID);
        return;
    }
    m_model.update([&](EditorWindowState& state) {
        state.decisions.pendingCloseTabID = tabID;
        state.decisions.showDiscardAlert = true;
    });
}

void TabClosing::requestCloseKeyboardTab() {
    requestCloseTab(keyboardTab(m_model.state()).id);
}

void TabClosing::requestCloseAllTabs() {
    if (m_model.saving().writes().isWriting()) {
        const QPointer<EditorWindowModel> model = &m_model;
        m_model.saving().writes().whenAllWritten([model] {
            if (model)
                TabClosing(*model).requestCloseAllTabs();
        });
        return;
    }
    if (anyWritableTabModified(m_model.state())) {
        m_model.update([](EditorWindowState& state) { state.decisions.showCloseAllAlert = true; });
        return;
    }
    closeAllTabs(false);
}

void TabClosing::saveAndClosePendingTab(std::function<void()> done) {
    const std::optional<QUuid> pending = m_model.state().decisions.pendingCloseTabID;
    m_model.update([](EditorWindowState& state) { state.decisions.pendingCloseTabID.reset(); });
    const std::optional<int> index = pending ? m_model.tabIndex(*pending) : std::nullopt;
    if (!index) {
        if (done)
            done();
        return;
    }
    const QPointer<EditorWindowModel> model = &m_model;
    const QUuid tabID = *pending;
    // The save panel of an untitled tab may answer later, and the write ends later still. What
    // was typed meanwhile keeps the tab open.
    m_model.saving().saveTab(*index, [model, tabID, done](bool saved) {
        const EditorTab* tab = model ? model->tab(tabID) : nullptr;
        if (saved && tab && !tabIsModified(*tab))
            TabClosing(*model).closeTab(tabID);
        if (done)
            done();
    });
}

void TabClosing::discardPendingTab() {
    const std::optional<QUuid> pending = m_model.state().decisions.pendingCloseTabID;
    if (pending)
        closeTab(*pending);
    keepPendingTab();
}

void TabClosing::keepPendingTab() {
    m_model.update([](EditorWindowState& state) { state.decisions.pendingCloseTabID.reset(); });
}

void TabClosing::saveAllThenCloseAll(std::function<void()> done) {
    const QPointer<EditorWindowModel> model = &m_model;
    m_model.saving().saveAllDocuments([model, done] {
        if (model && !anyWritableTabModified(model->state()))
            TabClosing(*model).closeAllTabs(false);
        if (done)
            done();
    });
}

void TabClosing::discardAllTabs() {
    closeAllTabs(true);
}

} // namespace dunmoss
