#include "editor/EditorServices.h"

#include "editor/CodeEditorCoordinator.h"

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

void SyntaxHighlighting::scheduleHighlighting() {
    // Nothing is restyled, so the bracket marks are still in place.
}

void SyntaxHighlighting::applyHighlighting() {
    m_coordinator.highlightMatchingBrackets();
}

void setSyntaxHighlightingFactory(SyntaxHighlightingFactory factory) {
    highlightingFactory() = std::move(factory);
}

std::unique_ptr<SyntaxHighlighting> makeSyntaxHighlighting(CodeEditorCoordinator& coordinator) {
    if (const auto& factory = highlightingFactory())
        if (auto engine = factory(coordinator))
            return engine;
    return std::make_unique<SyntaxHighlighting>(coordinator);
}

void setBlockFormats(const QTextBlock& block, const QList<QTextLayout::FormatRange>& formats) {
    if (!block.isValid() || !block.layout())
        return;
    block.layout()->setFormats(formats);
    if (auto* document = const_cast<QTextDocument*>(block.document()))
        document->markContentsDirty(block.position(), block.length());
}

QStringList CompletionProvider::wordCompletions(const QString&, EditorLanguage, const QString&,
                                                TextRange, const std::optional<QUrl>&) const {
    return {};
}

QString CompletionProvider::parameterHint(const QString&, EditorLanguage, TextRange) const {
    return {};
}

void setCompletionProvider(std::shared_ptr<const CompletionProvider> provider) {
    currentCompletionProvider() =
        provider ? std::move(provider) : std::make_shared<CompletionProvider>();
}

const CompletionProvider& completionProvider() {
    return *currentCompletionProvider();
}

} // namespace dunmoss
