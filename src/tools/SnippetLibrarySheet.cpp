#include "tools/SnippetLibrarySheet.h"

#include "platform/Localization.h"
#include "tools/EditorSnippet.h"

namespace dunmoss {

namespace {

QList<ToolSheetSection> snippetSections() {
    ToolSheetSection section;
    for (const EditorSnippet& snippet : builtInSnippets())
        section.entries.append({snippet.systemImage, localizedString(snippet.titleKey),
                                localizedString(snippet.detailKey), snippetPreview(snippet)});
    return {section};
}

} // namespace

SnippetLibrarySheet::SnippetLibrarySheet(QWidget* parent)
    : ToolSheetDialog(sheetTitle(localizedString(QStringLiteral("tools.snippets"))),
                      QStringLiteral("text.badge.plus"), snippetSections(),
                      Style{QSize(560, 430), 0, true, 11}, parent) {
    setObjectName(QStringLiteral("snippetLibrarySheet"));
}

} // namespace dunmoss
