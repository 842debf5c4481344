#pragma once

#include "platform/TextRange.h"
#include "text/EditorLanguage.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QUrl>
#include <functional>
#include <optional>

class QCollator;

namespace dunmoss {

// Word completion and parameter hints: pure functions of the text, language, selection and
// document file. Nothing is cached; the folder is listed anew on every request.

// The most candidates word completion offers.
inline constexpr int kCompletionLimit = 80;

struct PathCompletionContext {
    // The folder whose entries are offered (cleaned, absolute).
    QString directoryPath;
    // What is already typed of the last path component (may be empty).
    QString namePrefix;
    friend bool operator==(const PathCompletionContext&, const PathCompletionContext&) = default;
};

// Path entries, then the language's functions and keywords, then the text's identifiers of
// three or more ASCII characters, kept when they contain the partial word (case-insensitive),
// without the partial word itself and without repeats, the ones starting with it first, then
// in case-insensitive order of the locale; at most kCompletionLimit.
QStringList wordCompletions(const QString& text, EditorLanguage language,
                            const QString& partialWord, TextRange selectedRange,
                            const std::optional<QUrl>& fileURL);

// Entry names of the folder the path before the caret names (folders end in "/"), hidden ones
// left out, in listing order; nothing while a selection is not empty or no path is typed.
QStringList pathCompletions(const QString& text, qsizetype selectionLocation,
                            qsizetype selectionLength, const std::optional<QUrl>& fileURL);
// The token before the caret, when it contains "/" or starts with ".", split into its folder
// (relative to the document's folder, or the home folder for an untitled document) and the
// typed part of the name.
std::optional<PathCompletionContext> pathCompletionContext(const QString& text, qsizetype caret,
                                                           const std::optional<QUrl>& fileURL);

// The candidates offered before the text's identifiers: path entries, then the language's
// functions and keywords, repeats and all.
QStringList leadingCompletions(const QString& text, EditorLanguage language,
                               TextRange selectedRange, const std::optional<QUrl>& fileURL);
// The text's identifiers of three or more ASCII characters, once per occurrence, in text order,
// those inside `region` only (exactly those a run over the whole text finds there). False, when
// `cancelled` answered true on the way, with only some taken.
bool forEachCompletionIdentifier(const QString& text, TextRange region,
                                 const std::function<void(QStringView)>& take,
                                 const std::function<bool()>& cancelled = {});
// Whether the candidate is offered for the trimmed partial word: it contains it ignoring case
// (any candidate for an empty one), and it is not the word itself in any letter case.
bool offersCompletion(const QString& candidate, const QString& prefix);
// Whether it starts with the partial word, ignoring case: such candidates lead the list.
bool isCompletionPrefixMatch(const QString& candidate, const QString& prefix);
// The locale's case-insensitive order the candidates are ranked in.
QCollator caseInsensitiveCollator();

// Whether a sorts before b for the prefix: prefix matches first, then the locale's
// case-insensitive order.
bool completionOrder(const QString& a, const QString& b, const QString& prefix);

// The signature of the function whose call the caret is in, from the language's small table;
// empty when the selection is not empty or the name is unknown.
QString parameterHint(const QString& text, EditorLanguage language, TextRange selectedRange);
// The name before the "(" of the call the caret is in, scanning back to the line start.
std::optional<QString> callNameBeforeCaret(QStringView text, qsizetype caret);
// The identifier just before an index, spaces between them skipped.
std::optional<QString> identifierBeforeIndex(qsizetype index, QStringView text);

} // namespace dunmoss
