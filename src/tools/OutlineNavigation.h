#pragma once

#include "text/DocumentOutlineItem.h"

#include <QString>

namespace dunmoss {

class EditorWindowModel;

// The outline panel's operations on the window.
class OutlineNavigation {
public:
    explicit OutlineNavigation(EditorWindowModel& model) : m_model(model) {}

    // Selects the item's range in the active tab, clamped to the text as it is now.
    void openOutlineItem(const DocumentOutlineItem& item);
    void closeDocumentOutline();

private:
    EditorWindowModel& m_model;
};

// A row's second line: the line text, after the item's detail and a middle dot when it has one.
QString outlineItemDetailLine(const DocumentOutlineItem& item);

} // namespace dunmoss
