#include "tools/MacroPlayback.h"

#include "platform/Localization.h"
#include "tools/LineTools.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QStringList>

namespace dunmoss {

void MacroPlayback::playRecordedMacro() {
    // A copy: the steps played must not be the list they might append to.
    const QList<EditorMacroStep> steps = m_model.state().macros.recordedMacroSteps;
    playMacroSteps(steps);
}

void MacroPlayback::saveRecordedMacro() {
    const QList<EditorMacroStep>& steps = m_model.state().macros.recordedMacroSteps;
    if (steps.isEmpty()) {
        m_model.setFindMessage(localizedString(QStringLiteral("tools.macro.empty")));
        return;
    }
    QStringList names;
    for (const EditorMacroStep step : steps)
        names.append(rawValue(step));
    m_model.settings().setSavedMacroStepsRaw(names.join(u','));
    m_model.setFindMessage(localizedString(QStringLiteral("tools.macro.saved.format"))
                               .arg(localizedCount(steps.size(), kCountedSteps)));
}

void MacroPlayback::playSavedMacro() {
    playMacroSteps(savedMacroSteps(m_model.settings()));
}

void MacroPlayback::playMacroSteps(const QList<EditorMacroStep>& steps) {
    if (steps.isEmpty()) {
        m_model.setFindMessage(localizedString(QStringLiteral("tools.macro.empty")));
        return;
    }
    m_model.update([](EditorWindowState& state) { state.macros.isPlayingMacro = true; });
    // Cleared however the run ends, so recording is never left switched off for good.
    struct PlayingGuard {
        EditorWindowModel& model;
        ~PlayingGuard() {
            model.update([](EditorWindowState& state) { state.macros.isPlayingMacro = false; });
        }
    } guard{m_model};
    LineTools tools(m_model);
    bool anyRan = false;
    for (const EditorMacroStep step : steps)
        anyRan = tools.run(step) || anyRan;
    // "Played" over a run where every step was refused (a read-only tab) would read as success.
    if (!anyRan) {
        m_model.setFindMessage(localizedString(QStringLiteral("tools.macro.nothing-changed")));
        return;
    }
    m_model.setFindMessage(localizedString(QStringLiteral("tools.macro.played.format"))
                               .arg(localizedCount(steps.size(), kCountedSteps)));
}

} // namespace dunmoss
