#pragma once

#include "platform/TextRange.h"
#include "text/EditorLanguage.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>

namespace dunmoss {

// The identifiers word completion offers from a text, gathered in one pass (on a pool thread for
// a long text) so that each partial word typed reads only them: a key with the list shown then
// costs no pass over the whole text.
class CompletionWords {
public:
    CompletionWords() = default;
    // None when `cancelled` answered true on the way.
    static std::optional<CompletionWords> gather(const QString& text,
                                                 const std::function<bool()>& cancelled = {});
    // Those of one part of the text (the line being edited), in text order, repeats left out.
    static QStringList inRegion(const QString& text, TextRange region);
    // True when `after` holds the identifiers of `before`, in the same order, so that the words
    // gathered from either are those of the other. What the two share at both ends is compared
    // as it is; only the lines between are read for words. False when `cancelled` answered true.
    static bool sameIdentifiers(const QString& before, const QString& after,
                                const std::function<bool()>& cancelled = {});

    // Once each, ranked as the candidates are: in the locale's case-insensitive order, an
    // earlier first occurrence first among equals.
    const QStringList& words() const { return m_words; }
    bool contains(const QString& word) const { return m_set.contains(word); }
    // Calls `take` with each word, in order, that may contain the partial word ignoring case
    // (every word that does, and maybe others), until it answers false.
    void forEachPossibleMatch(const QString& prefix,
                              const std::function<bool(const QString&)>& take) const;
    // The same for the words that may start with it (every one isCompletionPrefixMatch takes,
    // and maybe others); the cost grows with those words, not with all of them.
    void forEachPossibleLeadingMatch(const QString& prefix,
                                     const std::function<bool(const QString&)>& take) const;

private:
    QByteArrayView foldedAt(qsizetype index) const;

    QStringList m_words;
    QSet<QString> m_set;
    // The words in lower case, in order, each after a line break (no word holds one), and
    // where each starts: one search of this finds every word holding the partial word.
    QByteArray m_folded;
    std::vector<qsizetype> m_starts;
    // The words' places in m_words in the byte order of their lower case: those starting with
    // the partial word stand together.
    std::vector<qsizetype> m_byFolded;
};

// What wordCompletions(text, ...) offers, with the text's identifiers taken from `gathered`,
// then from `added` (words of the text not in it, in text order): exactly the same candidates
// in the same order when `gathered` was gathered from this text and `added` is empty. A key
// reads about as many gathered words as the list shows, however many the text holds; when
// given, `wordsRead` is told how many.
QStringList wordCompletions(const CompletionWords& gathered, const QStringList& added,
                            const QString& text, EditorLanguage language,
                            const QString& partialWord, TextRange selectedRange,
                            const std::optional<QUrl>& fileURL, qsizetype* wordsRead = nullptr);

} // namespace dunmoss
