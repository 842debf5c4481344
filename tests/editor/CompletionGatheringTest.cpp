// The words of a long text gathered on a pool thread for the completion list: a pause in the
// typing gathers them again only when the keys changed a word.
#include "editor/CompletionWordGathering.h"
#include "editor/TextStorage.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <memory>

using namespace dunmoss;

TEST(CompletionGathering, APauseAfterKeysThatChangedNoWordKeepsTheWordsGathered) {
    QString text;
    while (text.size() <= CompletionWordGathering::kAtOnceLimit)
        text += QStringLiteral("alpha beta gamma delta\n");
    auto storage = std::make_shared<TextStorage>();
    storage->replaceAll(text + QStringLiteral("ep"));
    CompletionWordGathering gathering;
    QSignalSpy landed(&gathering, &CompletionWordGathering::gathered);
    // The first pass starts at once; each later one once the typing pauses.
    const auto wordsAfterAPause = [&] {
        EXPECT_FALSE(gathering.wordsFor(storage).isCurrent);
        EXPECT_TRUE(landed.wait(60'000));
        const CompletionWordGathering::Words words = gathering.wordsFor(storage);
        EXPECT_TRUE(words.isCurrent);
        return words.gathered;
    };
    const std::shared_ptr<const CompletionWords> first = wordsAfterAPause();
    EXPECT_EQ(first->words(), (QStringList{"alpha", "beta", "delta", "gamma"}));

    // A letter typed and taken back, then a space and a comma: no word changed.
    const qsizetype end = storage->length();
    storage->applyEdit(end, 0, QStringLiteral("s"), TextStorage::EditKind::Typing);
    storage->applyEdit(end, 1, QString(), TextStorage::EditKind::Typing);
    storage->applyEdit(5, 0, QStringLiteral(" ,"), TextStorage::EditKind::Typing);
    EXPECT_EQ(wordsAfterAPause(), first);

    // A word the keys made is gathered.
    storage->applyEdit(storage->length(), 0, QStringLiteral("silon"),
                       TextStorage::EditKind::Typing);
    const std::shared_ptr<const CompletionWords> later = wordsAfterAPause();
    EXPECT_NE(later, first);
    EXPECT_EQ(later->words(), (QStringList{"alpha", "beta", "delta", "epsilon", "gamma"}));
}
