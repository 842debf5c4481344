#pragma once

#include "window/EditorMacroStep.h"

namespace dunmoss {

class EditorWindowModel;

// Recording a macro: while recording is on, every line and selection tool that passes its
// precondition appends its step. Playback never appends. The recording belongs to the window
// and is not saved with the session.
class MacroRecording {
public:
    explicit MacroRecording(EditorWindowModel& model) : m_model(model) {}

    // Appends the step while recording and not playing; otherwise nothing. No status.
    void recordMacroStep(EditorMacroStep step);
    // Starting empties the previous recording; stopping keeps it and reports its length.
    void toggleMacroRecording();

private:
    EditorWindowModel& m_model;
};

} // namespace dunmoss
