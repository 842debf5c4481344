#include "tools/MacroRecording.h"

#include "platform/Localization.h"
#include "window/EditorWindowModel.h"

namespace dunmoss {

void MacroRecording::recordMacroStep(EditorMacroStep step) {
    const MacroState& macros = m_model.state().macros;
    if (!macros.isRecordingMacro || macros.isPlayingMacro)
        return;
    m_model.update([&](EditorWindowState& state) { state.macros.recordedMacroSteps.append(step); });
}

void MacroRecording::toggleMacroRecording() {
    if (!m_model.state().macros.isRecordingMacro) {
        m_model.update([](EditorWindowState& state) {
            state.macros.recordedMacroSteps.clear();
            state.macros.isRecordingMacro = true;
        });
        m_model.setFindMessage(localizedString(QStringLiteral("tools.macro.recording")));
        return;
    }
    m_model.update([](EditorWindowState& state) { state.macros.isRecordingMacro = false; });
    m_model.setFindMessage(
        localizedString(QStringLiteral("tools.macro.recorded.format"))
            .arg(localizedCount(m_model.state().macros.recordedMacroSteps.size(), kCountedSteps)));
}

} // namespace dunmoss
