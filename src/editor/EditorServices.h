#pragma once

#include "platform/TextRange.h"
#include "text/EditorLanguage.h"

#include <QList>
#include <QStringList>
#include <QTextLayout>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

class QTextBlock;

namespace dunmoss {

class CodeEditorCoordinator;

// Syntax colouring of the text one code-editing view shows. The coordinator calls it; an
// engine works on the coordinator (its text view, document, language, font size, tab width,
// theme, isApplyingHighlighting, isUpdatingFromModel, activeHighlightRange) and puts colours
// and bold on the view's document per block with setBlockFormats (never through cursor formats,
// which would mark the document modified). The engine views get is PassSyntaxHighlighting.
class SyntaxHighlighting {
public:
    explicit SyntaxHighlighting(CodeEditorCoordinator& coordinator) : m_coordinator(coordinator) {}
    virtual ~SyntaxHighlighting() = default;

    // After an edit made without marked text, and after a scroll step of a text of 64,001
    // UTF-16 units or more: right after the edit's repaint for short texts, deferred for long
    // ones.
    virtual void scheduleHighlighting() = 0;
    // Now: the view was built, its text was replaced, its document or appearance changed.
    virtual void applyHighlighting() = 0;
    // A document switch or the view going away drops a waiting run.
    virtual void cancelPendingHighlighting() = 0;
    // The text view became visible at the size it is shown at.
    virtual void viewShown() {}

protected:
    CodeEditorCoordinator& coordinator() const { return m_coordinator; }

private:
    CodeEditorCoordinator& m_coordinator;
};

using SyntaxHighlightingFactory =
    std::function<std::unique_ptr<SyntaxHighlighting>(CodeEditorCoordinator&)>;
// Installs another colouring engine for views built from now on (none: the pattern passes).
void setSyntaxHighlightingFactory(SyntaxHighlightingFactory factory);
std::unique_ptr<SyntaxHighlighting> makeSyntaxHighlighting(CodeEditorCoordinator& coordinator);

// Replaces the extra formats of one block of a view's document and has it redrawn, unless they
// are what the block has already (a long plain line keeps its no-shaping range, PlainShaping.h).
void setBlockFormats(const QTextBlock& block, const QList<QTextLayout::FormatRange>& formats);

// Completion candidates and parameter hints: pure functions of the text, language, selection
// and file. The default is the word, path and hint engine of text/CodeCompletion.h.
class CompletionProvider {
public:
    virtual ~CompletionProvider() = default;
    virtual QStringList wordCompletions(const QString& text, EditorLanguage language,
                                        const QString& partialWord, TextRange selectedRange,
                                        const std::optional<QUrl>& fileURL) const;
    // Empty when there is no hint.
    virtual QString parameterHint(const QString& text, EditorLanguage language,
                                  TextRange selectedRange) const;
    // True when wordCompletions is that of text/CodeCompletion.h: the view then ranks the
    // text's words gathered once per change of the text (text/CompletionWords.h) instead of
    // asking for a pass over the whole text on every key. The engine installed by default.
    virtual bool ranksGatheredWords() const { return false; }
};

void setCompletionProvider(std::shared_ptr<const CompletionProvider> provider);
const CompletionProvider& completionProvider();

} // namespace dunmoss
