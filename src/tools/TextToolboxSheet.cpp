#include "tools/TextToolboxSheet.h"

#include "platform/Localization.h"
#include "tools/TextToolboxAction.h"

namespace dunmoss {

namespace {

QList<ToolSheetSection> toolboxSections() {
    QList<ToolSheetSection> sections;
    for (const QString& sectionKey : textToolboxSections()) {
        ToolSheetSection section{localizedString(sectionKey), {}};
        for (const TextToolboxActionInfo& info : allTextToolboxActions()) {
            if (info.sectionKey == sectionKey)
                section.entries.append({info.systemImage, localizedString(info.titleKey),
                                        localizedString(info.detailKey), QString()});
        }
        sections.append(section);
    }
    return sections;
}

} // namespace

TextToolboxSheet::TextToolboxSheet(QWidget* parent)
    : ToolSheetDialog(sheetTitle(localizedString(QStringLiteral("tools.toolbox"))),
                      QStringLiteral("wand.and.sparkles"), toolboxSections(),
                      Style{QSize(560, 470), 14, false, 9}, parent) {
    setObjectName(QStringLiteral("textToolboxSheet"));
}

} // namespace dunmoss
