#include "editor/EditorServices.h"

#include "editor/CodeEditorCoordinator.h"
#include "editor/LongLineDocumentLayout.h"
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

struct TextCompletionProvider final : CompletionProvider {
    bool ranksGatheredWords() const override { return true; }
};

std::shared_ptr<const CompletionProvider>& currentCompletionProvider() {
    static std::shared_ptr<const CompletionProvider> provider =
        std::make_shared<TextCompletionProvider>();
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

namespace {

// The ranges a block's layout holds for how it is shaped, beside its colours.
bool isShapingRange(const QTextLayout::FormatRange& range) {
    return range.format.hasProperty(QTextFormat::FontStyleStrategy) || isShapingPiece(range);
}

// The same formats once the shaping ranges are left out of both: the same colours.
bool sameColours(const QList<QTextLayout::FormatRange>& a,
                 const QList<QTextLayout::FormatRange>& b) {
    auto x = a.cbegin(), y = b.cbegin();
    while (true) {
        while (x != a.cend() && isShapingRange(*x))
            ++x;
        while (y != b.cend() && isShapingRange(*y))
            ++y;
        if (x == a.cend() || y == b.cend())
            return x == a.cend() && y == b.cend();
        if (!(*x == *y))
            return false;
        ++x;
        ++y;
    }
}

} // namespace

void setBlockFormats(const QTextBlock& block, const QList<QTextLayout::FormatRange>& formats) {
    if (!block.isValid() || !block.layout())
        return;
    // The same colours again (a view shown anew, a pass over lines that did not change): the
    // long-line layout keeps the shaping ranges in step with every change of the block, so its
    // text need not be read again to find them.
    if (qobject_cast<const LongLineDocumentLayout*>(block.document()->documentLayout()) &&
        sameColours(block.layout()->formats(), formats))
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
        provider ? std::move(provider) : std::make_shared<TextCompletionProvider>();
}

const CompletionProvider& completionProvider() {
    return *currentCompletionProvider();
}

} // namespace dunmoss
