#pragma once

#include <QString>

namespace dunmoss {

class EditorWindowModel;

// The column-insert sheet's operations: the typed text goes into every line of the selection at
// the caret's visual column (tabs expanded to the tab's own width), as one undoable edit.
class ColumnInsert {
public:
    explicit ColumnInsert(EditorWindowModel& model) : m_model(model) {}

    void setInsertText(const QString& text);
    // An empty text is refused and keeps the sheet open; otherwise the sheet closes whatever
    // the edit reported (a read-only tab refuses it).
    void applyColumnInsert();
    void cancel();

    // The 1-based visual column of the start of the selection of the tab whose pane has the
    // keyboard.
    int caretVisualColumn() const;

private:
    EditorWindowModel& m_model;
};

} // namespace dunmoss
