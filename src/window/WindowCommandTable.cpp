#include "window/WindowCommandTable.h"

#include "platform/Localization.h"
#include "text/EditorTheme.h"
#include "window/DocumentOpening.h"
#include "window/DocumentPrinting.h"
#include "window/DocumentSaving.h"
#include "window/EditorWindowModel.h"

#include <memory>

namespace dunmoss {

WindowCommandTable::WindowCommandTable(EditorWindowModel& model) : m_model(model) {}

ModelCommandMaker::ModelCommandMaker(EditorWindowModel& model) : m_window(&model) {}

std::function<void()>
ModelCommandMaker::operator()(std::function<void(EditorWindowModel&)> operation) const {
    return [window = m_window, operation = std::move(operation)] {
        if (window)
            operation(*window);
    };
}

EditorCommands WindowCommandTable::makeWindowCommands() const {
    const QPointer<EditorWindowModel> window = &m_model;
    auto* self = const_cast<WindowCommandTable*>(this);
    // The table lives as long as its window's model; the guard covers both.
    const auto builtIn = [window, self](void (WindowCommandTable::*operation)()) {
        return [window, self, operation] {
            if (window)
                (self->*operation)();
        };
    };
    const ModelCommandMaker onModel(m_model);

    EditorCommands record;
    // Fields without a built-in operation run the installed handler, looked up when they run.
    for (const EditorCommandFieldInfo& info : allEditorCommandFields()) {
        const EditorCommandField field = info.field;
        record.*field = [window, self, field] {
            if (window)
                invokeCommand(self->m_handlers, field);
        };
    }
    record.newDocument = builtIn(&WindowCommandTable::newDocument);
    record.openDocument =
        onModel([](EditorWindowModel& model) { model.opening().openDocumentsFromPanel(); });
    record.saveDocument =
        onModel([](EditorWindowModel& model) { model.saving().saveTab(model.keyboardTabIndex()); });
    record.saveDocumentAs =
        onModel([](EditorWindowModel& model) { model.saving().saveKeyboardTabAs(); });
    record.saveAllDocuments =
        onModel([](EditorWindowModel& model) { model.saving().saveAllDocuments(); });
    record.printDocument =
        onModel([](EditorWindowModel& model) { model.printing().printDocument(); });
    record.toggleWordWrap = builtIn(&WindowCommandTable::toggleWordWrapSetting);
    record.toggleInvisibles = builtIn(&WindowCommandTable::toggleInvisiblesSetting);
    record.toggleAlwaysOnTop = builtIn(&WindowCommandTable::toggleAlwaysOnTopSetting);
    return record;
}

void WindowCommandTable::newDocument() {
    m_model.update([](EditorWindowState& state) {
        state.panels.showWelcome = false;
        EditorTab tab = untitledTab();
        state.activeTabID = tab.id;
        state.tabs.append(std::move(tab));
        state.findMessage.clear();
    });
    m_model.persistSession();
}

void WindowCommandTable::selectTab(const QUuid& tabID) {
    m_model.update([&tabID](EditorWindowState& state) {
        state.activeTabID = tabID;
        state.findMessage.clear();
        state.find.findResults.clear();
        state.find.findResultsTotalCount = 0;
        state.find.showFindResults = false;
    });
    m_model.refreshSplitSecondaryTab();
}

void WindowCommandTable::toggleWordWrapSetting() {
    m_model.settings().setWordWrapEnabled(!m_model.settings().wordWrapEnabled());
}

void WindowCommandTable::toggleInvisiblesSetting() {
    m_model.settings().setShowInvisiblesEnabled(!m_model.settings().showInvisiblesEnabled());
}

void WindowCommandTable::toggleAlwaysOnTopSetting() {
    WindowSettings& settings = m_model.settings();
    settings.setAlwaysOnTopEnabled(!settings.alwaysOnTopEnabled());
    m_model.setFindMessage(localizedString(settings.alwaysOnTopEnabled()
                                               ? QStringLiteral("window.always-on-top.enabled")
                                               : QStringLiteral("window.always-on-top.disabled")));
}

} // namespace dunmoss
