#include "chrome/PanelsInstaller.h"

#include "chrome/EditorArea.h"
#include "tools/ComparePanel.h"
#include "tools/DocumentOutlinePanel.h"
#include "tools/MarkdownPreviewPanel.h"
#include "tools/PanelSheets.h"
#include "tools/SplitEditorHeader.h"

namespace dunmoss {

void installPanels(EditorArea& area, EditorWindowModel& model, QWidget* window) {
    area.setPanel(EditorAreaPanel::SplitHeader, new SplitEditorHeader(model));
    area.setPanel(EditorAreaPanel::Outline, new DocumentOutlinePanel(model));
    area.setPanel(EditorAreaPanel::MarkdownPreview, new MarkdownPreviewPanel(model));
    area.setPanel(EditorAreaPanel::Compare, new ComparePanel(model));
    new PanelSheets(model, window);
}

} // namespace dunmoss
