#include "window/EditorMacroStep.h"

namespace dunmoss {

const QList<EditorMacroStep>& allEditorMacroSteps() {
    using S = EditorMacroStep;
    static const QList<EditorMacroStep> all{
        S::DuplicateLine,          S::DeleteLine,         S::MoveLineUp,
        S::MoveLineDown,           S::SortLines,          S::IndentSelection,
        S::OutdentSelection,       S::ToggleLineComment,  S::ToggleBlockComment,
        S::TrimTrailingWhitespace, S::TabsToSpaces,       S::SpacesToTabs,
        S::UppercaseSelection,     S::LowercaseSelection,
    };
    return all;
}

QString rawValue(EditorMacroStep step) {
    switch (step) {
    case EditorMacroStep::DuplicateLine:
        return QStringLiteral("duplicateLine");
    case EditorMacroStep::DeleteLine:
        return QStringLiteral("deleteLine");
    case EditorMacroStep::MoveLineUp:
        return QStringLiteral("moveLineUp");
    case EditorMacroStep::MoveLineDown:
        return QStringLiteral("moveLineDown");
    case EditorMacroStep::SortLines:
        return QStringLiteral("sortLines");
    case EditorMacroStep::IndentSelection:
        return QStringLiteral("indentSelection");
    case EditorMacroStep::OutdentSelection:
        return QStringLiteral("outdentSelection");
    case EditorMacroStep::ToggleLineComment:
        return QStringLiteral("toggleLineComment");
    case EditorMacroStep::ToggleBlockComment:
        return QStringLiteral("toggleBlockComment");
    case EditorMacroStep::TrimTrailingWhitespace:
        return QStringLiteral("trimTrailingWhitespace");
    case EditorMacroStep::TabsToSpaces:
        return QStringLiteral("tabsToSpaces");
    case EditorMacroStep::SpacesToTabs:
        return QStringLiteral("spacesToTabs");
    case EditorMacroStep::UppercaseSelection:
        return QStringLiteral("uppercaseSelection");
    case EditorMacroStep::LowercaseSelection:
        return QStringLiteral("lowercaseSelection");
    }
    // Not reached: every case returns above.
    return {};
}

std::optional<EditorMacroStep> editorMacroStepFromRawValue(const QString& raw) {
    for (EditorMacroStep step : allEditorMacroSteps())
        if (rawValue(step) == raw)
            return step;
    return std::nullopt;
}

} // namespace dunmoss
