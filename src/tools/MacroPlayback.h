#pragma once

#include "window/EditorMacroStep.h"

#include <QList>

namespace dunmoss {

class EditorWindowModel;

// Playing macros on the active tab: the window's recording, or the one saved macro that all
// windows share ("automation.saved-macro.steps": raw step names joined by ","). A step that
// cannot apply leaves its own status and the run goes on; the last word is the played count, or,
// when no step could run at all, that nothing could be changed.
// Nothing played is recorded, even while recording is on.
class MacroPlayback {
public:
    explicit MacroPlayback(EditorWindowModel& model) : m_model(model) {}

    void playRecordedMacro();
    // An empty recording keeps the macro saved before.
    void saveRecordedMacro();
    // Names of no step in the stored value are dropped.
    void playSavedMacro();
    void playMacroSteps(const QList<EditorMacroStep>& steps);

private:
    EditorWindowModel& m_model;
};

} // namespace dunmoss
