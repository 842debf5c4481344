#pragma once

#include "platform/TextRange.h"
#include "text/EditorLanguage.h"

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

    // Once each, ranked as the candidates are: in the locale's case-insensitive order, an
    // earlier first occurrence first among equals.
    const QStringList& words() const { return m_words; }
    bool contains(const QString& word) const { return m_set.contains(word); }

private:
    QStringList m_words;
    QSet<QString> m_set;
};

// What wordCompletions(text, ...) offers, with the text's identifiers taken from `gathered`,
// then from `added` (words of the text not in it, in text order): exactly the same candidates
// in the same order when `gathered` was gathered from this text and `added` is empty.
QStringList wordCompletions(const CompletionWords& gathered, const QStringList& added,
                            const QString& text, EditorLanguage language,
                            const QString& partialWord, TextRange selectedRange,
                            const std::optional<QUrl>& fileURL);

} // namespace dunmoss
