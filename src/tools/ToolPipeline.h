#pragma once

#include "platform/TextRange.h"
#include "text/TextEdit.h"
#include "window/EditorMacroStep.h"

#include <QString>
#include <exception>
#include <functional>
#include <optional>

namespace dunmoss {

class EditorWindowModel;
struct EditorTab;

// One tool run on the tab the keyboard is in, described as values: what may stop it, what it
// records, what it does to the text and what it says.
struct ToolRequest {
    // The localisation key of the refusal when the tool cannot run on the tab; an empty
    // key lets it run. Checked before anything else: a refused tool records no macro step.
    std::function<QString(const EditorTab&)> refusal;
    // Recorded just before the read-only check, so a step refused there is still recorded.
    std::optional<EditorMacroStep> macroStep;
    // The whole text and the primary selection in, the new text and selection out. May throw
    // when `failureMessage` is set.
    std::function<TextEdit(const QString& text, TextRange selection)> transform;
    // In place of `transform`, for a tool that changes one stretch of the text: that stretch and
    // the selection afterwards, so the edit costs what the stretch costs, not a copy of the text.
    std::function<SpliceEdit(const QString& text, TextRange selection)> spliceTransform;
    // Names the undo step (a localisation key).
    QString actionKey;
    // The status line afterwards, already localised.
    QString statusText;
    // The error alert's text for a transform that threw; the tool then ends without status,
    // find refresh or session save. Unset: the transform cannot fail.
    std::function<QString(const std::exception&)> failureMessage;
};

// The one way every text tool changes a tab: precondition, macro step, read-only refusal,
// transform, one undo step named after the tool (nothing when text and selection stay the
// same), status, find refresh and session save, in that order. Synchronous, main thread only.
class ToolPipeline {
public:
    explicit ToolPipeline(EditorWindowModel& model) : m_model(model) {}

    // Runs the request on the tab whose pane has the keyboard. True when the transform ran (whether
    // or not it changed anything); false when the tool was refused or its transform failed.
    bool run(const ToolRequest& request);

    // A transform that cannot fail. The undo step is named by `actionKey` (the command's name,
    // as "Undo Make Lowercase" reads it); the status line says `statusKey`'s text.
    static ToolRequest
    selectionTransform(std::function<TextEdit(const QString&, TextRange)> transform,
                       const char* actionKey, const char* statusKey);

    // The same for a transform that changes one stretch of the text.
    static ToolRequest
    selectionSplice(std::function<SpliceEdit(const QString&, TextRange)> transform,
                    const char* actionKey, const char* statusKey);

private:
    EditorWindowModel& m_model;
};

} // namespace dunmoss
