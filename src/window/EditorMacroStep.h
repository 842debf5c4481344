#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace dunmoss {

// The line and selection tools a macro can record. The raw value (stored in saved macros) is
// the case name in lower camel case, e.g. "duplicateLine".
enum class EditorMacroStep : quint8 {
    DuplicateLine,
    DeleteLine,
    MoveLineUp,
    MoveLineDown,
    SortLines,
    IndentSelection,
    OutdentSelection,
    ToggleLineComment,
    ToggleBlockComment,
    TrimTrailingWhitespace,
    TabsToSpaces,
    SpacesToTabs,
    UppercaseSelection,
    LowercaseSelection,
};

// All fourteen steps in declaration order.
const QList<EditorMacroStep>& allEditorMacroSteps();
QString rawValue(EditorMacroStep step);
// An exact, case-sensitive match of one of the fourteen raw values; anything else gives nothing.
std::optional<EditorMacroStep> editorMacroStepFromRawValue(const QString& raw);

} // namespace dunmoss
