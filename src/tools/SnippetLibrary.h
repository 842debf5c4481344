#pragma once

#include "tools/EditorSnippet.h"

namespace dunmoss {

class EditorWindowModel;

// The snippet library sheet and the insertion of a snippet into the active tab in place of its
// primary selection, as one undo step through the tool pipeline. Every pick closes the sheet,
// whether the insertion happened or was refused.
class SnippetLibrary {
public:
    explicit SnippetLibrary(EditorWindowModel& model) : m_model(model) {}

    // Opening asks the window's person to pick a snippet; the answer may come later. Opening
    // a sheet already on show does nothing.
    void setSnippetSheetPresented(bool presented);
    // The caret ends right after the inserted text; other selection ranges are dropped.
    void insertSnippetIntoActiveTab(const EditorSnippet& snippet);

private:
    EditorWindowModel& m_model;
};

} // namespace dunmoss
