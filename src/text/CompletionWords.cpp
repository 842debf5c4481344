#include "text/CompletionWords.h"

#include "text/CodeCompletion.h"

#include <QCollator>
#include <algorithm>

namespace dunmoss {

namespace {

// Candidates in ranked order, split as the list shows them: those starting with the partial
// word, then the rest.
struct Ranked {
    QStringList leading;
    QStringList rest;
};

void stableSortIn(QStringList& words, const QCollator& collator) {
    std::stable_sort(words.begin(), words.end(), [&collator](const QString& a, const QString& b) {
        return collator.compare(a, b) < 0;
    });
}

// Both lists in order; among equals, `first`'s go first.
QStringList merged(const QStringList& first, const QStringList& second, const QCollator& collator,
                   qsizetype limit) {
    QStringList out;
    qsizetype i = 0, j = 0;
    while (out.size() < limit && (i < first.size() || j < second.size())) {
        if (j == second.size() ||
            (i < first.size() && collator.compare(second[j], first[i]) >= 0))
            out.append(first[i++]);
        else
            out.append(second[j++]);
    }
    return out;
}

} // namespace

std::optional<CompletionWords> CompletionWords::gather(const QString& text,
                                                       const std::function<bool()>& cancelled) {
    CompletionWords gathered;
    QSet<QStringView> seen;
    const bool whole = forEachCompletionIdentifier(
        text, TextRange{0, text.size()},
        [&](QStringView word) {
            if (!seen.contains(word)) {
                seen.insert(word);
                gathered.m_words.append(word.toString());
            }
        },
        cancelled);
    if (!whole || (cancelled && cancelled()))
        return std::nullopt;
    gathered.m_set = QSet<QString>(gathered.m_words.cbegin(), gathered.m_words.cend());
    stableSortIn(gathered.m_words, caseInsensitiveCollator());
    if (cancelled && cancelled())
        return std::nullopt;
    return gathered;
}

QStringList CompletionWords::inRegion(const QString& text, TextRange region) {
    QStringList words;
    QSet<QStringView> seen;
    forEachCompletionIdentifier(text, region, [&](QStringView word) {
        if (!seen.contains(word)) {
            seen.insert(word);
            words.append(word.toString());
        }
    });
    return words;
}

QStringList wordCompletions(const CompletionWords& gathered, const QStringList& added,
                            const QString& text, EditorLanguage language,
                            const QString& partialWord, TextRange selectedRange,
                            const std::optional<QUrl>& fileURL) {
    const QString prefix = partialWord.trimmed();
    const QCollator collator = caseInsensitiveCollator();
    QSet<QString> seen;
    const auto rank = [&prefix](const QString& candidate, Ranked& into) {
        (isCompletionPrefixMatch(candidate, prefix) ? into.leading : into.rest).append(candidate);
    };

    // The few fixed candidates come first among equals, as they come first in the text's order.
    Ranked fixed;
    for (const QString& candidate : leadingCompletions(text, language, selectedRange, fileURL)) {
        if (!offersCompletion(candidate, prefix) || seen.contains(candidate))
            continue;
        seen.insert(candidate);
        rank(candidate, fixed);
    }
    stableSortIn(fixed.leading, collator);
    stableSortIn(fixed.rest, collator);

    // Already in order: the scan stops once the leading part alone fills the list.
    Ranked fromText;
    for (const QString& word : gathered.words()) {
        if (fromText.leading.size() >= kCompletionLimit)
            break;
        if (!offersCompletion(word, prefix) || seen.contains(word))
            continue;
        if (fromText.rest.size() >= kCompletionLimit && !isCompletionPrefixMatch(word, prefix))
            continue;
        rank(word, fromText);
    }

    Ranked typed;
    for (const QString& word : added) {
        if (!offersCompletion(word, prefix) || seen.contains(word) || gathered.contains(word))
            continue;
        seen.insert(word);
        rank(word, typed);
    }
    stableSortIn(typed.leading, collator);
    stableSortIn(typed.rest, collator);

    QStringList result = merged(merged(fixed.leading, fromText.leading, collator, kCompletionLimit),
                                typed.leading, collator, kCompletionLimit);
    if (result.size() < kCompletionLimit)
        result += merged(merged(fixed.rest, fromText.rest, collator, kCompletionLimit), typed.rest,
                         collator, kCompletionLimit - result.size());
    return result;
}

} // namespace dunmoss
