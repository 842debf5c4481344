#include "editor/EditorServices.h"

#include "editor/CodeEditorCoordinator.h"
#include "editor/PassSyntaxHighlighting.h"
#include "editor/PlainShaping.h"
#include "editor/ShapingPieces.h"
#include "text/CodeCompletion.h"

#include <QTextBlock>
#include <QTextDocument>

namespace dunmoss {

namespace {

SyntaxHighlightingFactory& highlightingFactory() {
    static SyntaxHighlightingFactory factory;
    return factory;
}

std::shared_ptr<const CompletionProvider>& currentCompletionProvider() {
    static std::shared_ptr<const CompletionProvider> provider =
        std::make_shared<CompletionProvider>();
    return provider;
}

} // namespace

void setSyntaxHighlightingFactory(SyntaxHighlightingFactory factory) {
    highlightingFactory() = std::move(factory);
}

std::unique_ptr<SyntaxHighlighting> makeSyntaxHighlighting(CodeEditorCoordinator& coordinator) {
    if (const auto& factory = highlightingFactory())
        if (auto engine = factory(coordinator))
            return engine;
    return std::make_unique<PassSyntaxHighlighting>(coordinator);
}

void setBlockFormats(const QTextBlock& block, const QList<QTextLayout::FormatRange>& formats) {
    if (!block.isValid() || !block.layout())
        return;
    const QList<QTextLayout::FormatRange> laidOut =
        withShapingPieces(block, withPlainShaping(block, formats));
    if (laidOut == block.layout()->formats())
        return;
    block.layout()->setFormats(laidOut);
    if (auto* document = const_cast<QTextDocument*>(block.document()))
        document->markContentsDirty(block.position(), block.length());
}

QStringList CompletionProvider::wordCompletions(const QString& text, EditorLanguage language,
                                                const QString& partialWord, TextRange selectedRange,
                                                const std::optional<QUrl>& fileURL) const {
    return dunmoss::wordCompletions(text, language, partialWord, selectedRange, fileURL);
}

QString CompletionProvider::parameterHint(const QString& text, EditorLanguage language,
                                          TextRange selectedRange) const {
    return dunmoss::parameterHint(text, language, selectedRange);
}

void setCompletionProvider(std::shared_ptr<const CompletionProvider> provider) {
    currentCompletionProvider() =
        provider ? std::move(provider) : std::make_shared<CompletionProvider>();
}

const CompletionProvider& completionProvider() {
    return *currentCompletionProvider();
}

} // namespace dunmoss
