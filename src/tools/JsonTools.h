#pragma once

namespace dunmoss {

class EditorWindowModel;

// The JSON commands: the whole text of the tab whose pane has the keyboard pretty-printed or
// minified as one undo step, with the caret put at the start. Text that is not JSON shows the error
// alert and changes nothing.
class JsonTools {
public:
    explicit JsonTools(EditorWindowModel& model) : m_model(model) {}

    void formatJSONInActiveTab();
    void minifyJSONInActiveTab();

private:
    EditorWindowModel& m_model;
};

} // namespace dunmoss
