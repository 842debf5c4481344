#include "tools/OutlineNavigation.h"

#include "platform/Localization.h"
#include "window/EditorWindowModel.h"

namespace dunmoss {

void OutlineNavigation::openOutlineItem(const DocumentOutlineItem& item) {
    m_model.setSelection(item.range.location, item.range.length, m_model.activeTabIndex());
}

void OutlineNavigation::closeDocumentOutline() {
    m_model.update([](EditorWindowState& state) { state.panels.showDocumentOutline = false; });
}

QString outlineItemDetailLine(const DocumentOutlineItem& item) {
    const QString line =
        localizedString(QStringLiteral("folder-search.line.format")).arg(item.line);
    if (item.detail.isEmpty())
        return line;
    return item.detail + QStringLiteral(" \u00B7 ") + line;
}

} // namespace dunmoss
