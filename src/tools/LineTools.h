#pragma once

#include "tools/ToolPipeline.h"
#include "window/EditorMacroStep.h"

namespace dunmoss {

class EditorWindowModel;
struct EditorTab;

// The fourteen line and selection tools. Each is named by its macro step, which is also its
// menu command: the menu, the header's tools popover, the palette and macro playback all run
// a tool through `run`, which hands it to the tool pipeline.
class LineTools {
public:
    explicit LineTools(EditorWindowModel& model) : m_model(model) {}

    // Runs the tool on the tab whose pane has the keyboard. False when it was refused or failed.
    bool run(EditorMacroStep step);

    // The tool as the pipeline runs it on the given tab (its comment tokens come from the tab's
    // language).
    static ToolRequest request(EditorMacroStep step, const EditorTab& tab);

private:
    EditorWindowModel& m_model;
};

} // namespace dunmoss
