#include "tools/LineTools.h"

#include "platform/Localization.h"
#include "text/LanguageCatalogue.h"
#include "text/LineOperations.h"
#include "tools/LineToolTransforms.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

namespace dunmoss {

namespace {

using Transform = std::function<TextEdit(const QString&, TextRange)>;
using SpliceTransform = std::function<SpliceEdit(const QString&, TextRange)>;

const QString kCommentUnavailable = QLatin1String(lkey("tools.edit.comment-unavailable"));
const QString kSelectFirst = QLatin1String(lkey("tools.text.select-first"));
constexpr int kToolTabWidth = 4;

QString refuseEmptySelection(const EditorTab& tab) {
    return tab.selectedRange.length >= 1 ? QString() : kSelectFirst;
}

struct ToolSpec {
    Transform transform;
    // The command's name for the undo step, and the status afterwards.
    const char* actionKey;
    const char* statusKey;
    std::function<QString(const EditorTab&)> refusal = {};
    // In place of `transform`, for a tool that changes one stretch of the text.
    SpliceTransform splice = {};
};

ToolSpec specFor(EditorMacroStep step, const EditorTab& tab) {
    using S = EditorMacroStep;
    switch (step) {
    case S::DuplicateLine:
        return {
            {}, lkey("tools.line.duplicate"), lkey("tools.line.duplicated"), {}, linesDuplicated};
    case S::DeleteLine:
        return {{}, lkey("tools.line.delete"), lkey("tools.line.deleted"), {}, linesDeleted};
    case S::MoveLineUp:
        return {{},
                lkey("tools.line.move-up"),
                lkey("tools.line.moved"),
                {},
                [](const QString& t, TextRange r) { return linesMoved(t, r, false); }};
    case S::MoveLineDown:
        return {{},
                lkey("tools.line.move-down"),
                lkey("tools.line.moved"),
                {},
                [](const QString& t, TextRange r) { return linesMoved(t, r, true); }};
    case S::SortLines:
        return {sortSelectedLines, lkey("tools.line.sort"), lkey("tools.line.sorted"), {}};
    case S::IndentSelection:
        return {[](const QString& t, TextRange r) {
                    return insertAtLineStarts(t, r, QStringLiteral("    "));
                },
                lkey("tools.edit.indent"),
                lkey("tools.edit.indented"),
                {}};
    case S::OutdentSelection:
        return {outdentLines, lkey("tools.edit.outdent"), lkey("tools.edit.outdented"), {}};
    case S::ToggleLineComment: {
        const CommentTokens tokens = commentTokens(effectiveLanguage(tab));
        const QString token = tokens.line.value_or(QString());
        return {[token](const QString& t, TextRange r) { return toggleLineComment(t, r, token); },
                lkey("tools.edit.line-comment"), lkey("tools.edit.line-comment.done"),
                [has = tokens.line.has_value()](const EditorTab&) {
                    return has ? QString() : kCommentUnavailable;
                }};
    }
    case S::ToggleBlockComment: {
        const CommentTokens tokens = commentTokens(effectiveLanguage(tab));
        const bool has = tokens.blockStart && tokens.blockEnd;
        const QString open = tokens.blockStart.value_or(QString());
        const QString close = tokens.blockEnd.value_or(QString());
        return {[open, close](const QString& t, TextRange r) {
                    return toggleBlockComment(t, r, open, close);
                },
                lkey("tools.edit.block-comment"), lkey("tools.edit.block-comment.done"),
                [has](const EditorTab&) { return has ? QString() : kCommentUnavailable; }};
    }
    case S::TrimTrailingWhitespace:
        return {trimTrailingWhitespace,
                lkey("tools.text.trim-trailing"),
                lkey("tools.text.trimmed"),
                {}};
    case S::TabsToSpaces:
        return {tabsToSpacesTransform,
                lkey("tools.text.tabs-to-spaces"),
                lkey("tools.text.tabs-to-spaces.done"),
                {}};
    case S::SpacesToTabs:
        return {[](const QString& t, TextRange r) {
                    return spacesToTabsTransform(t, r, kToolTabWidth);
                },
                lkey("tools.text.spaces-to-tabs"),
                lkey("tools.text.spaces-to-tabs.done"),
                {}};
    case S::UppercaseSelection:
        return {uppercaseSelection, lkey("tools.text.uppercase"), lkey("tools.text.uppercase.done"),
                refuseEmptySelection};
    case S::LowercaseSelection:
        return {lowercaseSelection, lkey("tools.text.lowercase"), lkey("tools.text.lowercase.done"),
                refuseEmptySelection};
    }
    Q_UNREACHABLE();
}

} // namespace

ToolRequest LineTools::request(EditorMacroStep step, const EditorTab& tab) {
    ToolSpec spec = specFor(step, tab);
    ToolRequest request =
        spec.splice
            ? ToolPipeline::selectionSplice(std::move(spec.splice), spec.actionKey, spec.statusKey)
            : ToolPipeline::selectionTransform(std::move(spec.transform), spec.actionKey,
                                               spec.statusKey);
    request.refusal = std::move(spec.refusal);
    request.macroStep = step;
    return request;
}

bool LineTools::run(EditorMacroStep step) {
    return ToolPipeline(m_model).run(request(step, keyboardTab(m_model.state())));
}

} // namespace dunmoss
