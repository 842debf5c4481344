#pragma once

#include "platform/TextRange.h"
#include "text/EditorLanguage.h"
#include "text/SyntaxHighlightRules.h"

#include <QList>
#include <QStringView>
#include <optional>

namespace dunmoss {

// Texts up to this many UTF-16 units are coloured whole and at once after every edit.
inline constexpr qsizetype kImmediateColouringLimit = 64'000;
// Longer texts wait this long after the last edit or scroll step.
inline constexpr int kDeferredColouringDelayMs = 200;
// ... and are coloured only around what is visible, widened by this on each side.
inline constexpr qsizetype kVisibleColouringMargin = 16'384;
// Above this no pattern runs at all: the text keeps its plain look.
inline constexpr qsizetype kColouringPassLimit = 1'000'000;

struct SyntaxStyle {
    std::optional<SyntaxColorRole> role;
    bool bold = false;
    friend bool operator==(const SyntaxStyle&, const SyntaxStyle&) = default;
};

// A stretch of the text with one style; positions are offsets into the whole text.
struct SyntaxStyleRun {
    qsizetype location = 0;
    qsizetype length = 0;
    SyntaxStyle style;
    qsizetype end() const { return location + length; }
    friend bool operator==(const SyntaxStyleRun&, const SyntaxStyleRun&) = default;
};

// Runs the language's passes over the range (its ends count as the ends of the text for
// anchors, word boundaries and look-behind) and flattens them: later passes override earlier
// ones, colour and bold combine. The runs are sorted, do not overlap, carry a style and are
// merged where neighbours share one. Nothing for a text over kColouringPassLimit.
QList<SyntaxStyleRun> syntaxStyleRuns(QStringView text, TextRange range, EditorLanguage language);
// The same for an explicit list of passes.
QList<SyntaxStyleRun> syntaxStyleRuns(QStringView text, TextRange range,
                                      const QList<HighlightPass>& passes);

// The range widened by the margin on each side and grown to whole lines (a line includes its
// line feed), clamped to the text. Lines end at line feeds only, as the view's blocks do.
TextRange lineRangeAround(QStringView text, qsizetype location, qsizetype length, qsizetype margin);

} // namespace dunmoss
