#pragma once

#include "tools/TextToolboxAction.h"

#include <QString>

namespace dunmoss {

class EditorWindowModel;

// The text toolbox sheet and its actions. The line and coding actions change the active tab
// through the tool pipeline; the extractions leave it alone and open their result as a new
// untitled, unmodified tab (read-only tabs included). Every action closes the sheet.
class TextToolboxCommands {
public:
    explicit TextToolboxCommands(EditorWindowModel& model) : m_model(model) {}

    // Opening asks the window's person to pick an action; the answer may come later. Opening
    // a sheet already on show does nothing.
    void setTextToolboxPresented(bool presented);
    void performToolboxAction(TextToolboxAction action);
    // The found text (or the localised note that nothing was found) in a new active tab.
    void extractMatchesToNewTab(const QString& title, const QString& text);

private:
    EditorWindowModel& m_model;
};

} // namespace dunmoss
