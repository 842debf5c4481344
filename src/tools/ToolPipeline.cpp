#include "tools/ToolPipeline.h"

#include "platform/Localization.h"
#include "tools/MacroRecording.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <variant>

namespace dunmoss {

ToolRequest
ToolPipeline::selectionTransform(std::function<TextEdit(const QString&, TextRange)> transform,
                                 const char* actionKey, const char* statusKey) {
    ToolRequest request;
    request.transform = std::move(transform);
    request.actionKey = QLatin1String(actionKey);
    request.statusText = localizedString(QLatin1String(statusKey));
    return request;
}

ToolRequest
ToolPipeline::selectionSplice(std::function<SpliceEdit(const QString&, TextRange)> transform,
                              const char* actionKey, const char* statusKey) {
    ToolRequest request = selectionTransform({}, actionKey, statusKey);
    request.spliceTransform = std::move(transform);
    return request;
}

bool ToolPipeline::run(const ToolRequest& request) {
    if (request.refusal) {
        const QString refusal = request.refusal(keyboardTab(m_model.state()));
        if (!refusal.isEmpty()) {
            m_model.setFindMessage(localizedString(refusal));
            return false;
        }
    }
    if (request.macroStep)
        MacroRecording(m_model).recordMacroStep(*request.macroStep);

    const EditorTab& tab = keyboardTab(m_model.state());
    if (tab.isReadOnly) {
        m_model.setFindMessage(localizedString(QLatin1String(readOnlyEditBlockedKey(tab))));
        return false;
    }
    const QUuid tabID = tab.id;
    std::variant<TextEdit, SpliceEdit> edit;
    try {
        if (request.spliceTransform)
            edit = request.spliceTransform(tab.document.text, tab.selectedRange);
        else
            edit = request.transform(tab.document.text, tab.selectedRange);
    } catch (const std::exception& error) {
        if (!request.failureMessage)
            throw;
        m_model.setErrorMessage(request.failureMessage(error));
        return false;
    }

    // Looked up again: the tab may have gone or turned read-only while the transform ran.
    const std::optional<int> index = m_model.tabIndex(tabID);
    if (index && !m_model.state().tabs.at(*index).isReadOnly) {
        if (const auto* whole = std::get_if<TextEdit>(&edit))
            m_model.replaceTabText(*index, whole->text, whole->selection, request.actionKey);
        else if (const auto* stretch = std::get_if<SpliceEdit>(&edit))
            m_model.spliceTabText(*index, stretch->splice, stretch->selection, request.actionKey);
    }
    m_model.setFindMessage(request.statusText);
    m_model.refreshFindResultsAfterEdit();
    m_model.persistSessionAfterEdit();
    return true;
}

} // namespace dunmoss
