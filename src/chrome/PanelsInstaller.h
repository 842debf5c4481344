#pragma once

class QWidget;

namespace dunmoss {

class EditorArea;
class EditorWindowModel;

// Puts the side panels (outline, Markdown preview, compare, the second pane's header) into the
// editor area and the small sheets on the window.
void installPanels(EditorArea& area, EditorWindowModel& model, QWidget* window);

} // namespace dunmoss
